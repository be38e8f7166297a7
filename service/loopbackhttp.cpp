#include "service/loopbackhttp.h"

#include <algorithm>
#include <httplib.h>

#include "service/httprouting.h"

namespace relaybox::service {

namespace {

std::chrono::seconds wholeSeconds(std::chrono::milliseconds duration)
{
    return std::max(std::chrono::seconds(1), std::chrono::ceil<std::chrono::seconds>(duration));
}

} // namespace

LoopbackHttp::LoopbackHttp(const ServiceApi &api, const AccessTokens &tokens, std::string tokenUser,
                           TransportLimits limits)
    : m_server(std::make_unique<httplib::Server>())
{
    const std::size_t threads = std::clamp<std::size_t>(limits.maxConnections, 1, 8);
    m_server->new_task_queue = [threads] {
        return new httplib::ThreadPool(threads);
    };
    m_server->set_read_timeout(wholeSeconds(limits.requestReadTime));
    m_server->set_write_timeout(wholeSeconds(limits.writeTime));
    m_server->set_keep_alive_timeout(time_t(wholeSeconds(limits.keepAlive).count()));
    m_server->set_keep_alive_max_count(std::size_t(std::max(1, limits.maxRequestsPerConnection)));
    m_server->set_tcp_nodelay(true);
    routeToApi(*m_server, api, limits, true,
               [&tokens, user = std::move(tokenUser)](const httplib::Request &request) {
                   ClientIdentity client;
                   client.address = request.remote_addr + ":" + std::to_string(request.remote_port);
                   if (tokens.nameFor(request.get_header_value("Authorization")))
                       client.user = user;
                   return client;
               });
}

LoopbackHttp::~LoopbackHttp()
{
    stop();
}

int LoopbackHttp::listen(std::string &error)
{
    const int port = m_server->bind_to_any_port("127.0.0.1");
    if (port <= 0) {
        error = "no port on 127.0.0.1 could be bound";
        return 0;
    }
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    // A stop() before the loop runs would not reach it: wait until it does.
    for (int i = 0; i < 5000 && !m_server->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return port;
}

void LoopbackHttp::stop()
{
    if (!m_thread.joinable())
        return;
    m_server->stop();
    m_thread.join();
}

} // namespace relaybox::service
