#include "platform/datafolder.h"

#include <cstdlib>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <fstream>
#else
#include <pwd.h>
#include <unistd.h>
#endif

namespace relaybox {

namespace {

namespace fs = std::filesystem;

fs::path absoluteVariable(const char *name)
{
    const char *value = std::getenv(name);
    if (!value || !*value)
        return {};
    const fs::path path(value);
    return path.is_absolute() ? path : fs::path();
}

#ifdef _WIN32

fs::path configHome()
{
    return absoluteVariable("APPDATA");
}

// access() on Windows sees only the read-only attribute, not the folder's permissions (Program
// Files): try to create a file there instead.
bool writableFolder(const fs::path &folder)
{
    const fs::path probe = folder / ".relaybox-write-check";
    {
        std::ofstream file(probe);
        if (!file)
            return false;
    }
    std::error_code ignored;
    fs::remove(probe, ignored);
    return true;
}

#else

fs::path homeFolder()
{
    fs::path home = absoluteVariable("HOME");
    if (home.empty()) {
        if (const passwd *entry = getpwuid(getuid()); entry && entry->pw_dir)
            home = entry->pw_dir;
    }
    return home.is_absolute() ? home : fs::path();
}

fs::path configHome()
{
    const fs::path configured = absoluteVariable("XDG_CONFIG_HOME");
    if (!configured.empty())
        return configured;
    const fs::path home = homeFolder();
    return home.empty() ? fs::path() : home / ".config";
}

bool writableFolder(const fs::path &folder)
{
    return access(folder.c_str(), W_OK) == 0;
}

#endif

} // namespace

fs::path userConfigFolder()
{
    const fs::path home = configHome();
    if (home.empty())
        return {};
    return home / kOrganizationFolderName / kApplicationFolderName;
}

fs::path dataFolder(const fs::path &programFolder)
{
    if (writableFolder(programFolder))
        return programFolder;
    const fs::path folder = userConfigFolder();
    if (folder.empty())
        return programFolder;
    // A folder that cannot be made shows up later, when define.ini or a link cannot be created.
    std::error_code ignored;
    fs::create_directories(folder, ignored);
    return folder;
}

fs::path dataPath(const fs::path &programFolder, std::string_view name)
{
    const fs::path beside = programFolder / name;
    std::error_code error;
    // A dangling link counts as there: what it names is the operator's choice.
    if (fs::exists(fs::symlink_status(beside, error)))
        return beside;
    return dataFolder(programFolder) / name;
}

} // namespace relaybox
