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

bool ScheduleTables::timersExist(int bankCount) const
{
    for (int bank = 0; bank < std::min(bankCount, kScheduleBanks); ++bank) {
        for (int port = 0; port < kPortsPerBank; ++port) {
            if (committedOn[bank][port].enabled || committedOff[bank][port].enabled)
                return true;
        }
    }
    return false;
}

} // namespace relaybox
