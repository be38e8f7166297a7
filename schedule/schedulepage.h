#pragma once

#include <array>
#include <string_view>

#include "platform/hostclock.h"
#include "schedule/scheduleentry.h"

namespace relaybox {

// What one row of a Set Timer page holds when the page is collected into an editor table.
struct RowSetting
{
    bool ticked = false;
    bool changed = false; // the operator touched the row's Enable box since the page was filled
    int mode = ModeAfter;
    int day = 0;
    int hour = 0;
    int minute = 0;

    friend bool operator==(const RowSetting &, const RowSetting &) = default;
};

inline constexpr int kRowsPerPage = 10;
inline constexpr int kAllBanksRow = 0;
inline constexpr int kBankRow = 1;
inline constexpr int kFirstPortRow = 2;

// The all-banks row, the bank row, then the rows of ports 1 to 8.
using PageSettings = std::array<RowSetting, kRowsPerPage>;

// Writes the changed rows of one page into the entries of shownBank: first removals (the
// all-banks row, else the bank row, else each unticked port row), then settings in the same
// order. Bank-wide and all-banks settings and their removals live in the bank's port-1 entry.
void collectPage(ScheduleTable &table, int bankCount, int shownBank, const PageSettings &rows);

// Clear All: every enabled entry of banks 0 to bankCount - 1 is disabled and marked pending, so
// that the next transfer clears it on the switch.
void markEnabledForClearing(ScheduleTable &table, int bankCount);

// Two rows' timers would fire at the same hour and minute from now.
bool sameTimeLeft(const RowSetting &a, const RowSetting &b, const LocalTime &now);

// The hour and minute fields. Empty text is allowed while typing; text that is not a number
// from 0 to maximum is replaced by the maximum. `kept` is a value beyond the maximum that the
// program itself put into the field (a long delay the switch reported); it stays acceptable.
bool acceptableWhileTyping(std::string_view text, int maximum, int kept = -1);
bool acceptableOnLeaving(std::string_view text, int maximum, int kept = -1);
// The value a field stands for when collected: its number, or the maximum it would be reset to.
int fieldValue(std::string_view text, int maximum, int kept = -1);

} // namespace relaybox
