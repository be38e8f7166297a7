// Bytes per second through line building, classification and the shared state, for the stream
// a 16-bank switch sends in answer to its status polls.
#include <chrono>
#include <string>

#include "figure.h"
#include "link/receiver.h"

namespace relaybox::bench {
namespace {

std::string statusStream()
{
    std::string stream = "/M16\\";
    for (int bank = 1; bank <= 16; ++bank) {
        char line[64];
        std::snprintf(line, sizeof line, "/S%02d GGGGGGGG OOCCOOCC %.1f\\/C%02d %.1f\\", bank,
                      bank * 0.7, bank, bank * 0.7 + 0.1);
        stream += line;
    }
    return stream;
}

std::vector<Figure> receiverThroughput()
{
    constexpr double kLineBytesPerSecond = 960.0; // 9600 baud, 10 bits a byte
    const std::string stream = statusStream();
    const FixedClock clock;
    SharedState state;
    Receiver receiver(state, clock);
    long updates = 0;
    const auto sink = [&](const ReplyEffects &effects) {
        updates += effects.updateCount;
        return true;
    };

    const auto start = std::chrono::steady_clock::now();
    std::size_t bytes = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(2)) {
        for (int i = 0; i < 1000; ++i) {
            receiver.feed(stream, sink);
            bytes += stream.size();
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double rate = double(bytes) / seconds;
    const double factor = rate / kLineBytesPerSecond;
    return {
        { "Receiver throughput (16-bank status stream)", formatNumber(rate / 1e6, 1) + " MB/s",
          ">= 9.6 MB/s (10,000 x the line)", factor >= 10000.0 },
        { "Receiver speed against the 9600-baud line", formatNumber(factor, 0) + " x",
          ">= 10,000 x", factor >= 10000.0 },
    };
}

const Register registered { "receiver", receiverThroughput };

} // namespace
} // namespace relaybox::bench
