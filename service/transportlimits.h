#pragma once

#include <chrono>
#include <cstddef>

// What one client may cost the service: a slow or hostile one holds one connection for a bounded
// time and a bounded number of bytes, and cannot stall the others.

namespace relaybox::service {

struct TransportLimits
{
    std::size_t maxConnections = 64; // beyond this a new connection is closed at once
    std::size_t maxRequestBytes = 16 * 1024; // request line, headers and body together
    std::size_t maxHeaders = 32;
    std::chrono::milliseconds requestReadTime { 5000 }; // to send a whole request
    std::chrono::milliseconds writeTime { 5000 }; // for each piece of an answer to leave
    std::chrono::milliseconds keepAlive { 5000 }; // an idle connection is closed after this
    int maxRequestsPerConnection = 1000;
};

} // namespace relaybox::service
