#pragma once

#include <optional>
#include <string>

// Where a manager that shares its line with scripts listens: one endpoint per serial port, which
// only the user who runs the manager can reach. Linux: a Unix socket in the user's runtime
// folder, named after the device, so that every name of the port leads to it. Windows: a port
// on the loopback address, named with its token in a file of the user's own (see
// shareaccessfile.h).

namespace relaybox {

// The endpoint for the port at `portPath`; nullopt where the system has no such place (no
// runtime or data folder, not a device).
std::optional<std::string> shareEndpointPath(const std::string &portPath);

// Makes the endpoints' folder, for this user alone; false with the reason when it cannot be had
// (someone else's, or open to others).
bool prepareShareFolder(std::string &error);

// How a client reaches the manager at the endpoint.
struct ShareAccess
{
    std::string server; // "unix:/run/user/1000/relaybox/port-4-64.sock", "http://127.0.0.1:50123"
    std::string token; // to send as "Authorization: Bearer TOKEN"; empty for a Unix socket
};

// What the endpoint at `path` says; nullopt when no manager listens there.
std::optional<ShareAccess> shareAccess(const std::string &path);

// The name of the user this program runs as; empty when the system does not say.
std::string thisUserName();

} // namespace relaybox
