#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/hostports.h"

// Which port relaybox-cli opens: the one it was given, or the one define.ini's ComPort names
// with the manager's own rules (0 = AUTO: the first port of the table where the probe finds the
// switch). Nothing here opens a port except the AUTO search.

namespace relaybox::cli {

struct PortSetting
{
    std::filesystem::path settingsPath; // define.ini, in the manager's data folder
    bool fileFound = false;
    int comPort = 0; // 0 = AUTO; as the manager reads it (out of the table's range: 0)
};

// The folder of this program ("." when the system does not say): define.ini and ports/ are
// found from it by the same rule as the manager and the simulator use (dataPath()).
std::filesystem::path folderOfProgram();

HostPortTable hostPortTable(const std::filesystem::path &programFolder);

// Reads ComPort from define.ini without creating or changing the file.
PortSetting readPortSetting(const std::filesystem::path &programFolder, const HostPortTable &table);

// A name from the table gives its path; a path (or, on Windows, COMn) is taken as it is.
std::string resolvePortName(const std::string &given, const HostPortTable &table);

// Linux: true for the system's consoles (the active ones, /dev/console, /dev/tty and the virtual
// terminals), followed through links; never opened, whoever asks.
bool isSystemConsole(const std::string &path, const std::vector<std::string> &activeConsoles);

// The first port of the table where the probe finds the switch; nullopt when none answers.
std::optional<std::string> searchPorts(const HostPortTable &table);

} // namespace relaybox::cli
