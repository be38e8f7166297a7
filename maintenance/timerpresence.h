#pragma once

#include "schedule/scheduleentry.h"

// Whether the switch holds any timer that a clock set could shift.

namespace relaybox {

// True when a power-on or power-off entry of banks 1 to bankCount is enabled in the committed
// tables.
bool timersExist(const ScheduleTables &tables, int bankCount);

} // namespace relaybox
