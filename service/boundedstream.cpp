#include "service/boundedstream.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

namespace relaybox::service {

using std::chrono::steady_clock;

BoundedStream::BoundedStream(int fd, const TransportLimits &limits)
    : m_fd(fd)
    , m_limits(limits)
{ }

bool BoundedStream::waitFor(short events, std::chrono::milliseconds limit) const
{
    const auto end = steady_clock::now() + limit;
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(end - steady_clock::now()).count();
        pollfd entry { m_fd, events, 0 };
        const int ready = ::poll(&entry, 1, int(std::max<long long>(0, left)));
        if (ready > 0)
            return true; // also on a hang-up or an error: the read or write then tells
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

bool BoundedStream::nextRequest()
{
    if (m_bufferStart == m_bufferEnd && !waitFor(POLLIN, m_limits.keepAlive))
        return false;
    m_readDeadline = steady_clock::now() + m_limits.requestReadTime;
    m_bytesLeft = m_limits.maxRequestBytes;
    return true;
}

bool BoundedStream::is_readable() const
{
    if (m_bufferStart < m_bufferEnd)
        return true;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(m_readDeadline - steady_clock::now());
    return left.count() > 0 && waitFor(POLLIN, left);
}

bool BoundedStream::is_writable() const
{
    return waitFor(POLLOUT, m_limits.writeTime);
}

ssize_t BoundedStream::read(char *data, size_t size)
{
    if (m_bufferStart == m_bufferEnd) {
        if (m_bytesLeft == 0 || !is_readable())
            return -1;
        ssize_t got = -1;
        do {
            got = ::recv(m_fd, m_buffer.data(), std::min(m_buffer.size(), m_bytesLeft), 0);
        } while (got < 0 && errno == EINTR);
        if (got <= 0)
            return got;
        m_bytesLeft -= size_t(got);
        m_bufferStart = 0;
        m_bufferEnd = size_t(got);
    }
    const std::size_t count = std::min(size, m_bufferEnd - m_bufferStart);
    std::copy_n(m_buffer.data() + m_bufferStart, count, data);
    m_bufferStart += count;
    return ssize_t(count);
}

ssize_t BoundedStream::write(const char *data, size_t size)
{
    // What fits now; cpp-httplib writes the rest with the next call.
    for (;;) {
        if (!is_writable())
            return -1;
        const ssize_t sent = ::send(m_fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent >= 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK))
            return sent;
    }
}

void BoundedStream::get_remote_ip_and_port(std::string &ip, int &port) const
{
    ip.clear();
    port = 0;
}

void BoundedStream::get_local_ip_and_port(std::string &ip, int &port) const
{
    ip.clear();
    port = 0;
}

} // namespace relaybox::service
