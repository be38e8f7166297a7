#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "link/switchcommand.h"
#include "service/switchstate.h"

// What became of one switching command.

namespace relaybox::service {

using relaybox::describeNotFollowed;
using relaybox::PortRef;
using relaybox::SwitchCommand;

enum class Outcome {
    Confirmed, // the switch's status shows every port in the new state
    NotConfirmed, // sent, but the status did not show it within the time
    LinkDown, // the line is down: nothing sent
    Busy, // the requests ahead took the whole time: nothing sent
    NoSuchBank, // beyond the chain: nothing sent
};

struct CommandResult
{
    Outcome outcome = Outcome::NotConfirmed;
    std::vector<PortRef> notFollowed; // ports whose letters stayed wrong
    std::vector<int> banks; // the banks it covered, as the switch's status counted them
    std::chrono::milliseconds took {}; // from the request's arrival to its answer
    std::string error; // one line a person can act on, unless confirmed

    bool confirmed() const { return outcome == Outcome::Confirmed; }
};

} // namespace relaybox::service
