#pragma once

#include <string>

// relayboxd from its configuration file to its end: listeners, switches, and the wait for
// SIGTERM or SIGINT.

namespace relaybox::daemon {

enum ExitStatus {
    kExitDone = 0,
    kExitFailed = 1, // the configuration is wrong, or something it names cannot be used
    kExitUsage = 2,
};

// --check-config: reads the configuration and the tokens, opens nothing.
int checkConfig(const std::string &configPath);
int runDaemon(const std::string &configPath);

} // namespace relaybox::daemon
