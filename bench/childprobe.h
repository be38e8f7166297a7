#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "figure.h"

// Figures measured in a fresh relaybox-bench process of their own (offscreen, nothing warm, no
// second QApplication in one process): the parent starts itself with a probe key selected and
// the key in RELAYBOX_BENCH_PROBE, and reads back the "RESULT <name> <value>" lines the probe
// prints. Without that variable a probe key runs nothing, so a plain relaybox-bench skips it.

namespace relaybox::bench {

using SteadyClock = std::chrono::steady_clock;
using EnvironmentList = std::vector<std::pair<std::string, std::string>>;

struct ProbeRun
{
    bool ok = false;
    std::string failure; // the probe's FAILED line, or how the process ended
    std::map<std::string, double> values;

    double value(const std::string &name) const; // NaN when the probe did not report it
};

// Runs the probe `key` with QT_QPA_PLATFORM=offscreen (unless the variables name another) and
// the given variables added, and kills it after `timeout`. `started` receives the time just
// before the process was spawned.
ProbeRun runProbe(const std::string &key, const EnvironmentList &environment,
                  std::chrono::seconds timeout, SteadyClock::time_point *started = nullptr);

// Registers a probe: `run` executes only in a process that runProbe started for `key`.
struct RegisterProbe
{
    RegisterProbe(const std::string &key, std::function<void()> run);
};

// The probe's side.
std::string probeSetting(const char *name); // an environment variable, empty when unset
void reportValue(const std::string &name, double value);
void reportFailure(const std::string &why);
// Steady-clock time stamps in nanoseconds: on Linux the monotonic clock, the same in every
// process, so a probe's stamps compare with its parent's.
double stampNs(SteadyClock::time_point time);

std::string programDir(); // the folder of relaybox-bench (and relaybox-sim)

} // namespace relaybox::bench
