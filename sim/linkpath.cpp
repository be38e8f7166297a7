#include "sim/linkpath.h"

#include "platform/datafolder.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace relaybox::sim {

namespace {

std::string folderOf(const std::string &path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string readLink(const std::string &path)
{
    char target[PATH_MAX];
    const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
    return length > 0 ? std::string(target, std::size_t(length)) : std::string();
}

} // namespace

bool LinkPath::point(const std::string &target, std::string &error)
{
    remove();
    const std::string folder = folderOf(m_path);
    if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
        error = folder + ": " + std::strerror(errno);
        return false;
    }
    struct stat status
    {
    };
    if (lstat(m_path.c_str(), &status) == 0) {
        if (!S_ISLNK(status.st_mode)) {
            error = m_path + " exists and is not a symbolic link; not replacing it";
            return false;
        }
        unlink(m_path.c_str());
    }
    if (symlink(target.c_str(), m_path.c_str()) != 0) {
        error = m_path + ": " + std::strerror(errno);
        return false;
    }
    m_target = target;
    return true;
}

void LinkPath::remove()
{
    if (m_target.empty())
        return;
    if (readLink(m_path) == m_target)
        unlink(m_path.c_str());
    m_target.clear();
}

std::string LinkPath::defaultPath()
{
    const std::string executable = readLink("/proc/self/exe");
    const std::string folder = executable.empty() ? "." : folderOf(executable);
    return (relaybox::dataPath(folder, relaybox::kPortsFolderName) / "relaybox-sim").string();
}

} // namespace relaybox::sim
