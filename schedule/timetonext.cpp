#include "timetonext.h"

namespace relaybox {
namespace {

// The switch is never told less than this many seconds.
constexpr int kShortestLeadSeconds = 6;

bool earlierInDay(int hour, int minute, int otherHour, int otherMinute)
{
    return hour < otherHour || (hour == otherHour && minute < otherMinute);
}

int daysAhead(const ScheduleEntry &entry, const LocalTime &now)
{
    if (entry.mode != ModeEveryWeek || entry.day == 0)
        return 0;
    // A weekly time already past today falls on the same weekday next week.
    const int passed = earlierInDay(entry.hour, entry.minute, now.hour, now.minute) ? 1 : 0;
    return ((entry.day - now.weekday - passed) % 7 + 7) % 7;
}

// From now forward to hour:minute, at most one day ahead; the times differ.
TimeLeft forwardWithinDay(int hour, int minute, const LocalTime &now)
{
    const int h = now.hour;
    const int m = now.minute;
    if (hour > h)
        return minute >= m ? TimeLeft { hour - h, minute - m }
                           : TimeLeft { hour - h - 1, 60 - (m - minute) };
    if (hour == h)
        return minute > m ? TimeLeft { 0, minute - m } : TimeLeft { 23, 60 - (m - minute) };
    return minute >= m ? TimeLeft { 24 - (h - hour), minute - m }
                       : TimeLeft { 23 - (h - hour), 60 - (m - minute) };
}

} // namespace

TimeLeft timeToNext(const ScheduleEntry &entry, TimeToNextVariant variant, const LocalTime &now)
{
    if (entry.mode == ModeAfter) {
        if (entry.hour == 0 && entry.minute == 0)
            return { 0, 0, kShortestLeadSeconds };
        return { entry.hour, entry.minute, 0 };
    }

    const int days = daysAhead(entry, now);
    if (entry.hour == now.hour && entry.minute == now.minute) {
        // The seconds already gone of this minute are not taken off here.
        if (variant == TimeToNextVariant::Transfer && days == 0)
            return { 0, 0, kShortestLeadSeconds };
        return { 24 * days, 0, 0 };
    }

    TimeLeft left = forwardWithinDay(entry.hour, entry.minute, now);
    left.hours += 24 * days;
    if (variant == TimeToNextVariant::Probe)
        return left;

    if (now.second > 0) {
        left.seconds = 60 - now.second;
        if (left.minutes == 0) {
            left.minutes = 59;
            --left.hours;
        } else {
            --left.minutes;
        }
    }
    if (left.hours == 0 && left.minutes == 0 && left.seconds <= kShortestLeadSeconds)
        left.seconds = kShortestLeadSeconds;
    return left;
}

TimeLeft timeToNext(const ScheduleEntry &entry, TimeToNextVariant variant, const HostClock &clock)
{
    return timeToNext(entry, variant, clock.now());
}

} // namespace relaybox
