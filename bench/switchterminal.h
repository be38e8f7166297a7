#pragma once

#include <string>

// The switch's end of a pseudo-terminal, played by a benchmark: the window's link opens the
// other end as its serial port, so replies cross a real terminal without any serial device.

namespace relaybox::bench {

class SwitchTerminal
{
public:
    SwitchTerminal();
    ~SwitchTerminal();
    SwitchTerminal(const SwitchTerminal &) = delete;
    SwitchTerminal &operator=(const SwitchTerminal &) = delete;

    bool isValid() const { return m_master >= 0; }
    const std::string &path() const { return m_path; } // what the host opens

    bool send(const std::string &bytes); // one write() when the terminal takes it whole
    void drain(); // discards what the host wrote (its polls and announcements)

private:
    int m_master = -1;
    std::string m_path;
};

} // namespace relaybox::bench
