#include "schedulereplies.h"

namespace relaybox {

std::optional<ScheduleTarget> scheduleTarget(int bank, int port)
{
    if (bank < 0 || bank > kScheduleBanks || port < 0 || port > kPortsPerBank)
        return std::nullopt;
    if (port != 0) {
        if (bank == 0)
            return std::nullopt;
        return ScheduleTarget { PortScope, bank - 1, port - 1 };
    }
    if (bank == 0)
        return ScheduleTarget { AllBanksScope, 0, 0 };
    return ScheduleTarget { BankScope, bank - 1, 0 };
}

void applyClearReply(ScheduleTables &tables, int bankCount, ScheduleTarget target, bool powerOn)
{
    ScheduleTable &committed = tables.committed(powerOn);
    ScheduleTable &editor = tables.editor(powerOn);
    if (target.scope == PortScope) {
        for (ScheduleTable *table : { &committed, &editor }) {
            ScheduleEntry &entry = (*table)[target.bankIndex][target.portIndex];
            entry.scope = PortScope;
            entry.enabled = 0;
        }
        return;
    }
    for (ScheduleTable *table : { &committed, &editor }) {
        for (ScheduleEntry &entry : (*table)[target.bankIndex]) {
            entry.enabled = 0;
            entry.scope = PortScope;
        }
    }
    // An all-banks timer that survives in other banks now stands for its bank alone.
    for (int bank = 0; bank < bankCount && bank < kScheduleBanks; ++bank) {
        if (committed[bank][0].scope == AllBanksScope) {
            committed[bank][0].scope = BankScope;
            editor[bank][0].scope = BankScope;
        }
    }
}

void applySetReply(ScheduleTables &tables, ScheduleTarget target, bool powerOn)
{
    for (ScheduleTable *table : { &tables.committed(powerOn), &tables.editor(powerOn) }) {
        ScheduleEntry &entry = (*table)[target.bankIndex][target.portIndex];
        entry.scope = target.scope;
        entry.enabled = 1;
    }
}

void applyEntryReport(ScheduleTables &tables, ScheduleTarget target, bool powerOn,
                      EntryReport report, const LocalTime &now)
{
    ScheduleEntry &entry = tables.committed(powerOn)[target.bankIndex][target.portIndex];
    entry.enabled = 1;
    entry.scope = target.scope;
    entry.mode = report.letter == 'D' ? ModeEveryDay
        : report.letter == 'W'        ? ModeEveryWeek
                                      : ModeAt;
    entry.appliedWeekday = now.weekday;
    entry.appliedDate = appliedDateText(now);
    entry.appliedHour = now.hour;
    entry.appliedMinute = now.minute;

    int hours = report.hours;
    int minutes = report.minutes;
    const int second = report.seconds + now.second;
    if (second >= 60) {
        entry.appliedSecond = second - 60;
        ++minutes;
    } else {
        entry.appliedSecond = second;
    }

    const bool atLeastADay = (minutes >= 60 && hours >= 23) || hours >= 24;
    if (report.letter == 'T' && atLeastADay) {
        // A one-shot timer a day or more away can only be shown as a delay.
        if (minutes >= 60) {
            entry.minute = minutes - 60;
            ++hours;
        } else {
            entry.minute = minutes;
        }
        entry.hour = hours;
        entry.mode = ModeAfter;
        entry.day = 0;
    } else {
        minutes += now.minute;
        if (minutes >= 60) {
            entry.minute = minutes - 60;
            ++hours;
        } else {
            entry.minute = minutes;
        }
        const int hoursLeftToday = 24 - now.hour;
        if (hours < hoursLeftToday) {
            entry.hour = hours + now.hour;
            entry.day = now.weekday;
        } else {
            const int rest = hours - hoursLeftToday;
            entry.hour = rest % 24;
            const int daysAhead = rest / 24 + 1;
            entry.day = (now.weekday + daysAhead) % 7;
            if (entry.day == 0)
                entry.day = 7;
        }
        if (entry.mode == ModeAt || entry.mode == ModeEveryDay)
            entry.day = 0;
    }

    tables.editor(powerOn)[target.bankIndex][target.portIndex] = entry;
}

} // namespace relaybox
