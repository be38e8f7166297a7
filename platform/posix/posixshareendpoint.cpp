#include "platform/shareendpoint.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace relaybox {

namespace {

// $XDG_RUNTIME_DIR/relaybox: the runtime folder is the user's own (0700) and emptied at logout.
std::optional<std::string> shareFolder()
{
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || runtime[0] != '/')
        return std::nullopt;
    return std::string(runtime) + "/relaybox";
}

} // namespace

std::optional<std::string> shareEndpointPath(const std::string &portPath)
{
    const auto folder = shareFolder();
    struct stat info
    {
    };
    if (!folder || ::stat(portPath.c_str(), &info) != 0 || !S_ISCHR(info.st_mode))
        return std::nullopt;
    return *folder + "/port-" + std::to_string(major(info.st_rdev)) + "-"
        + std::to_string(minor(info.st_rdev)) + ".sock";
}

bool prepareShareFolder(std::string &error)
{
    const auto folder = shareFolder();
    if (!folder) {
        error = "XDG_RUNTIME_DIR is not set";
        return false;
    }
    if (::mkdir(folder->c_str(), 0700) != 0 && errno != EEXIST) {
        error = *folder + ": " + std::strerror(errno);
        return false;
    }
    struct stat info
    {
    };
    if (::lstat(folder->c_str(), &info) != 0 || !S_ISDIR(info.st_mode)
        || info.st_uid != ::getuid()) {
        error = *folder + " is not a folder of this user's";
        return false;
    }
    if ((info.st_mode & 0077) != 0 && ::chmod(folder->c_str(), 0700) != 0) {
        error = *folder + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::optional<ShareAccess> shareAccess(const std::string &path)
{
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode))
        return std::nullopt;
    return ShareAccess { "unix:" + path, {} };
}

std::string thisUserName()
{
    passwd entry {};
    passwd *found = nullptr;
    char buffer[1024];
    if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) != 0 || !found)
        return {};
    return found->pw_name;
}

} // namespace relaybox
