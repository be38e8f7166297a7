#include "scheduleentry.h"

#include <algorithm>

namespace relaybox {

std::string appliedDateText(const LocalTime &time)
{
    return std::to_string(time.year) + '/' + std::to_string(time.month) + '/'
        + std::to_string(time.day);
}

void ScheduleTables::clearBank(int bankIndex)
{
    if (!isBankIndex(bankIndex))
        return;
    for (ScheduleTable *table : { &committedOn, &committedOff, &editorOn, &editorOff })
        (*table)[bankIndex] = ScheduleBank {};
}

void ScheduleTables::clearAll(int bankCount)
{
    for (int bank = 0; bank < std::min(bankCount, kScheduleBanks); ++bank)
        clearBank(bank);
}

} // namespace relaybox
