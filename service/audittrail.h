#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>

// The audit file: one JSON line per switching request, appended with one write each and never
// truncated. It is created without permissions for other users, and a file that has them loses
// them. A file moved away (log rotation) is followed by a new one at the same path. After a
// failed write nothing is switched until the file can be written again.

namespace relaybox::service {

class AuditTrail
{
public:
    // Empty, with the reason, when the file cannot be opened for appending.
    static std::unique_ptr<AuditTrail> open(const std::string &path, std::string &error);
    ~AuditTrail();
    AuditTrail(const AuditTrail &) = delete;
    AuditTrail &operator=(const AuditTrail &) = delete;

    // True when the next line can be written: the file is open and no write has failed since,
    // or it could be opened again. Sets `error` otherwise.
    bool ready(std::string &error);

    // Appends the line and its line end in one write; false (and not ready) when it failed.
    bool append(const std::string &line, std::string &error);

    const std::string &path() const { return m_path; }

private:
    explicit AuditTrail(std::string path);
    bool reopen(std::string &error);

    const std::string m_path;
    std::mutex m_mutex;
    int m_fd = -1;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    bool m_failed = false;
};

} // namespace relaybox::service
