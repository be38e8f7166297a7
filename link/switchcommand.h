#pragma once

#include <string>
#include <vector>

// One switching command as the switch takes it: a port, a bank or every bank, on or off; the
// ports it covers, and the words for those that did not follow it.

namespace relaybox {

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

// "bank 2 port 4 stays off", "bank 2 ports 3, 5 stay on; bank 3 port 1 stays on".
std::string describeNotFollowed(const std::vector<PortRef> &ports, bool wantedOn);

} // namespace relaybox
