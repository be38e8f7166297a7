#pragma once

#include "platform/hostclock.h"
#include "schedule/scheduleentry.h"

namespace relaybox {

// Hours, minutes and seconds until a timer next fires.
struct TimeLeft
{
    int hours = 0;
    int minutes = 0;
    int seconds = 0;

    friend bool operator==(const TimeLeft &, const TimeLeft &) = default;
};

// Transfer: the time a Schedule entry command carries, never less than 6 seconds.
// Probe: hours and minutes for the countdowns and the editor's identical-times check.
enum class TimeToNextVariant { Transfer, Probe };

// Reads only mode, day, hour and minute of the entry.
TimeLeft timeToNext(const ScheduleEntry &entry, TimeToNextVariant variant, const LocalTime &now);
TimeLeft timeToNext(const ScheduleEntry &entry, TimeToNextVariant variant, const HostClock &clock);

} // namespace relaybox
