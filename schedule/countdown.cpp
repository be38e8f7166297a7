#include "countdown.h"

#include <cstdio>

namespace relaybox {
namespace {

const ScheduleEntry &shownEntry(const ScheduleBank &bank, int portIndex)
{
    const ScheduleEntry &first = bank[0];
    if (first.scope == AllBanksScope || first.scope == BankScope)
        return first;
    return bank[portIndex];
}

// Hours and minutes left, one minute less when the entry's second has already passed in the
// current minute. Repeating timers wrap to their period instead of going negative.
TimeLeft countdownOf(const ScheduleEntry &entry, const LocalTime &now)
{
    TimeLeft left = entry.mode == ModeAfter ? delayRemaining(entry, now)
                                            : timeToNext(entry, TimeToNextVariant::Probe, now);
    left.seconds = 0;
    if (entry.appliedSecond < now.second) {
        if (--left.minutes < 0) {
            left.minutes = 59;
            if (--left.hours < 0) {
                if (entry.mode == ModeEveryDay)
                    left.hours = 23;
                else if (entry.mode == ModeEveryWeek)
                    left.hours = 167;
            }
        }
    }
    return left;
}

bool sooner(const TimeLeft &a, const TimeLeft &b)
{
    return a.hours < b.hours || (a.hours == b.hours && a.minutes < b.minutes);
}

} // namespace

std::string countdownText(int hours, int minutes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%2d:%2d", hours, minutes);
    return text;
}

std::string PortCountdown::text() const
{
    switch (state) {
    case State::Running:
        return countdownText(hours, minutes);
    case State::Expired:
        return countdownText(0, 0);
    default:
        return {};
    }
}

TimeLeft delayRemaining(const ScheduleEntry &entry, const LocalTime &now)
{
    int hour = now.hour;
    int weekday = now.weekday;

    int elapsedMinutes;
    if (entry.appliedMinute > now.minute) {
        elapsedMinutes = 60 - (entry.appliedMinute - now.minute);
        --hour;
    } else {
        elapsedMinutes = now.minute - entry.appliedMinute;
    }
    int elapsedHours;
    if (entry.appliedHour > hour) {
        elapsedHours = 24 - (entry.appliedHour - hour);
        --weekday;
    } else {
        elapsedHours = hour - entry.appliedHour;
    }
    const int elapsedDays = entry.appliedWeekday > weekday ? 7 - (entry.appliedWeekday - weekday)
                                                           : weekday - entry.appliedWeekday;

    TimeLeft left;
    left.hours = entry.hour - (24 * elapsedDays + elapsedHours);
    if (entry.minute >= elapsedMinutes) {
        left.minutes = entry.minute - elapsedMinutes;
    } else {
        left.minutes = 60 - (elapsedMinutes - entry.minute);
        --left.hours;
    }
    return left;
}

PortCountdown portCountdown(const ScheduleBank &committedOn, const ScheduleBank &committedOff,
                            int portIndex, const LocalTime &now)
{
    if (portIndex < 0 || portIndex >= kPortsPerBank)
        return {};
    if (committedOn[portIndex].invalid)
        return { PortCountdown::State::Flagged };

    const ScheduleEntry &on = shownEntry(committedOn, portIndex);
    const ScheduleEntry &off = shownEntry(committedOff, portIndex);
    if (!on.enabled && !off.enabled)
        return { PortCountdown::State::Idle };

    TimeLeft chosen;
    if (on.enabled && off.enabled) {
        const TimeLeft onLeft = countdownOf(on, now);
        const TimeLeft offLeft = countdownOf(off, now);
        // Equal times show the power-off timer.
        chosen = sooner(onLeft, offLeft) ? onLeft : offLeft;
    } else {
        chosen = countdownOf(on.enabled ? on : off, now);
    }

    const bool expired = chosen.hours < 0 || (chosen.hours < 1 && chosen.minutes < 1);
    if (expired)
        return { PortCountdown::State::Expired };
    return { PortCountdown::State::Running, chosen.hours, chosen.minutes };
}

} // namespace relaybox
