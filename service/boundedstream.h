#pragma once

#include <array>
#include <httplib.h>

#include "service/transportlimits.h"

// A connected socket as cpp-httplib reads and writes it, within the transport's limits: each
// request must arrive whole within its time and byte budget, each write must leave within its
// time. Works for TCP and Unix sockets alike. Reads go through a buffer: cpp-httplib reads a
// request's lines a byte at a time.

namespace relaybox::service {

class BoundedStream final : public httplib::Stream
{
public:
    BoundedStream(int fd, const TransportLimits &limits);

    // Waits up to the keep-alive time for the next request, then gives it a fresh budget.
    bool nextRequest();

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char *data, size_t size) override;
    ssize_t write(const char *data, size_t size) override;
    void get_remote_ip_and_port(std::string &ip, int &port) const override;
    void get_local_ip_and_port(std::string &ip, int &port) const override;
    socket_t socket() const override { return m_fd; }

private:
    bool waitFor(short events, std::chrono::milliseconds limit) const;

    static constexpr std::size_t kBufferSize = 4096;

    const int m_fd;
    const TransportLimits &m_limits;
    std::array<char, kBufferSize> m_buffer {};
    std::size_t m_bufferStart = 0;
    std::size_t m_bufferEnd = 0;
    std::chrono::steady_clock::time_point m_readDeadline;
    std::size_t m_bytesLeft = 0;
};

} // namespace relaybox::service
