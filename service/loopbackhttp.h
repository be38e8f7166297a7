#pragma once

#include <memory>
#include <string>
#include <thread>

#include "service/accesstokens.h"
#include "service/serviceapi.h"
#include "service/transportlimits.h"

// The service's HTTP API on a port of the loopback address that the system picks, for one user:
// every request must carry that user's token, and one that does acts for `tokenUser`. For
// systems without Unix sockets to give the user's processes alone.

namespace httplib {
class Server;
}

namespace relaybox::service {

class LoopbackHttp
{
public:
    LoopbackHttp(const ServiceApi &api, const AccessTokens &tokens, std::string tokenUser,
                 TransportLimits limits = {});
    ~LoopbackHttp(); // stops
    LoopbackHttp(const LoopbackHttp &) = delete;
    LoopbackHttp &operator=(const LoopbackHttp &) = delete;

    // Binds 127.0.0.1 on a free port and serves from a thread of its own; the port, or 0 with the
    // reason in `error`.
    int listen(std::string &error);

    // Stops accepting, and waits for the requests being answered.
    void stop();

private:
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
};

} // namespace relaybox::service
