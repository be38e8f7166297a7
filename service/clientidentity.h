#pragma once

#include <optional>
#include <string>

// Who sent a request, as the audit trail records it.

namespace relaybox::service {

struct ClientIdentity
{
    std::string address; // "127.0.0.1:53422", "[::1]:40022"; empty on a Unix socket
    std::optional<unsigned> uid; // the peer's user on a Unix socket
    std::string user; // that user's name, when the system knows it
    std::string program; // the client's own name, from its User-Agent ("relaybox-cli")
    std::string token; // the name of the token the request carried
    std::string via; // "http" or "pdudaemon"
};

} // namespace relaybox::service
