#include "service/listenaddress.h"

#include <arpa/inet.h>
#include <charconv>

namespace relaybox::service {

namespace {

constexpr std::size_t kMaxUnixPath = 107; // sockaddr_un's sun_path, with its terminating NUL

std::optional<int> portNumber(const std::string &text)
{
    int port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (text.empty() || text.size() > 5 || error != std::errc() || end != text.data() + text.size()
        || port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

} // namespace

bool ListenAddress::isLocal() const
{
    switch (kind) {
    case Kind::Unix:
        return true;
    case Kind::Inet4:
        return host.compare(0, 4, "127.") == 0;
    case Kind::Inet6: {
        in6_addr address {};
        return inet_pton(AF_INET6, host.c_str(), &address) == 1 && IN6_IS_ADDR_LOOPBACK(&address);
    }
    }
    return false;
}

std::string ListenAddress::text() const
{
    switch (kind) {
    case Kind::Unix:
        return "unix:" + path;
    case Kind::Inet4:
        return host + ":" + std::to_string(port);
    case Kind::Inet6:
        return "[" + host + "]:" + std::to_string(port);
    }
    return {};
}

std::optional<ListenAddress> parseListenAddress(const std::string &text, std::string &error)
{
    ListenAddress address;
    if (text.compare(0, 5, "unix:") == 0) {
        address.kind = ListenAddress::Kind::Unix;
        address.path = text.substr(5);
        if (address.path.empty() || address.path[0] != '/') {
            error = "a Unix socket needs an absolute path, e.g. unix:/run/relaybox/relayboxd.sock";
            return std::nullopt;
        }
        if (address.path.size() > kMaxUnixPath) {
            error = "the socket path is longer than " + std::to_string(kMaxUnixPath) + " bytes";
            return std::nullopt;
        }
        return address;
    }
    std::string portText;
    if (!text.empty() && text[0] == '[') {
        const auto close = text.find("]:");
        if (close == std::string::npos) {
            error = "an IPv6 address is written [ADDRESS]:PORT, e.g. [::1]:8080";
            return std::nullopt;
        }
        address.kind = ListenAddress::Kind::Inet6;
        address.host = text.substr(1, close - 1);
        portText = text.substr(close + 2);
        in6_addr parsed {};
        if (inet_pton(AF_INET6, address.host.c_str(), &parsed) != 1) {
            error = "\"" + address.host + "\" is not an IPv6 address";
            return std::nullopt;
        }
    } else {
        const auto colon = text.rfind(':');
        if (colon == std::string::npos) {
            error = "an address is written ADDRESS:PORT, e.g. 127.0.0.1:8080, or unix:PATH";
            return std::nullopt;
        }
        address.host = text.substr(0, colon);
        portText = text.substr(colon + 1);
        in_addr parsed {};
        if (inet_pton(AF_INET, address.host.c_str(), &parsed) != 1) {
            error = "\"" + address.host + "\" is not a numeric IPv4 address";
            return std::nullopt;
        }
    }
    const auto port = portNumber(portText);
    if (!port) {
        error = "the port must be 1 to 65535, not \"" + portText + "\"";
        return std::nullopt;
    }
    address.port = *port;
    return address;
}

} // namespace relaybox::service
