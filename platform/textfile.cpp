#include "platform/textfile.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace relaybox {

namespace {

namespace fs = std::filesystem;

constexpr int kTemporaryNameAttempts = 16;
constexpr int kMaxLinkHops = 40; // as the kernel follows them
const std::string kTemporaryMark = ".tmp";

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

// The kernel's rule for links in world-writable sticky folders such as /tmp
// (fs.protected_symlinks): such a link is followed only when this user or the folder's owner owns
// it, so another user cannot plant a link that makes a save replace one of our files. The links
// are read here rather than by the kernel, so the rule is applied here.
bool mayFollowLink([[maybe_unused]] const fs::path &link)
{
#ifndef _WIN32
    const fs::path folder = link.parent_path().empty() ? fs::path(".") : link.parent_path();
    struct stat linkStatus
    {
    };
    struct stat folderStatus
    {
    };
    if (::lstat(link.c_str(), &linkStatus) != 0 || ::stat(folder.c_str(), &folderStatus) != 0)
        return false;
    constexpr mode_t kShared = S_ISVTX | S_IWOTH;
    if ((folderStatus.st_mode & kShared) != kShared)
        return true;
    return linkStatus.st_uid == ::geteuid() || linkStatus.st_uid == folderStatus.st_uid;
#else
    return true;
#endif
}

// The file a path finally names: each link followed in turn, a relative one from its own folder.
// The final name need not exist (a dangling link names the file a save creates); nullopt for a
// loop of links, a link that cannot be read or one that the kernel's rule forbids following.
std::optional<fs::path> finalTarget(fs::path path)
{
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(path, error)))
            return path;
        if (!mayFollowLink(path))
            return std::nullopt;
        const fs::path link = fs::read_symlink(path, error);
        if (error)
            return std::nullopt;
        path = link.is_absolute() ? link : path.parent_path() / link;
    }
    return std::nullopt;
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

long processId()
{
#ifdef _WIN32
    return long(::_getpid());
#else
    return long(::getpid());
#endif
}

// Unique per save: a kill during a save leaves its temporary behind, and a fixed set of names
// would run out after enough of them.
std::string temporarySuffix()
{
    thread_local std::mt19937_64 generator = [] {
        std::random_device device;
        const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        std::seed_seq seed { device(), device(), unsigned(now), unsigned(now >> 32),
                             unsigned(processId()) };
        return std::mt19937_64(seed);
    }();
    char text[48];
    std::snprintf(text, sizeof text, "-%ld-%016llx", processId(),
                  static_cast<unsigned long long>(generator()));
    return kTemporaryMark + text;
}

std::unique_ptr<TemporaryFile> createTemporaryBeside(const fs::path &target)
{
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        fs::path candidate = target;
        candidate += temporarySuffix();
        // "x": only a new file, so a name already in use is never truncated.
        if (std::FILE *file = std::fopen(candidate.string().c_str(), "wbx"))
            return std::make_unique<TemporaryFile>(file, std::move(candidate));
        std::error_code error;
        if (!fs::exists(candidate, error))
            return nullptr; // not a name in use: the folder cannot be written
    }
    return nullptr;
}

bool allDigits(std::string_view text, std::size_t from, std::size_t to)
{
    return from < to && std::all_of(text.begin() + from, text.begin() + to, [](char c) {
               return std::isdigit(static_cast<unsigned char>(c));
           });
}

// Whether a name in the target's folder is a temporary that an earlier save of the target left
// behind: "NAME.tmpN" of older versions, or "NAME.tmp-PID-RANDOM" of a process that has ended.
bool isStaleTemporary(std::string_view name, std::string_view target)
{
    if (name.size() <= target.size() + kTemporaryMark.size() || !name.starts_with(target)
        || name.substr(target.size(), kTemporaryMark.size()) != kTemporaryMark)
        return false;
    const std::size_t from = target.size() + kTemporaryMark.size();
    if (allDigits(name, from, name.size()))
        return true;
    const std::size_t dash = name.find('-', from + 1);
    if (name[from] != '-' || dash == std::string_view::npos || !allDigits(name, from + 1, dash)
        || name.size() - dash - 1 != 16)
        return false;
#ifndef _WIN32
    // A save in progress, here or in another process, keeps its temporary. (Windows refuses to
    // remove a file that is still open, which protects them there.)
    const std::string pidText(name.substr(from + 1, dash - from - 1));
    const long long pid = pidText.size() <= 10 ? std::strtoll(pidText.c_str(), nullptr, 10) : -1;
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max() || pid == processId()
        || ::kill(pid_t(pid), 0) == 0 || errno == EPERM)
        return false;
#endif
    return true;
}

void removeStaleTemporaries(const fs::path &target)
{
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    const std::string targetName = target.filename().string();
    std::error_code error;
    std::vector<fs::path> stale;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        std::error_code typeError;
        if (isStaleTemporary(name, targetName) && it->is_regular_file(typeError)
            && !it->is_symlink(typeError))
            stale.push_back(it->path());
    }
    for (const fs::path &file : stale)
        fs::remove(file, error);
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
    // The link stays a link: the file it finally names is replaced, in that file's own folder.
    const std::optional<fs::path> target = finalTarget(path);
    if (!target)
        return false;
    std::error_code error;
    const fs::file_status status = fs::symlink_status(*target, error);
    const bool exists = fs::exists(status);
    // A rename would put a plain file in place of a pipe, a device or a folder.
    if (exists ? !fs::is_regular_file(status) : status.type() != fs::file_type::not_found)
        return false;
    if (exists && isReadOnly(*target, status))
        return false;

    std::unique_ptr<TemporaryFile> temporary = createTemporaryBeside(*target);
    if (!temporary)
        return false;
    if (exists && !copyOwnership(*temporary, *target))
        return false;
    if (std::fwrite(content.data(), 1, content.size(), temporary->file()) != content.size()
        || !flushToDisk(temporary->file()) || !temporary->close())
        return false;
    fs::rename(temporary->path(), *target, error);
    if (error)
        return false;
    temporary->keep();
    syncFolder(*target);
    removeStaleTemporaries(*target);
    return true;
}

} // namespace relaybox
