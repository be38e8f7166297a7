#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

#include "service/listenaddress.h"
#include "service/serviceapi.h"
#include "service/transportlimits.h"

// Carries the service's API over HTTP (cpp-httplib parses and writes the messages) on TCP and
// Unix-socket listeners, and pdudaemon's one-line TCP protocol. One thread accepts; each
// connection has a thread of its own, within TransportLimits. The service is never reached
// through a shell or any other program.

namespace relaybox::service {

class ServiceTransport
{
public:
    explicit ServiceTransport(const ServiceApi &api, TransportLimits limits = {});
    ~ServiceTransport();
    ServiceTransport(const ServiceTransport &) = delete;
    ServiceTransport &operator=(const ServiceTransport &) = delete;

    // Opens a listener before start(); false with the reason. A Unix socket gets `unixMode`.
    bool listenHttp(const ListenAddress &address, bool tokenRequired, std::string &error,
                    mode_t unixMode = 0660);
    bool listenPdudaemon(const ListenAddress &address, std::string &error);

    void start();
    // Stops accepting, ends the connections and waits for their threads; removes Unix sockets.
    void stop();

private:
    class HttpConnections;
    struct Listener
    {
        int fd = -1;
        bool pdudaemon = false;
        std::string unixPath;
        ino_t unixInode = 0;
        std::unique_ptr<HttpConnections> http;
    };

    void acceptLoop();
    void serve(const Listener &listener, int fd);
    void servePdudaemon(int fd, ClientIdentity client);

    const ServiceApi &m_api;
    const TransportLimits m_limits;
    std::vector<Listener> m_listeners;
    int m_wakePipe[2] = { -1, -1 };
    std::thread m_acceptThread;

    std::mutex m_mutex;
    std::condition_variable m_allClosed;
    std::set<int> m_connections; // open connection sockets
    bool m_stopping = false;
};

} // namespace relaybox::service
