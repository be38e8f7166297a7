#include "service/servicetransport.h"

#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "service/boundedstream.h"
#include "service/httprouting.h"
#include "service/listeningsocket.h"

namespace relaybox::service {

namespace {

constexpr std::size_t kMaxPdudaemonLine = 256;
// pduclient sends its line without an end and waits: the line is complete once this passes
// without another byte.
constexpr std::chrono::milliseconds kPdudaemonLinePause { 100 };

// The client of the connection this thread serves, for the request handler cpp-httplib calls.
thread_local const ClientIdentity *t_client = nullptr;

bool waitFor(int fd, short events, std::chrono::milliseconds limit)
{
    pollfd entry { fd, events, 0 };
    int ready = -1;
    do {
        ready = ::poll(&entry, 1, int(std::max<long long>(0, limit.count())));
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

} // namespace

// cpp-httplib's request parsing, routing and answer writing, on connections this transport
// accepted itself (cpp-httplib has no Unix-socket listener).
class ServiceTransport::HttpConnections final : public httplib::Server
{
public:
    HttpConnections(const ServiceApi &api, const TransportLimits &limits, bool tokenRequired)
        : m_limits(limits)
    {
        routeToApi(*this, api, limits, tokenRequired, [](const httplib::Request &) {
            return t_client ? *t_client : ClientIdentity {};
        });
    }

    void serve(int fd, const ClientIdentity &client)
    {
        t_client = &client;
        BoundedStream stream(fd, m_limits);
        for (int i = 0; i < m_limits.maxRequestsPerConnection && stream.nextRequest(); ++i) {
            bool closed = false;
            const bool last = i + 1 == m_limits.maxRequestsPerConnection;
            if (!process_request(stream, last, closed, [](httplib::Request &) {}) || closed)
                break;
        }
        t_client = nullptr;
    }

private:
    const TransportLimits &m_limits;
};

ServiceTransport::ServiceTransport(const ServiceApi &api, TransportLimits limits)
    : m_api(api)
    , m_limits(limits)
{ }

ServiceTransport::~ServiceTransport()
{
    stop();
}

bool ServiceTransport::listenHttp(const ListenAddress &address, bool tokenRequired,
                                  std::string &error, mode_t unixMode)
{
    Listener listener;
    listener.fd = openListeningSocket(address, unixMode, error, &listener.unixInode);
    if (listener.fd < 0)
        return false;
    if (address.kind == ListenAddress::Kind::Unix)
        listener.unixPath = address.path;
    listener.http = std::make_unique<HttpConnections>(m_api, m_limits, tokenRequired);
    m_listeners.push_back(std::move(listener));
    return true;
}

bool ServiceTransport::listenPdudaemon(const ListenAddress &address, std::string &error)
{
    Listener listener;
    listener.fd = openListeningSocket(address, 0600, error);
    if (listener.fd < 0)
        return false;
    listener.pdudaemon = true;
    m_listeners.push_back(std::move(listener));
    return true;
}

void ServiceTransport::start()
{
    if (m_acceptThread.joinable() || ::pipe2(m_wakePipe, O_CLOEXEC) != 0)
        return;
    m_acceptThread = std::thread([this] { acceptLoop(); });
}

void ServiceTransport::stop()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
        for (const int fd : m_connections)
            ::shutdown(fd, SHUT_RDWR);
    }
    if (m_acceptThread.joinable()) {
        const char byte = 0;
        [[maybe_unused]] const auto written = ::write(m_wakePipe[1], &byte, 1);
        m_acceptThread.join();
    }
    {
        std::unique_lock lock(m_mutex);
        m_allClosed.wait(lock, [&] { return m_connections.empty(); });
    }
    for (Listener &listener : m_listeners) {
        if (!listener.unixPath.empty())
            removeUnixSocket(listener.unixPath, listener.unixInode);
        ::close(listener.fd);
    }
    m_listeners.clear();
    for (int &fd : m_wakePipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void ServiceTransport::acceptLoop()
{
    std::vector<pollfd> fds;
    for (const Listener &listener : m_listeners)
        fds.push_back({ listener.fd, POLLIN, 0 });
    fds.push_back({ m_wakePipe[0], POLLIN, 0 });
    for (;;) {
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds.back().revents)
            return;
        for (std::size_t i = 0; i < m_listeners.size(); ++i) {
            if (!fds[i].revents)
                continue;
            for (;;) {
                const int fd = ::accept4(m_listeners[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd < 0)
                    break; // EAGAIN: all taken; anything else: the next poll tries again
                const std::lock_guard lock(m_mutex);
                if (m_stopping || m_connections.size() >= m_limits.maxConnections) {
                    ::close(fd);
                    continue;
                }
                // Answers leave in several writes; none may wait for the client's delayed ACK.
                const int yes = 1;
                ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
                m_connections.insert(fd);
                const Listener &listener = m_listeners[i];
                std::thread([this, &listener, fd] { serve(listener, fd); }).detach();
            }
        }
    }
}

void ServiceTransport::serve(const Listener &listener, int fd)
{
    ClientIdentity client = peerOf(fd);
    client.via = listener.pdudaemon ? "pdudaemon" : "http";
    if (listener.pdudaemon)
        servePdudaemon(fd, std::move(client));
    else
        listener.http->serve(fd, client);
    const std::lock_guard lock(m_mutex);
    m_connections.erase(fd);
    ::close(fd);
    if (m_connections.empty())
        m_allClosed.notify_all();
}

void ServiceTransport::servePdudaemon(int fd, ClientIdentity client)
{
    using std::chrono::steady_clock;
    const auto deadline = steady_clock::now() + m_limits.requestReadTime;
    std::string line;
    char buffer[kMaxPdudaemonLine];
    while (line.size() < kMaxPdudaemonLine && line.find('\n') == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - steady_clock::now());
        if (left.count() <= 0
            || !waitFor(fd, POLLIN, line.empty() ? left : std::min(left, kPdudaemonLinePause)))
            break;
        const ssize_t got = ::recv(fd, buffer, kMaxPdudaemonLine - line.size(), 0);
        if (got <= 0)
            break;
        line.append(buffer, std::size_t(got));
    }
    if (line.empty())
        return;
    const std::string reply = line.size() >= kMaxPdudaemonLine
        ? "relayboxd: the request is longer than 256 bytes"
        : m_api.pdudaemonCommand(line, client);
    if (waitFor(fd, POLLOUT, m_limits.writeTime))
        ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

} // namespace relaybox::service
