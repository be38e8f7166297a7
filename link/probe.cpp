#include "probe.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>

#include "link/frames.h"

namespace relaybox {

std::string probelines::line(const std::string &label, bool pass)
{
    std::string text = label;
    text.resize(39, ' ');
    return text + (pass ? "PASS" : "FAIL");
}

namespace {

const std::string kCloseLine = probelines::line("Close", true);

// A device that never stops sending (noise, a chatty device on the wrong port) must not hold the
// probe, and the window with it: each read-until-quiet loop ends after about the probe's read
// limit or about what the line carries in that time, whichever comes first.
constexpr std::chrono::milliseconds kReadLoopTime { 2000 };
constexpr long kReadLoopBytes = 2048;

// Reads chunks of up to size bytes while a read returns more than 3 bytes, within the bounds above.
template<typename Chunk> void readWhileTalking(SerialPort &port, std::size_t size, Chunk chunk)
{
    std::array<char, 16> buffer {};
    const auto deadline = std::chrono::steady_clock::now() + kReadLoopTime;
    long total = 0;
    long got = 0;
    do {
        got = port.read(buffer.data(), std::min(size, buffer.size()));
        if (got > 0) {
            chunk(std::string_view(buffer.data(), std::size_t(got)));
            total += got;
        }
    } while (got > 3 && total < kReadLoopBytes && std::chrono::steady_clock::now() < deadline);
}

bool write(SerialPort &port, const std::string &frame)
{
    return port.write(frame.data(), frame.size()) == long(frame.size());
}

// A version frame "/V01 1203\": slash, V, two-digit bank, blanks, four characters.
void storeVersionFrame(std::string_view frame, SharedState &state)
{
    if (frame.size() < 5 || frame[0] != '/' || frame[1] != 'V')
        return;
    std::size_t at = 2;
    if (!std::isdigit(static_cast<unsigned char>(frame[at])))
        return;
    int bank = frame[at++] - '0';
    if (at < frame.size() && std::isdigit(static_cast<unsigned char>(frame[at])))
        bank = bank * 10 + (frame[at++] - '0');
    while (at < frame.size() && std::isspace(static_cast<unsigned char>(frame[at])))
        ++at;
    if (frame.size() - at < 4)
        return;
    state.storeVersionText(bank, frame.substr(at, 4));
}

} // namespace

bool probePort(SerialPort &port, const std::string &path, ProbeLog &log, SharedState &state,
               const SerialTimeouts &timeouts)
{
    if (!port.open(path, PortMode::Blocking)) {
        log.append(probelines::line("Open", false));
        return false;
    }
    log.append(probelines::line("Open", true));

    const auto setupFailed = [&](const char *label) {
        log.append(probelines::line(label, false));
        log.append(kCloseLine);
        port.close();
        return false;
    };
    if (!port.readLineSettings())
        return setupFailed("Get port state");
    if (!port.applyLineSettings())
        return setupFailed("Set port state");
    if (!port.setBufferSizes(kProbeInputBuffer, kProbeOutputBuffer))
        return setupFailed("Set port buffer");
    if (!port.setTimeouts(timeouts))
        return setupFailed("Set port timeout");
    log.append(probelines::line("Setup", true));
    port.purge(true, true);

    log.append(probelines::kDetectPending);
    write(port, frames::identify());
    std::array<char, 16> buffer {};
    const long answered = port.read(buffer.data(), 5);
    const std::string answer(buffer.data(), std::size_t(std::max(0L, answered)));
    if (answer != "/xyz\\" && answer != "/abc\\") {
        log.replaceLast(probelines::line(probelines::kDetectLabel, false));
        log.append(kCloseLine);
        port.close();
        return false;
    }
    const bool loaderMode = state.noteIdentifyAnswer(answer == "/abc\\");
    log.replaceLast(probelines::line(probelines::kDetectLabel, true));

    if (!loaderMode) {
        // Throw away whatever the switch sent after its answer.
        readWhileTalking(port, 15, [](std::string_view) {});
        if (write(port, frames::versionQuery()))
            readWhileTalking(port, 10,
                             [&](std::string_view frame) { storeVersionFrame(frame, state); });
    }
    port.close();
    return true;
}

} // namespace relaybox
