#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// The relaybox-sim program as a separate process: its output goes to a file, its input is a
// pipe held open by this object; closing the pipe ends it.

namespace relaybox::bench {

class SimProcess
{
public:
    SimProcess(const std::vector<std::string> &options, std::string outputFile);
    ~SimProcess();
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    // The path the simulator linked to its terminal, once it has printed it; empty if it did not
    // within five seconds.
    std::string linkPath() const;
    // How many lines of its output end with `suffix`.
    int countLinesEndingWith(const std::string &suffix) const;
    // The first output line that starts with `prefix`, waiting up to two seconds for it.
    std::string waitForLineStarting(const std::string &prefix) const;

private:
    std::string m_output;
    pid_t m_pid = -1;
    int m_input = -1;
};

} // namespace relaybox::bench
