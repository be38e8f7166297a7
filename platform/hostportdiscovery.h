#pragma once

#include <string>

#include "platform/hostports.h"

namespace relaybox {

// The host port table built once at start-up: on Windows from the registry's serial port list,
// on Linux from the system's serial ports (active consoles left out) and the links in portsDir.
HostPortTable discoverHostPorts(const std::string &portsDir);

} // namespace relaybox
