#pragma once

#include <filesystem>
#include <string>

#include "settings/settings.h"

// Loads and saves the settings in the settings file, creating the file with its fallback content
// when it is missing. Outcomes are values; the window turns them into messages.

namespace relaybox {

enum class SettingsStatus {
    Ok,
    CannotCreate, // the missing file could not be created; auto-connect off and port 0 forced
    CannotWrite, // the save was refused or failed; the file stays as it was
};

struct SettingsResult
{
    SettingsStatus status = SettingsStatus::Ok;
    std::string path; // the file's full path, for the message

    friend bool operator==(const SettingsResult &, const SettingsResult &) = default;
};

class SettingsFile
{
public:
    // Files larger than this are not settings files: read as empty, never rewritten.
    static constexpr std::size_t kMaxBytes = 1024 * 1024;

    explicit SettingsFile(std::filesystem::path path);

    const std::filesystem::path &path() const { return m_path; }

    // On Ok every field holds the file's value or its default. On CannotCreate only
    // autoConnect and comPort change.
    SettingsResult load(Settings &settings, unsigned hostPortCount) const;

    // Writes the six keys, keeping every other line; on CannotCreate autoConnect and comPort are
    // forced as for load.
    SettingsResult save(Settings &settings) const;

private:
    bool ensureExists() const;
    SettingsResult result(SettingsStatus status) const;

    std::filesystem::path m_path;
};

} // namespace relaybox
