#pragma once

#include <optional>
#include <string>

// Where a manager that shares its line with scripts listens: one endpoint per serial port, which
// only the user who runs the manager can reach. Linux: a Unix socket in the user's runtime
// folder, named after the device, so that every name of the port leads to it.

namespace relaybox {

// The endpoint for the port at `portPath`; nullopt where the system has no such place (no
// runtime folder, not a device, or not built for this system yet).
std::optional<std::string> shareEndpointPath(const std::string &portPath);

// Makes the endpoints' folder, for this user alone; false with the reason when it cannot be had
// (someone else's, or open to others).
bool prepareShareFolder(std::string &error);

} // namespace relaybox
