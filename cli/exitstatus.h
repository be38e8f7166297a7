#pragma once

// The exit statuses a script branches on; each names one outcome, whatever the command.

namespace relaybox::cli {

enum ExitStatus {
    kDone = 0, // done, and the switch's own status shows it
    kNotConfirmed = 1, // sent, but the status did not show the change in time
    kUsage = 2, // the command line is wrong; nothing was sent
    kNoSwitch = 3, // no switch answered the Identify command
    kPortUnavailable = 4, // the port cannot be opened
    kStoppedBase = 128, // + the signal that stopped the call (SIGINT 130, SIGTERM 143, SIGHUP 129)
};

} // namespace relaybox::cli
