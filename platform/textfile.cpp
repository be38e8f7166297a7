#include "platform/textfile.h"

#include <cstdio>
#include <memory>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace relaybox {

namespace {

namespace fs = std::filesystem;

constexpr int kTemporaryNameAttempts = 100;

// Closes and removes the temporary file unless the rename has taken it over.
class TemporaryFile
{
public:
    TemporaryFile(std::FILE *file, fs::path path)
        : m_file(file)
        , m_path(std::move(path))
    { }
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;
    ~TemporaryFile()
    {
        if (m_file)
            std::fclose(m_file);
        if (!m_kept) {
            std::error_code error;
            fs::remove(m_path, error);
        }
    }

    std::FILE *file() const { return m_file; }
    const fs::path &path() const { return m_path; }

    bool close()
    {
        std::FILE *file = m_file;
        m_file = nullptr;
        return std::fclose(file) == 0;
    }
    void keep() { m_kept = true; }

private:
    std::FILE *m_file;
    fs::path m_path;
    bool m_kept = false;
};

fs::path resolvedTarget(const fs::path &path)
{
    std::error_code error;
    if (!fs::is_symlink(path, error))
        return path;
    const fs::path resolved = fs::canonical(path, error);
    return error ? path : resolved;
}

// No write permission at all, or none for this process. On Windows the read-only attribute
// shows as no write bits; root ignores the bits on Linux, hence the explicit check.
bool isReadOnly(const fs::path &path, const fs::file_status &status)
{
    constexpr auto anyWrite =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if ((status.permissions() & anyWrite) == fs::perms::none)
        return true;
#ifndef _WIN32
    if (::access(path.c_str(), W_OK) != 0)
        return true;
#else
    (void)path;
#endif
    return false;
}

std::unique_ptr<TemporaryFile> createTemporaryBeside(const fs::path &target)
{
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        fs::path candidate = target;
        candidate += ".tmp" + std::to_string(attempt);
        // "x": only a new file, so a name already in use is never truncated.
        if (std::FILE *file = std::fopen(candidate.string().c_str(), "wbx"))
            return std::make_unique<TemporaryFile>(file, std::move(candidate));
        std::error_code error;
        if (!fs::exists(candidate, error))
            return nullptr; // not a name in use: the folder cannot be written
    }
    return nullptr;
}

// The replacement keeps the old file's permission bits and, when root saves, its owner.
bool copyOwnership(const TemporaryFile &temporary, const fs::path &target)
{
#ifndef _WIN32
    struct stat old
    {
    };
    if (::stat(target.c_str(), &old) != 0)
        return false;
    const int descriptor = ::fileno(temporary.file());
    if (::geteuid() == 0) {
        [[maybe_unused]] const int ignored = ::fchown(descriptor, old.st_uid, old.st_gid);
    }
    return ::fchmod(descriptor, old.st_mode & 07777) == 0;
#else
    std::error_code error;
    fs::permissions(temporary.path(), fs::status(target, error).permissions(), error);
    return !error;
#endif
}

bool flushToDisk(std::FILE *file)
{
    if (std::fflush(file) != 0)
        return false;
#ifndef _WIN32
    return ::fsync(::fileno(file)) == 0;
#else
    return ::_commit(::_fileno(file)) == 0;
#endif
}

void syncFolder(const fs::path &file)
{
#ifndef _WIN32
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
#else
    (void)file;
#endif
}

} // namespace

std::optional<std::string> readTextFile(const fs::path &path, std::size_t maxBytes)
{
    // A folder, a pipe or a device is not a file of ours; a pipe would block the read.
    std::error_code error;
    if (!fs::is_regular_file(path, error))
        return std::nullopt;
    std::FILE *file = std::fopen(path.string().c_str(), "rb");
    if (!file)
        return std::nullopt;
    std::string content;
    char buffer[4096];
    bool ok = true;
    while (ok) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
        if (content.size() + got > maxBytes)
            ok = false;
        else
            content.append(buffer, got);
        if (got < sizeof buffer) {
            ok = ok && !std::ferror(file);
            break;
        }
    }
    std::fclose(file);
    if (!ok)
        return std::nullopt;
    return content;
}

bool replaceTextFile(const fs::path &path, std::string_view content)
{
    const fs::path target = resolvedTarget(path);
    std::error_code error;
    const fs::file_status status = fs::status(target, error);
    const bool exists = !error && fs::exists(status);
    if (exists && isReadOnly(target, status))
        return false;

    std::unique_ptr<TemporaryFile> temporary = createTemporaryBeside(target);
    if (!temporary)
        return false;
    if (exists && fs::is_regular_file(status) && !copyOwnership(*temporary, target))
        return false;
    if (std::fwrite(content.data(), 1, content.size(), temporary->file()) != content.size()
        || !flushToDisk(temporary->file()) || !temporary->close())
        return false;
    fs::rename(temporary->path(), target, error);
    if (error)
        return false;
    temporary->keep();
    syncFolder(target);
    return true;
}

} // namespace relaybox
