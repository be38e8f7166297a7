#include "cli/switching.h"

#include <algorithm>

#include "platform/stopsignals.h"

namespace relaybox::cli {

namespace {

using namespace std::chrono_literals;

// Between polls that found a port not yet switched: a relay settles within this.
constexpr auto kRepollPause = 100ms;

} // namespace

SwitchOutcome switchConfirmed(SwitchLink &link, bool on, int bank, int port,
                              Clock::time_point deadline)
{
    const auto start = Clock::now();
    const SwitchCommand command { on, bank, port };
    const char wanted = on ? 'O' : 'C';
    SwitchOutcome outcome;
    const auto finish = [&](bool confirmed, std::string why) {
        outcome.confirmed = confirmed;
        outcome.why = std::move(why);
        outcome.took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        return outcome;
    };
    if (!link.send(command.frame()))
        return finish(false, "the port failed while sending");

    // Enough once every bank in scope reported its letters in this round.
    const auto reported = [&](const SwitchReport &report) {
        if (!report.bankCountFresh || report.bankCount < std::max(bank, 1))
            return false;
        for (const PortRef &ref : command.scope(report.bankCount)) {
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
            for (const PortRef &ref : command.scope(report.bankCount)) {
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
            return finish(false, describeNotFollowed(outcome.notFollowed, on));
        }
        if (!sleepUnlessStopped(std::chrono::ceil<std::chrono::milliseconds>(
                std::min<Clock::duration>(kRepollPause, deadline - now))))
            return finish(false, "interrupted");
    }
}

} // namespace relaybox::cli
