#pragma once

#include <string>
#include <sys/types.h>

// A real X display as an operator's desktop has one: Xvfb on a free display number with the
// openbox window manager on it. Both end with this object.

namespace relaybox::bench {

class XDisplay
{
public:
    XDisplay();
    ~XDisplay();
    XDisplay(const XDisplay &) = delete;
    XDisplay &operator=(const XDisplay &) = delete;

    bool isValid() const { return !m_name.empty(); }
    const std::string &name() const { return m_name; } // ":N"
    pid_t serverPid() const { return m_server; }
    const std::string &failure() const { return m_failure; }

private:
    pid_t m_server = -1;
    pid_t m_windowManager = -1;
    std::string m_name;
    std::string m_failure;
};

// CPU time of a process or one of its threads from /proc, in nanoseconds: the first field of
// schedstat (time spent on a core). -1 when it cannot be read.
double taskCpuNs(pid_t pid, pid_t thread);
// Every thread of the process added up.
double processCpuNs(pid_t pid);

} // namespace relaybox::bench
