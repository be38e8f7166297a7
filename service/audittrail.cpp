#include "service/audittrail.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace relaybox::service {

namespace {

#ifdef _WIN32
// The file takes its permissions from the user's data folder; handles are not inherited.
constexpr int kOpenFlags = O_WRONLY | O_APPEND | O_CREAT | O_BINARY | O_NOINHERIT;
constexpr int kCreateMode = S_IREAD | S_IWRITE;
bool keepFromOtherUsers(int, const struct stat &)
{
    return true;
}
#else
constexpr int kOpenFlags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY;
constexpr int kCreateMode = S_IRUSR | S_IWUSR | S_IRGRP;
// A file every user may read loses that.
bool keepFromOtherUsers(int fd, const struct stat &status)
{
    return (status.st_mode & S_IRWXO) == 0 || ::fchmod(fd, status.st_mode & 07770) == 0;
}
#endif

} // namespace

std::unique_ptr<AuditTrail> AuditTrail::open(const std::string &path, std::string &error)
{
    std::unique_ptr<AuditTrail> trail(new AuditTrail(path));
    if (!trail->reopen(error))
        return nullptr;
    return trail;
}

AuditTrail::AuditTrail(std::string path)
    : m_path(std::move(path))
{ }

AuditTrail::~AuditTrail()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool AuditTrail::reopen(std::string &error)
{
    const int fd = ::open(m_path.c_str(), kOpenFlags, kCreateMode);
    if (fd < 0) {
        error = m_path + ": " + std::strerror(errno);
        return false;
    }
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        error = m_path + ": not a regular file";
        return false;
    }
    if (!keepFromOtherUsers(fd, status)) {
        ::close(fd);
        error = m_path
            + ": every user may read it, and its mode cannot be changed: " + std::strerror(errno);
        return false;
    }
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
    m_device = status.st_dev;
    m_inode = status.st_ino;
    m_failed = false;
    return true;
}

bool AuditTrail::ready(std::string &error)
{
    const std::lock_guard lock(m_mutex);
    struct stat status
    {
    };
    const bool moved = ::stat(m_path.c_str(), &status) != 0 || status.st_dev != m_device
        || status.st_ino != m_inode;
    if (m_failed || moved)
        return reopen(error);
    return true;
}

bool AuditTrail::append(const std::string &line, std::string &error)
{
    const std::string text = line + "\n";
    const std::lock_guard lock(m_mutex);
    if (m_fd < 0 || m_failed) {
        error = m_path + ": not open";
        return false;
    }
    ssize_t written = -1;
    do {
        written = ::write(m_fd, text.data(), text.size());
    } while (written < 0 && errno == EINTR);
    if (written != ssize_t(text.size())) {
        error = m_path + ": " + (written < 0 ? std::strerror(errno) : "a short write");
        m_failed = true;
        return false;
    }
    return true;
}

} // namespace relaybox::service
