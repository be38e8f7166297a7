#include "platform/portqueue.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace relaybox {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Writable by every user (mode 1777) and emptied at boot.
const std::string kLockFolder = "/run/lock";
// How often a waiting program looks whether the programs before it have left.
constexpr auto kLookInterval = 10ms;

// Every name of one device (/dev/ttyUSB0, a link in /dev/serial/by-id) shares one queue.
std::optional<std::string> queuePrefix(const std::string &path)
{
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) != 0 || !S_ISCHR(info.st_mode))
        return std::nullopt;
    return "relaybox-" + std::to_string(major(info.st_rdev)) + "-"
        + std::to_string(minor(info.st_rdev)) + ".";
}

// The system-wide monotonic clock in 20 digits, so that names sort in arrival order; then the pid.
std::string arrivalStamp()
{
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    char text[48];
    std::snprintf(text, sizeof text, "%020lld.%ld",
                  static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec,
                  static_cast<long>(::getpid()));
    return text;
}

// A waiting program holds the lock of its file for as long as it lives.
bool isLive(const std::string &file)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

class EveryTurnAtOnce final : public PortQueue
{
public:
    bool waitForTurn(std::chrono::milliseconds) override { return true; }
};

class LockFolderQueue final : public PortQueue
{
public:
    LockFolderQueue(std::string prefix, std::string name, int fd)
        : m_prefix(std::move(prefix))
        , m_name(std::move(name))
        , m_fd(fd)
    { }

    ~LockFolderQueue() override
    {
        // Gone from the folder before the lock is released, so a file without its lock is always
        // one that was left behind.
        ::unlink((kLockFolder + "/" + m_name).c_str());
        ::close(m_fd);
    }

    LockFolderQueue(const LockFolderQueue &) = delete;
    LockFolderQueue &operator=(const LockFolderQueue &) = delete;

    bool waitForTurn(std::chrono::milliseconds wait) override
    {
        const auto deadline = Clock::now() + wait;
        while (!m_myTurn && !(m_myTurn = nobodyBefore())) {
            const auto now = Clock::now();
            if (now >= deadline)
                return false;
            std::this_thread::sleep_for(std::min<Clock::duration>(kLookInterval, deadline - now));
        }
        return true;
    }

    std::optional<PortHolder> holderAhead() const override
    {
        const auto file = liveBefore(true);
        if (!file)
            return std::nullopt;
        // "4242 relaybox\n", as joinPortQueue writes it.
        std::ifstream in(*file);
        PortHolder holder;
        if (!(in >> holder.pid) || holder.pid <= 0)
            return std::nullopt;
        in >> holder.program;
        holder.program.resize(std::min<std::size_t>(holder.program.size(), kMaxProgramName));
        return holder;
    }

private:
    static constexpr std::size_t kMaxProgramName = 64;

    static std::string file(const std::string &name) { return kLockFolder + "/" + name; }

    bool nobodyBefore() const { return !liveBefore(false); }

    // A live file ahead of this program's; the earliest one when asked, otherwise any.
    std::optional<std::string> liveBefore(bool earliest) const
    {
        DIR *folder = ::opendir(kLockFolder.c_str());
        if (!folder)
            return std::nullopt;
        std::optional<std::string> first;
        while (const dirent *entry = ::readdir(folder)) {
            const std::string name = entry->d_name;
            if (name.compare(0, m_prefix.size(), m_prefix) != 0 || name >= m_name
                || (first && file(name) >= *first))
                continue;
            if (isLive(file(name))) {
                first = file(name);
                if (!earliest)
                    break;
                continue;
            }
            // Left by a program that was killed; the folder's sticky bit may keep it there.
            ::unlink(file(name).c_str());
        }
        ::closedir(folder);
        return first;
    }

    std::string m_prefix;
    std::string m_name;
    int m_fd;
    bool m_myTurn = false;
};

} // namespace

std::unique_ptr<PortQueue> joinPortQueue(const std::string &path, const std::string &program)
{
    const auto prefix = queuePrefix(path);
    if (!prefix)
        return std::make_unique<EveryTurnAtOnce>();
    // Made and locked under a name outside the queue, then renamed into it: a file in the queue
    // is locked from its first moment.
    const std::string draft = kLockFolder + "/.relaybox-joining." + arrivalStamp();
    const int fd = ::open(draft.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
        return std::make_unique<EveryTurnAtOnce>();
    ::fchmod(fd, 0644); // whatever the umask: other users test its lock
    const std::string name = *prefix + arrivalStamp();
    const std::string who = std::to_string(::getpid()) + " " + program + "\n";
    if (::flock(fd, LOCK_EX) != 0 || ::write(fd, who.data(), who.size()) < 0
        || ::rename(draft.c_str(), (kLockFolder + "/" + name).c_str()) != 0) {
        ::unlink(draft.c_str());
        ::close(fd);
        return std::make_unique<EveryTurnAtOnce>();
    }
    return std::make_unique<LockFolderQueue>(*prefix, name, fd);
}

std::optional<PortHolder> findPortHolder(const std::string &path)
{
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    // "1: FLOCK  ADVISORY  WRITE 4242 00:1a:5 0 EOF"; the lines of waiting processes carry "->".
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream words(line);
        std::string number, kind, mode, access, where;
        long pid = 0;
        if (!(words >> number >> kind >> mode >> access >> pid >> where) || pid <= 0)
            continue;
        unsigned deviceMajor = 0, deviceMinor = 0;
        unsigned long long inode = 0;
        if (std::sscanf(where.c_str(), "%x:%x:%llu", &deviceMajor, &deviceMinor, &inode) != 3
            || inode != info.st_ino || makedev(deviceMajor, deviceMinor) != info.st_dev)
            continue;
        PortHolder holder { pid, {} };
        std::ifstream name("/proc/" + std::to_string(pid) + "/comm");
        std::getline(name, holder.program);
        return holder;
    }
    return std::nullopt;
}

} // namespace relaybox
