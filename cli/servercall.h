#pragma once

#include "cli/arguments.h"

// The commands through relayboxd (--server URL) instead of a port of their own: the same output,
// JSON keys and exit statuses, with "server" and "switch" added. Builds without an HTTP client
// (the Windows tool) refuse --server as a usage error.

namespace relaybox::cli {

int runThroughServer(const Request &request);

// The same through the KESTRANE Relaybox manager that holds `device` and shares its line at
// `endpoint`: the output of a call on the port itself, with "via": "manager".
int runThroughManager(const Request &request, const std::string &device,
                      const std::string &endpoint);

} // namespace relaybox::cli
