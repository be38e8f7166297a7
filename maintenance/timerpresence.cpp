#include "timerpresence.h"

#include <algorithm>

namespace relaybox {

bool timersExist(const ScheduleTables &tables, int bankCount)
{
    for (int bank = 0; bank < std::min(bankCount, kScheduleBanks); ++bank) {
        for (int port = 0; port < kPortsPerBank; ++port) {
            if (tables.committedOn[bank][port].enabled || tables.committedOff[bank][port].enabled)
                return true;
        }
    }
    return false;
}

} // namespace relaybox
