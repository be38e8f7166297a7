#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "service/switchstate.h"

// One switching command for one switch, and what became of it.

namespace relaybox::service {

struct PortRef
{
    int bank = 0;
    int port = 0;
    friend bool operator==(const PortRef &, const PortRef &) = default;
};

struct SwitchCommand
{
    bool on = true;
    int bank = 0; // 1..16; 0 with port 0 = every bank
    int port = 0; // 1..8; 0 = the whole bank

    std::string frame() const; // "/O023\", "/F010\", "/O000\"
    // The ports it covers in a chain of bankCount banks.
    std::vector<PortRef> scope(int bankCount) const;
    // Both name at least one port in common.
    bool overlaps(const SwitchCommand &other) const;
    std::string target() const; // "bank 2 port 3", "bank 2", "all banks"
};

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

// "bank 2 port 4 stays off", "bank 2 ports 3, 5 stay on; bank 3 port 1 stays on".
std::string describeNotFollowed(const std::vector<PortRef> &ports, bool wantedOn);

} // namespace relaybox::service
