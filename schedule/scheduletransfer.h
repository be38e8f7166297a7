#pragma once

#include <string>
#include <vector>

#include "platform/hostclock.h"
#include "schedule/scheduleentry.h"

namespace relaybox {

// Commits the editor tables of banks 0 to bankCount - 1 and returns the Schedule clear and
// Schedule entry frames for every pending change, in the order they are to be sent: power-on
// clears, power-on entries, power-off clears, power-off entries. Sent entries are stamped with
// `now` and stay disabled in the committed tables until the switch confirms them. Afterwards
// nothing is pending and the editor tables equal the committed ones, as after a refresh.
// The caller holds the state's lock and appends the frames to the Transfer queue.
std::vector<std::string> returnToTransfer(ScheduleTables &tables, int bankCount,
                                          const LocalTime &now);

// The kind letter of a Schedule entry command: T once ("After", "At"), D daily, W weekly.
char scheduleLetter(int mode);

} // namespace relaybox
