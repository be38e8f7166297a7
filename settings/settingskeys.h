#pragma once

#include <string_view>

#include "settings/inifile.h"
#include "settings/settings.h"

// Where the settings live in the settings file and how their values are read and written.

namespace relaybox {

inline constexpr std::string_view kSettingsSection = "Form";

// Written when the settings file is missing: 77 bytes, LF line ends, none after the last line.
// It says Auto=0 although a file without that key connects automatically.
inline constexpr std::string_view kFallbackSettingsContent = "[Form]\n"
                                                             "ComPort=0\n"
                                                             "ChkExist=1\n"
                                                             "Auto=0\n"
                                                             "Prompt=1\n"
                                                             "ComMeg=1\n"
                                                             "SetRTC=1\n"
                                                             "RestoreStatus=1";

// Missing or unreadable keys take their defaults (port 0, every switch on); a port index above
// hostPortCount, negative ones included, becomes 0.
Settings readSettings(const IniFile &file, unsigned hostPortCount);

// Writes "auto", "ComPort", "Prompt", "ComMeg", "SetRTC" and "RestoreStatus" in that order, then
// "Share" when it is on or already in the file.
void writeSettings(IniFile &file, const Settings &settings);

} // namespace relaybox
