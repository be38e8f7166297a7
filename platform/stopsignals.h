#pragma once

#include <chrono>

// SIGINT, SIGTERM and SIGHUP (on Windows Ctrl-C, Ctrl-Break and closing the console) become a
// request to stop that a tool's waits look at, so that it closes its port and reports before it
// ends. A second signal of the same kind ends the program at once; a signal the program was
// started with ignored (nohup, a background job) stays ignored.

namespace relaybox {

void catchStopSignals();

// 0 until a stop signal came; then its POSIX number (SIGHUP 1, SIGINT 2, SIGTERM 15, on Windows
// too), so that the shell's exit status is 128 + it.
int stopSignal();

// Sleeps for `duration` unless a stop signal comes first; false when one did.
bool sleepUnlessStopped(std::chrono::milliseconds duration);

} // namespace relaybox
