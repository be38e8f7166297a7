#pragma once

#include "cli/arguments.h"
#include "platform/shareendpoint.h"

// The commands through relayboxd (--server URL) instead of a port of their own: the same output,
// JSON keys and exit statuses, with "server" and "switch" added.

namespace relaybox::cli {

int runThroughServer(const Request &request);

// The same through the KESTRANE Relaybox manager that holds `device` and shares its line: the
// output of a call on the port itself, with "via": "manager".
int runThroughManager(const Request &request, const std::string &device,
                      const ShareAccess &manager);

} // namespace relaybox::cli
