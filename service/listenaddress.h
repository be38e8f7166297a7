#pragma once

#include <optional>
#include <string>

// Where a listener listens: "127.0.0.1:8080", "[::1]:8080", "0.0.0.0:8080" or
// "unix:/run/relaybox/relayboxd.sock". Numeric addresses only: nothing is looked up.

namespace relaybox::service {

struct ListenAddress
{
    enum class Kind { Inet4, Inet6, Unix } kind = Kind::Inet4;
    std::string host; // the numeric address, without brackets
    int port = 0;
    std::string path; // Unix sockets

    // 127.0.0.0/8, ::1 and Unix sockets: reachable only from this machine.
    bool isLocal() const;
    std::string text() const; // as it would be written in the configuration
};

// Empty with a reason in `error` when the text is not one of the forms above.
std::optional<ListenAddress> parseListenAddress(const std::string &text, std::string &error);

} // namespace relaybox::service
