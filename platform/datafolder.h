#pragma once

#include <filesystem>
#include <string_view>

// Where define.ini and the ports/ folder live. One that is beside the program is always used;
// otherwise they go beside the program while its folder is writable (a build tree), else into
// the operator's own configuration folder (an installed copy in /usr/bin, where an operator
// cannot create files). Window-free, so that every program of the project applies the same rule.

namespace relaybox {

inline constexpr std::string_view kSettingsFileName = "define.ini";
inline constexpr std::string_view kPortsFolderName = "ports";

// The configuration folder's last two names; the manager also takes them as its Qt organization
// and application names.
inline constexpr const char *kOrganizationFolderName = "kestrane";
inline constexpr const char *kApplicationFolderName = "relaybox";

// programFolder when the current user may write to it. Otherwise userConfigFolder(), created
// when missing; programFolder again if no configuration folder is known.
std::filesystem::path dataFolder(const std::filesystem::path &programFolder);

// programFolder/name when that exists (even where it cannot be written: an administrator's
// define.ini beside an installed copy); otherwise dataFolder(programFolder)/name.
std::filesystem::path dataPath(const std::filesystem::path &programFolder, std::string_view name);

// $XDG_CONFIG_HOME/kestrane/relaybox, or $HOME/.config/kestrane/relaybox (relative values are
// ignored, as the XDG rules ask); %APPDATA%\kestrane\relaybox on Windows. Empty when neither is
// known.
std::filesystem::path userConfigFolder();

} // namespace relaybox
