#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/hostclock.h"

// One power-on or power-off timer of one port, and the four tables that hold them.

namespace relaybox {

inline constexpr int kScheduleBanks = 16;
inline constexpr int kPortsPerBank = 8;

// What an entry stands for. Values other than PortScope occur only in a bank's port-1 entry,
// which doubles as the holder of bank-wide and all-banks settings.
enum Scope : std::int32_t {
    PortScope = 0,
    AllBanksScope = 1,
    BankScope = 2,
    ClearAllBanks = 3,
    ClearBank = 4,
    ClearAllBanksThenPort = 5,
    ClearBankThenPort = 6,
};

enum ScheduleMode : std::int32_t {
    ModeAfter = 0, // once, after a delay of hour:minute
    ModeAt = 1, // once, at a time of day
    ModeEveryDay = 2,
    ModeEveryWeek = 3,
};

struct ScheduleEntry
{
    std::string appliedDate; // "2007/10/2"; empty when never applied
    std::uint8_t pending = 0; // changed in the editor, still to be sent or cleared
    std::uint8_t enabled = 0;
    std::uint8_t invalid = 0; // the switch flags this port's timer
    std::int32_t scope = PortScope;
    std::int32_t mode = ModeAfter;
    std::int32_t day = 0; // 0 = none, 1 = Sunday to 7 = Saturday
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    std::int32_t appliedWeekday = 0;
    std::int32_t appliedHour = 0;
    std::int32_t appliedMinute = 0;
    std::int32_t appliedSecond = 0;

    friend bool operator==(const ScheduleEntry &, const ScheduleEntry &) = default;
};

using ScheduleBank = std::array<ScheduleEntry, kPortsPerBank>;
using ScheduleTable = std::array<ScheduleBank, kScheduleBanks>;

// The committed tables hold what the switch confirmed; the editor tables the Set Timer dialog's
// working copy. Every entry starts zeroed through its member initialisers; clang 14 crashes on
// "{}" for these nested arrays, so tables are default-initialised.
struct ScheduleTables
{
    ScheduleTable committedOn;
    ScheduleTable committedOff;
    ScheduleTable editorOn;
    ScheduleTable editorOff;

    // Zeroes the bank's eight entries in all four tables; an index outside the tables does nothing.
    void clearBank(int bankIndex);
    // Zeroes banks 0 to bankCount - 1 in all four tables.
    void clearAll(int bankCount);

    // Whether an entry of banks 0 to bankCount - 1 is enabled in the committed tables: a timer
    // the switch holds, which a clock set could shift.
    bool timersExist(int bankCount) const;

    ScheduleTable &committed(bool powerOn) { return powerOn ? committedOn : committedOff; }
    ScheduleTable &editor(bool powerOn) { return powerOn ? editorOn : editorOff; }
};

// The date as an entry records it: year/month/day without leading zeros.
std::string appliedDateText(const LocalTime &time);

inline bool isBankIndex(int bankIndex)
{
    return bankIndex >= 0 && bankIndex < kScheduleBanks;
}

} // namespace relaybox
