#pragma once

#include "cli/arguments.h"

// The commands that talk to the switch (status, on, off, cycle, version) and ports: each picks
// and opens the port, prints its result and returns the exit status.

namespace relaybox::cli {

int runCommand(const Request &request);

} // namespace relaybox::cli
