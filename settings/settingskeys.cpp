#include "settings/settingskeys.h"

#include <string>

#include "settings/profileinteger.h"

namespace relaybox {

namespace {

std::int32_t readInteger(const IniFile &file, std::string_view key, std::int32_t fallback)
{
    const auto text = file.value(kSettingsSection, key);
    if (!text)
        return fallback;
    return parseProfileInteger(*text).value_or(fallback);
}

bool readSwitch(const IniFile &file, std::string_view key)
{
    return readInteger(file, key, 1) != 0;
}

void writeSwitch(IniFile &file, std::string_view key, bool on)
{
    file.setValue(kSettingsSection, key, on ? "1" : "0");
}

} // namespace

Settings readSettings(const IniFile &file, unsigned hostPortCount)
{
    Settings settings;
    settings.autoConnect = readSwitch(file, "Auto");
    settings.comPort = readInteger(file, "ComPort", 0);
    settings.prompt = readSwitch(file, "Prompt");
    settings.comMeg = readSwitch(file, "ComMeg");
    settings.setRtc = readSwitch(file, "SetRTC");
    settings.restoreStatus = readSwitch(file, "RestoreStatus");
    settings.share = readInteger(file, "Share", 0) != 0;
    // Taken as unsigned so that a negative index is out of range too.
    if (static_cast<unsigned>(settings.comPort) > hostPortCount)
        settings.comPort = 0;
    return settings;
}

void writeSettings(IniFile &file, const Settings &settings)
{
    writeSwitch(file, "auto", settings.autoConnect);
    file.setValue(kSettingsSection, "ComPort", std::to_string(settings.comPort));
    writeSwitch(file, "Prompt", settings.prompt);
    writeSwitch(file, "ComMeg", settings.comMeg);
    writeSwitch(file, "SetRTC", settings.setRtc);
    writeSwitch(file, "RestoreStatus", settings.restoreStatus);
    // Files of operators who never turned sharing on stay as they were.
    if (settings.share || file.value(kSettingsSection, "Share"))
        writeSwitch(file, "Share", settings.share);
}

} // namespace relaybox
