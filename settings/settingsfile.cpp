#include "settings/settingsfile.h"

#include "platform/textfile.h"
#include "settings/inifile.h"
#include "settings/settingskeys.h"

namespace relaybox {

SettingsFile::SettingsFile(std::filesystem::path path)
    : m_path(std::move(path))
{ }

SettingsResult SettingsFile::load(Settings &settings, unsigned hostPortCount) const
{
    if (!ensureExists()) {
        settings.autoConnect = false;
        settings.comPort = 0;
        return result(SettingsStatus::CannotCreate);
    }
    // An unreadable file reads as one without keys: every field takes its default.
    const std::string content = readTextFile(m_path, kMaxBytes).value_or(std::string());
    settings = readSettings(IniFile(content), hostPortCount);
    return result(SettingsStatus::Ok);
}

SettingsResult SettingsFile::save(Settings &settings) const
{
    if (!ensureExists()) {
        settings.autoConnect = false;
        settings.comPort = 0;
        return result(SettingsStatus::CannotCreate);
    }
    // Every other line of the file is kept, so a file that cannot be read whole is not rewritten.
    const auto content = readTextFile(m_path, kMaxBytes);
    if (!content)
        return result(SettingsStatus::CannotWrite);
    IniFile file(*content);
    writeSettings(file, settings);
    if (!replaceTextFile(m_path, file.content()))
        return result(SettingsStatus::CannotWrite);
    return result(SettingsStatus::Ok);
}

bool SettingsFile::ensureExists() const
{
    std::error_code error;
    if (std::filesystem::exists(m_path, error))
        return true;
    return replaceTextFile(m_path, kFallbackSettingsContent);
}

SettingsResult SettingsFile::result(SettingsStatus status) const
{
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(m_path, error);
    return { status, (error ? m_path : full).string() };
}

} // namespace relaybox
