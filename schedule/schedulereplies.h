#pragma once

#include <optional>

#include "link/reply.h"
#include "schedule/scheduleentry.h"

// What the switch's schedule replies (clear, set and entry report) do to the tables.

namespace relaybox {

// The entry a bank/port pair from the wire names: bank 00 with port 0 is all banks, port 0 the
// whole bank, any other port one port.
struct ScheduleTarget
{
    Scope scope = PortScope;
    int bankIndex = 0;
    int portIndex = 0;
};

// Empty when the pair lies outside the tables (bank above 16, port above 8, a port of bank 00).
std::optional<ScheduleTarget> scheduleTarget(int bank, int port);

// Selector digit on the wire: 0 is power-off, anything else power-on.
inline bool isPowerOnSelector(int selector)
{
    return selector != 0;
}

// The switch cleared a timer: one port, a whole bank, or all banks.
void applyClearReply(ScheduleTables &tables, int bankCount, ScheduleTarget target, bool powerOn);

// The switch accepted a Schedule entry command.
void applySetReply(ScheduleTables &tables, ScheduleTarget target, bool powerOn);

// The switch reports a timer that fires in hours:minutes:seconds; it is rebuilt as a committed
// entry relative to the host's clock and copied into the editor table.
void applyEntryReport(ScheduleTables &tables, ScheduleTarget target, bool powerOn,
                      EntryReport report, const LocalTime &now);

} // namespace relaybox
