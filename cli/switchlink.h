#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "link/bankinfo.h"
#include "link/linebuilder.h"
#include "platform/serialport.h"

// One short conversation with the switch over a port of its own: Identify, command frames,
// Status polls and the Version query, read back through the link's own line builder and reply
// parser. No thread: every wait is a bounded read, and every wait ends early on a stop signal.

namespace relaybox::cli {

using Clock = std::chrono::steady_clock;

struct BankReport
{
    std::string switchLetters; // O on, C off
    std::string timerLetters = BankRecord::kResetTimerLetters; // F flagged, G normal
    float current = 0.0f;
    std::string version;
    // Heard since the last poll (or Version query) went out.
    bool lettersFresh = false;
    bool currentFresh = false;
    bool versionFresh = false;
};

struct SwitchReport
{
    int bankCount = 0; // 0 until the switch said
    bool bankCountFresh = false;
    std::array<BankReport, kMaxBanks + 1> banks {}; // by bank number; [0] unused

    bool letterIs(int bank, int port, char letter) const
    {
        const std::string &letters = banks[bank].switchLetters;
        return port >= 1 && port <= int(letters.size()) && letters[port - 1] == letter;
    }
};

enum class IdentifyResult { Switch, Loader, Silent };

enum class BankPresence { InChain, BeyondChain, Unknown };

class SwitchLink
{
public:
    explicit SwitchLink(std::unique_ptr<SerialPort> port);
    ~SwitchLink();

    // Opens the port exclusively with the switch's line settings; OpenError::None when open.
    OpenError open(const std::string &path);

    // Sends the Identify command and waits for the answer until the deadline.
    IdentifyResult identify(Clock::time_point deadline);

    bool send(const std::string &frame);

    // Sends a Status poll and reads the answer until every reported bank gave its port letters
    // and current, enough(report) holds, or the deadline. True unless the deadline ended it.
    bool pollStatus(Clock::time_point deadline,
                    const std::function<bool(const SwitchReport &)> &enough = {});

    // Sends the Version query and reads until banks 1..bankCount answered or the deadline.
    bool readVersions(Clock::time_point deadline);

    // Whether the chain holds `bank`, before a switching frame names it. BeyondChain leaves the
    // bank count in report(); Unknown when the deadline, a stop signal or the port ended it.
    BankPresence findBank(int bank, Clock::time_point deadline);

    const SwitchReport &report() const { return m_report; }
    bool portFailed() const { return m_portFailed; } // a read or write failed: hang-up, removal
    bool stopped() const { return m_stopped; } // a stop signal ended a wait

private:
    bool pump(Clock::time_point deadline, const std::function<bool()> &done);
    void take(std::string_view line);
    bool roundComplete(Clock::time_point lastByte) const;

    std::unique_ptr<SerialPort> m_port;
    LineBuilder m_lines;
    SwitchReport m_report;
    bool m_identified = false;
    bool m_loader = false;
    bool m_portFailed = false;
    bool m_stopped = false;
    Clock::time_point m_lastByte {};
};

} // namespace relaybox::cli
