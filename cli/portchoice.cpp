#include "cli/portchoice.h"

#include <cctype>
#include <system_error>

#include "platform/datafolder.h"
#include "platform/hostportdiscovery.h"
#include "platform/programfolder.h"
#include "platform/textfile.h"
#include "settings/inifile.h"
#include "settings/settingskeys.h"

namespace relaybox::cli {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxSettingsBytes = 1024 * 1024;

#ifndef _WIN32
bool isVirtualTerminal(const std::string &name)
{
    if (name == "console" || name == "tty")
        return true;
    if (name.size() <= 3 || name.compare(0, 3, "tty") != 0)
        return false;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i])))
            return false;
    }
    return true;
}
#endif

} // namespace

fs::path folderOfProgram()
{
    const fs::path folder = programFolder();
    return folder.empty() ? fs::path(".") : folder;
}

HostPortTable hostPortTable(const fs::path &programFolder)
{
    return discoverHostPorts(dataPath(programFolder, kPortsFolderName).string());
}

PortSetting readPortSetting(const fs::path &programFolder, const HostPortTable &table)
{
    PortSetting setting;
    setting.settingsPath = dataPath(programFolder, kSettingsFileName);
    const auto content = readTextFile(setting.settingsPath, kMaxSettingsBytes);
    setting.fileFound = content.has_value();
    // A missing file is what the manager would create: ComPort=0.
    if (content)
        setting.comPort = readSettings(IniFile(*content), unsigned(table.count())).comPort;
    return setting;
}

std::string resolvePortName(const std::string &given, const HostPortTable &table)
{
    for (const HostPort &port : table.ports()) {
        if (port.name == given)
            return port.path;
    }
#ifndef _WIN32
    // "ttyUSB0" for a port the table does not hold (it keeps at most 29).
    std::error_code error;
    if (given.find('/') == std::string::npos && fs::exists("/dev/" + given, error))
        return "/dev/" + given;
#endif
    return given;
}

bool isSystemConsole(const std::string &path, const std::vector<std::string> &activeConsoles)
{
#ifdef _WIN32
    (void)path;
    (void)activeConsoles;
    return false;
#else
    std::error_code error;
    const fs::path real = fs::canonical(path, error);
    const std::string name = (error ? fs::path(path) : real).filename().string();
    if (isVirtualTerminal(name))
        return true;
    for (const std::string &console : activeConsoles) {
        if (console == name)
            return true;
    }
    return false;
#endif
}

PortChoice choosePort(const std::optional<std::string> &given, const HostPortTable &table,
                      const PortSetting &setting)
{
    if (given) {
        std::string upper;
        for (const char c : *given)
            upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (upper == table.name(0))
            return { PortChoice::Search, {}, {} };
        return { PortChoice::Path, resolvePortName(*given, table), {} };
    }
    if (!setting.fileFound || !table.isPort(setting.comPort))
        return { PortChoice::NoneGiven, {}, {} };
    return { PortChoice::Path, table.path(setting.comPort),
             " (ComPort=" + std::to_string(setting.comPort) + " in " + setting.settingsPath.string()
                 + ")" };
}

} // namespace relaybox::cli
