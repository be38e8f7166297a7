#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "cli/switchlink.h"
#include "link/switchcommand.h"

// Switching a port, a bank or every bank, confirmed by the switch's own status: send the frame,
// then poll until the letters show it or the time is up.

namespace relaybox::cli {

struct SwitchOutcome
{
    bool confirmed = false;
    std::vector<PortRef> notFollowed; // ports whose letter stayed wrong
    std::vector<int> banks; // the banks the request covered, as the switch's status counted them
    std::string why; // when not confirmed: one line naming what did not follow
    std::chrono::milliseconds took {};
};

// bank 0 = every bank (port 0), port 0 = the whole bank.
SwitchOutcome switchConfirmed(SwitchLink &link, bool on, int bank, int port,
                              Clock::time_point deadline);

} // namespace relaybox::cli
