#pragma once

#include <string>

// One pseudo-terminal pair: the master side the simulator reads and writes, and the terminal side
// (/dev/pts/N) in raw mode for the host program to open. The simulator keeps the terminal side
// open itself, so that its line settings hold and its master does not see a hang-up while no
// host is attached.

namespace relaybox::sim {

class PtyEndpoint
{
public:
    PtyEndpoint() = default;
    ~PtyEndpoint() { close(); }
    PtyEndpoint(const PtyEndpoint &) = delete;
    PtyEndpoint &operator=(const PtyEndpoint &) = delete;

    bool open(std::string &error);
    // Closing the master is the unplugged cable: the host's reader sees POLLHUP and EIO.
    void close();

    bool isOpen() const { return m_master >= 0; }
    int masterFd() const { return m_master; }
    const std::string &terminalPath() const { return m_terminalPath; }

private:
    int m_master = -1;
    int m_terminal = -1;
    std::string m_terminalPath;
};

} // namespace relaybox::sim
