#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "schedule/scheduleentry.h"

// The schedule file (".pwr"): one record of nine numbers, each followed by a blank, per entry:
// table (0 power-on, 1 power-off), bank index, port index, enabled, invalid, mode, day, hour,
// minute. Power-on records come first; there is no header, line break or end marker.

namespace relaybox {

// A file written by the program for 16 banks is about 5 KB; anything this large is not one.
inline constexpr std::size_t kMaxScheduleFileBytes = 1024 * 1024;

// The records of banks 0 to bankCount - 1 of the two editor tables. Each record is the timer the
// port has: a whole-bank or all-banks timer is written into the record of every port it sets.
std::string scheduleFileText(const ScheduleTable &editorOn, const ScheduleTable &editorOff,
                             int bankCount);

struct ScheduleLoadResult
{
    enum class End {
        Complete, // the text ended after a whole record
        CutShort, // the text ended inside a record, which was not applied
        Malformed, // a character that is not part of a number, or a number out of int range
    };

    End end = End::Complete;
    int applied = 0;
    // Records for banks not connected, with a bad bank or port index, or with values the editor
    // cannot hold (an enabled "Every week" timer without a day among them).
    int skipped = 0;

    friend bool operator==(const ScheduleLoadResult &, const ScheduleLoadResult &) = default;
};

// Applies the records of a schedule file to the editor tables. A record that cannot be applied
// is skipped and loading reads on; loading stops at the first record that is cut short or
// malformed, and the records before it stay applied.
// Only the enabled and invalid marks, mode, day, hour and minute are loaded, each record as the
// timer of its port. An enabled record is marked pending so that the next transfer sends it; so
// is a disabled one over an enabled entry, which the transfer then clears. A whole-bank or
// all-banks timer the entry held is cleared before the ports' own timers are sent.
ScheduleLoadResult loadScheduleText(std::string_view text, ScheduleTable &editorOn,
                                    ScheduleTable &editorOff, int bankCount);

// The whole file, or nothing when it cannot be read or exceeds kMaxScheduleFileBytes.
std::optional<std::string> readScheduleFile(const std::filesystem::path &path);

// Writes the text through a temporary file, so that a failed save keeps the old file.
[[nodiscard]] bool saveScheduleFile(const std::filesystem::path &path, std::string_view text);

} // namespace relaybox
