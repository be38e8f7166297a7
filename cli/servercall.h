#pragma once

#include "cli/arguments.h"

// The commands through relayboxd (--server URL) instead of a port of their own: the same output,
// JSON keys and exit statuses, with "server" and "switch" added. Builds without an HTTP client
// (the Windows tool) refuse --server as a usage error.

namespace relaybox::cli {

int runThroughServer(const Request &request);

} // namespace relaybox::cli
