#pragma once

#include <string>

#include "platform/hostports.h"

namespace relaybox {

// The host port table built once at start-up: on Windows from the registry's serial port list,
// on Linux from the system's serial ports as sysfs lists them (no device is opened; active
// consoles left out) and the links in portsDir. The manager and relaybox-cli share it, so that
// define.ini's ComPort names the same port for both.
HostPortTable discoverHostPorts(const std::string &portsDir);

} // namespace relaybox
