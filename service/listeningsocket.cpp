#include "service/listeningsocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace relaybox::service {

namespace {

constexpr int kBacklog = 64;

std::string systemError(const std::string &what)
{
    return what + ": " + std::strerror(errno);
}

int unixListener(const std::string &path, mode_t mode, std::string &error)
{
    struct stat existing
    {
    };
    if (::lstat(path.c_str(), &existing) == 0 && !S_ISSOCK(existing.st_mode)) {
        error = path + " exists and is not a socket";
        return -1;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = systemError("socket");
        return -1;
    }
    // Made under a temporary name, given its mode, then moved into place: no moment in which
    // another user could connect.
    const std::string temporary = path + ".new-" + std::to_string(::getpid());
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (temporary.size() >= sizeof address.sun_path) {
        ::close(fd);
        error = path + ": the path is too long";
        return -1;
    }
    std::memcpy(address.sun_path, temporary.c_str(), temporary.size() + 1);
    ::unlink(temporary.c_str());
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        error = systemError(path);
        ::close(fd);
        return -1;
    }
    if (::chmod(temporary.c_str(), mode) != 0 || ::rename(temporary.c_str(), path.c_str()) != 0
        || ::listen(fd, kBacklog) != 0) {
        error = systemError(path);
        ::unlink(temporary.c_str());
        ::close(fd);
        return -1;
    }
    return fd;
}

int inetListener(const ListenAddress &where, std::string &error)
{
    const bool six = where.kind == ListenAddress::Kind::Inet6;
    const int fd =
        ::socket(six ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = systemError("socket");
        return -1;
    }
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    int bound = -1;
    if (six) {
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &yes, sizeof yes);
        sockaddr_in6 address {};
        address.sin6_family = AF_INET6;
        address.sin6_port = htons(uint16_t(where.port));
        ::inet_pton(AF_INET6, where.host.c_str(), &address.sin6_addr);
        bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    } else {
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(uint16_t(where.port));
        ::inet_pton(AF_INET, where.host.c_str(), &address.sin_addr);
        bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    }
    if (bound != 0 || ::listen(fd, kBacklog) != 0) {
        error = systemError(where.text());
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string userName(uid_t uid)
{
    std::vector<char> buffer(16384);
    passwd entry {};
    passwd *found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return {};
    return found->pw_name;
}

} // namespace

int openListeningSocket(const ListenAddress &address, mode_t unixMode, std::string &error,
                        ino_t *unixInode)
{
    if (address.kind != ListenAddress::Kind::Unix)
        return inetListener(address, error);
    const int fd = unixListener(address.path, unixMode, error);
    struct stat made
    {
    };
    if (fd >= 0 && unixInode && ::lstat(address.path.c_str(), &made) == 0)
        *unixInode = made.st_ino;
    return fd;
}

void removeUnixSocket(const std::string &path, ino_t inode)
{
    struct stat atPath
    {
    };
    if (::lstat(path.c_str(), &atPath) == 0 && S_ISSOCK(atPath.st_mode) && atPath.st_ino == inode)
        ::unlink(path.c_str());
}

ClientIdentity peerOf(int fd)
{
    ClientIdentity client;
    sockaddr_storage address {};
    socklen_t length = sizeof address;
    if (::getpeername(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return client;
    char host[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto *in = reinterpret_cast<const sockaddr_in *>(&address);
        ::inet_ntop(AF_INET, &in->sin_addr, host, sizeof host);
        client.address = std::string(host) + ":" + std::to_string(ntohs(in->sin_port));
    } else if (address.ss_family == AF_INET6) {
        const auto *in = reinterpret_cast<const sockaddr_in6 *>(&address);
        ::inet_ntop(AF_INET6, &in->sin6_addr, host, sizeof host);
        client.address = "[" + std::string(host) + "]:" + std::to_string(ntohs(in->sin6_port));
    } else if (address.ss_family == AF_UNIX) {
        ucred credentials {};
        socklen_t size = sizeof credentials;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0) {
            client.uid = credentials.uid;
            client.user = userName(credentials.uid);
        }
    }
    return client;
}

} // namespace relaybox::service
