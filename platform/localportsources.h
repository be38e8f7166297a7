#pragma once

#include <string>
#include <vector>

#include "platform/hostports.h"

// What a Linux host says about its serial ports without opening any of them: the active system
// consoles (never offered: /dev/ttyS0 may be one) and the links in a ports folder.

namespace relaybox {

inline constexpr const char *kActiveConsolesFile = "/sys/class/tty/console/active";

// "tty0 ttyS0\n" -> {"tty0", "ttyS0"}.
std::vector<std::string> parseActiveConsoles(const std::string &text);
std::vector<std::string> readActiveConsoles(const std::string &file = kActiveConsolesFile);

// Full paths of the entries of dir, leaving out folders and hidden names; empty when dir is
// missing.
std::vector<std::string> portsDirectoryEntries(const std::string &dir);

inline constexpr const char *kTtyClassFolder = "/sys/class/tty";

// The serial ports the kernel knows, read from sysfs without opening any device: every tty with
// a device behind it (virtual consoles and pseudo-terminals have none), except UARTs the driver
// registered without finding one (port type 0). Named by the tty name, opened as /dev/<name>.
std::vector<HostPort> sysfsSerialPorts(const std::string &ttyClassFolder = kTtyClassFolder);

} // namespace relaybox
