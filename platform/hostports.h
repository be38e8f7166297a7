#pragma once

#include <string>
#include <vector>

// The host's serial ports as the operator picks them: slot 0 stands for searching every port,
// slots 1 to count are the ports found at start-up. Ports are referred to by slot everywhere.

namespace relaybox {

struct HostPort
{
    std::string name; // shown to the operator
    std::string path; // what is opened

    friend bool operator==(const HostPort &, const HostPort &) = default;
};

class HostPortTable
{
public:
    static constexpr int kMaxPorts = 29;

    HostPortTable() = default;
    explicit HostPortTable(std::vector<HostPort> ports); // ports past kMaxPorts are dropped

    int count() const { return static_cast<int>(m_ports.size()); }
    bool isPort(int slot) const { return slot >= 1 && slot <= count(); }
    std::string name(int slot) const; // "AUTO" for slot 0, empty outside the table
    std::string path(int slot) const; // empty for slot 0 and outside the table
    const std::vector<HostPort> &ports() const { return m_ports; }

private:
    std::vector<HostPort> m_ports;
};

// Windows: the data of the values under HARDWARE\DEVICEMAP\SERIALCOMM ("COM3", ...). The whole
// number counts (COM10 is port 10); numbers outside 1 to 255 and other texts are left out.
HostPortTable portsFromRegistryValues(const std::vector<std::string> &valueData);

// Linux: the system's serial ports without the active system consoles (by device name), sorted,
// then the links in the ports folder (from a simulator or socat), sorted, named by file name,
// without those that lead to an active console or a virtual terminal.
HostPortTable linuxHostPorts(const std::vector<HostPort> &systemPorts,
                             const std::vector<std::string> &activeConsoles,
                             const std::vector<std::string> &portsDirEntries);

// Orders names so that embedded numbers compare by value: ttyS2 before ttyS10.
bool portNameLess(const std::string &a, const std::string &b);

} // namespace relaybox
