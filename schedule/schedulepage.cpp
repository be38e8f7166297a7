#include "schedulepage.h"

#include <algorithm>
#include <optional>

#include "schedule/timetonext.h"

namespace relaybox {
namespace {

void copyRow(const RowSetting &row, ScheduleEntry &entry)
{
    entry.pending = row.changed ? 1 : 0;
    entry.enabled = row.ticked ? 1 : 0;
    entry.mode = row.mode;
    entry.day = row.day;
    entry.hour = row.hour;
    entry.minute = row.minute;
}

void zeroBanks(ScheduleTable &table, int banks)
{
    for (int bank = 0; bank < banks; ++bank)
        table[bank] = ScheduleBank {};
}

std::optional<int> fieldNumber(std::string_view text)
{
    if (text.empty() || text.size() > 6)
        return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

ScheduleEntry entryOf(const RowSetting &row)
{
    ScheduleEntry entry;
    entry.mode = row.mode;
    entry.day = row.day;
    entry.hour = row.hour;
    entry.minute = row.minute;
    return entry;
}

} // namespace

void collectPage(ScheduleTable &table, int bankCount, int shownBank, const PageSettings &rows)
{
    if (!isBankIndex(shownBank))
        return;
    const int banks = std::clamp(bankCount, 0, kScheduleBanks);
    ScheduleBank &shown = table[shownBank];
    const RowSetting &allBanks = rows[kAllBanksRow];
    const RowSetting &wholeBank = rows[kBankRow];

    if (!allBanks.ticked && allBanks.changed) {
        zeroBanks(table, banks);
        copyRow(allBanks, shown[0]);
        shown[0].scope = ClearAllBanks;
    } else if (!wholeBank.ticked && wholeBank.changed) {
        shown = ScheduleBank {};
        copyRow(wholeBank, shown[0]);
        shown[0].scope = ClearBank;
    } else {
        for (int port = 0; port < kPortsPerBank; ++port) {
            const RowSetting &row = rows[kFirstPortRow + port];
            if (!row.ticked && row.changed)
                copyRow(row, shown[port]);
        }
    }

    if (allBanks.ticked && allBanks.changed) {
        zeroBanks(table, banks);
        copyRow(allBanks, shown[0]);
        shown[0].scope = AllBanksScope;
        // Every bank holds a copy; only bank 1's is sent.
        if (banks > 1) {
            const ScheduleEntry copy = shown[0];
            for (int bank = 0; bank < banks; ++bank) {
                table[bank][0] = copy;
                if (bank != 0)
                    table[bank][0].pending = 0;
            }
        }
    } else if (wholeBank.ticked && wholeBank.changed) {
        shown = ScheduleBank {};
        copyRow(wholeBank, shown[0]);
        shown[0].scope = BankScope;
    } else {
        for (int port = 0; port < kPortsPerBank; ++port) {
            const RowSetting &row = rows[kFirstPortRow + port];
            if (!row.ticked || !row.changed)
                continue;
            ScheduleEntry &entry = shown[port];
            copyRow(row, entry);
            // A port set after its bank or all banks were cleared goes out after that clear.
            if (entry.scope == ClearAllBanks)
                entry.scope = ClearAllBanksThenPort;
            else if (entry.scope == ClearBank)
                entry.scope = ClearBankThenPort;
        }
    }
}

void markEnabledForClearing(ScheduleTable &table, int bankCount)
{
    const int banks = std::clamp(bankCount, 0, kScheduleBanks);
    for (int bank = 0; bank < banks; ++bank) {
        for (ScheduleEntry &entry : table[bank]) {
            if (!entry.enabled)
                continue;
            entry.enabled = 0;
            entry.pending = 1;
            if (entry.scope == AllBanksScope)
                entry.scope = ClearAllBanks;
            else if (entry.scope == BankScope)
                entry.scope = ClearBank;
        }
    }
}

bool sameTimeLeft(const RowSetting &a, const RowSetting &b, const LocalTime &now)
{
    const TimeLeft left = timeToNext(entryOf(a), TimeToNextVariant::Probe, now);
    const TimeLeft right = timeToNext(entryOf(b), TimeToNextVariant::Probe, now);
    return left.hours == right.hours && left.minutes == right.minutes;
}

bool acceptableWhileTyping(std::string_view text, int maximum, int kept)
{
    return text.empty() || acceptableOnLeaving(text, maximum, kept);
}

bool acceptableOnLeaving(std::string_view text, int maximum, int kept)
{
    const auto value = fieldNumber(text);
    return value && (*value <= maximum || *value == kept);
}

int fieldValue(std::string_view text, int maximum, int kept)
{
    return acceptableOnLeaving(text, maximum, kept) ? *fieldNumber(text) : maximum;
}

} // namespace relaybox
