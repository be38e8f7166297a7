#pragma once

#include <string>

#include "platform/hostclock.h"
#include "schedule/scheduleentry.h"
#include "schedule/timetonext.h"

namespace relaybox {

// What one port's lamp and countdown label show on a flash tick, from the committed timers.
struct PortCountdown
{
    enum class State {
        Flagged, // the switch flags the port's timer: lamp and label stay as drawn
        Idle, // no enabled timer: steady lamps, empty label
        Running, // alarm lamp blinks, label shows hours:minutes
        Expired, // alarm lamp blinks, label blinks " 0: 0"
    };

    State state = State::Idle;
    int hours = 0;
    int minutes = 0;

    // The label text: empty when Flagged or Idle, " 0: 0" when Expired.
    std::string text() const;

    friend bool operator==(const PortCountdown &, const PortCountdown &) = default;
};

// "%2d:%2d": one hour five minutes reads " 1: 5".
std::string countdownText(int hours, int minutes);

// Time left of an "After" entry: its delay minus what has passed since it was applied, the
// elapsed time taken modulo one week. Seconds are not looked at.
TimeLeft delayRemaining(const ScheduleEntry &entry, const LocalTime &now);

// The countdown of port portIndex (0 to 7) of one bank, from that bank's committed power-on and
// power-off entries. A bank-wide or all-banks timer in port 1's entry stands for every port.
PortCountdown portCountdown(const ScheduleBank &committedOn, const ScheduleBank &committedOff,
                            int portIndex, const LocalTime &now);

} // namespace relaybox
