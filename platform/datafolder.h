#pragma once

#include <filesystem>

// Where define.ini and the ports/ folder live: beside the programs while their folder is
// writable (a build tree), otherwise in the operator's own configuration folder (an installed
// copy in /usr/bin, where an operator cannot create files).

namespace relaybox {

// The configuration folder's last two names; the manager also takes them as its Qt organization
// and application names.
inline constexpr const char *kOrganizationFolderName = "kestrane";
inline constexpr const char *kApplicationFolderName = "relaybox";

// programFolder when the current user may write to it. Otherwise userConfigFolder(), created
// when missing; programFolder again if no configuration folder is known.
std::filesystem::path dataFolder(const std::filesystem::path &programFolder);

// $XDG_CONFIG_HOME/kestrane/relaybox, or $HOME/.config/kestrane/relaybox (relative values are
// ignored, as the XDG rules ask); %APPDATA%\kestrane\relaybox on Windows. Empty when neither is
// known.
std::filesystem::path userConfigFolder();

} // namespace relaybox
