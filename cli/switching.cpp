#include "cli/switching.h"

#include <algorithm>

#include "link/frames.h"
#include "platform/stopsignals.h"

namespace relaybox::cli {

namespace {

using namespace std::chrono_literals;

// Between polls that found a port not yet switched: a relay settles within this.
constexpr auto kRepollPause = 100ms;

// "bank 2 port 3 stays off", "bank 2 ports 3, 5 stay off", "banks 1, 2: ..." kept short.
std::string describe(const std::vector<PortRef> &ports, bool on)
{
    std::string text;
    std::size_t i = 0;
    while (i < ports.size()) {
        const int bank = ports[i].bank;
        std::string numbers;
        int count = 0;
        for (; i < ports.size() && ports[i].bank == bank; ++i, ++count)
            numbers += (count ? ", " : "") + std::to_string(ports[i].port);
        if (!text.empty())
            text += "; ";
        text += "bank " + std::to_string(bank) + (count > 1 ? " ports " : " port ") + numbers
            + (count > 1 ? " stay " : " stays ") + (on ? "off" : "on");
    }
    return text;
}

} // namespace

std::string switchFrame(bool on, int bank, int port)
{
    if (bank == 0)
        return frames::allBanksSwitch(on);
    if (port == 0)
        return frames::bankSwitch(on, bank);
    return frames::portSwitch(on, bank, port);
}

std::vector<PortRef> portsInScope(const SwitchReport &report, int bank, int port)
{
    std::vector<PortRef> ports;
    const int first = bank == 0 ? 1 : bank;
    const int last = bank == 0 ? report.bankCount : bank;
    for (int b = first; b <= last; ++b) {
        for (int p = port == 0 ? 1 : port; p <= (port == 0 ? kLettersPerBank : port); ++p)
            ports.push_back({ b, p });
    }
    return ports;
}

SwitchOutcome switchConfirmed(SwitchLink &link, bool on, int bank, int port,
                              Clock::time_point deadline)
{
    const auto start = Clock::now();
    const char wanted = on ? 'O' : 'C';
    SwitchOutcome outcome;
    const auto finish = [&](bool confirmed, std::string why) {
        outcome.confirmed = confirmed;
        outcome.why = std::move(why);
        outcome.took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        return outcome;
    };
    if (!link.send(switchFrame(on, bank, port)))
        return finish(false, "the port failed while sending");

    // Enough once every bank in scope reported its letters in this round.
    const auto reported = [&](const SwitchReport &report) {
        if (!report.bankCountFresh || report.bankCount < std::max(bank, 1))
            return false;
        for (const PortRef &ref : portsInScope(report, bank, port)) {
            if (!report.banks[ref.bank].lettersFresh)
                return false;
        }
        return true;
    };
    bool everReported = false; // notFollowed holds the last complete round's answer
    if (bank != 0)
        outcome.banks = { bank };
    for (;;) {
        link.pollStatus(deadline, reported);
        const SwitchReport &report = link.report();
        if (report.bankCountFresh && report.bankCount < bank)
            return finish(false,
                          "the switch has " + std::to_string(report.bankCount)
                              + (report.bankCount == 1 ? " bank" : " banks") + ", no bank "
                              + std::to_string(bank));
        if (reported(report)) {
            everReported = true;
            if (bank == 0) {
                outcome.banks.clear();
                for (int b = 1; b <= report.bankCount; ++b)
                    outcome.banks.push_back(b);
            }
            outcome.notFollowed.clear();
            for (const PortRef &ref : portsInScope(report, bank, port)) {
                if (!report.letterIs(ref.bank, ref.port, wanted))
                    outcome.notFollowed.push_back(ref);
            }
            if (outcome.notFollowed.empty())
                return finish(true, {});
        }
        if (link.portFailed())
            return finish(false, "the port failed (hung up or removed)");
        if (link.stopped())
            return finish(false, "interrupted");
        const auto now = Clock::now();
        if (now >= deadline) {
            if (!everReported)
                return finish(false, "the switch sent no status for the ports");
            return finish(false, describe(outcome.notFollowed, on));
        }
        if (!sleepUnlessStopped(std::chrono::ceil<std::chrono::milliseconds>(
                std::min<Clock::duration>(kRepollPause, deadline - now))))
            return finish(false, "interrupted");
    }
}

} // namespace relaybox::cli
