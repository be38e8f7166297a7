#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/hostports.h"

// Which port relaybox-cli opens: only the one it was told. --port names it (a path, a name from
// the port table, COMn, or "auto" for a search of the table); without --port, define.ini's
// ComPort when it names one port of the table. Nothing here opens a port.

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

struct PortChoice
{
    enum Kind { Path, Search, NoneGiven } kind = NoneGiven;
    std::string path; // Path: what to open
    std::string source; // " (ComPort=3 in ...define.ini)" when the setting chose it
};

// given: --port's value, if any. NoneGiven when neither --port nor ComPort names a port.
PortChoice choosePort(const std::optional<std::string> &given, const HostPortTable &table,
                      const PortSetting &setting);

} // namespace relaybox::cli
