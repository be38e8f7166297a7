#include "link/switchcommand.h"

#include <algorithm>

#include "link/frames.h"

namespace relaybox {

namespace {
constexpr int kPortsPerBank = 8;
}

std::string SwitchCommand::frame() const
{
    if (bank == 0)
        return frames::allBanksSwitch(on);
    if (port == 0)
        return frames::bankSwitch(on, bank);
    return frames::portSwitch(on, bank, port);
}

std::vector<PortRef> SwitchCommand::scope(int bankCount) const
{
    std::vector<PortRef> ports;
    const int first = bank == 0 ? 1 : bank;
    const int last = bank == 0 ? bankCount : std::min(bank, bankCount);
    for (int b = first; b <= last; ++b) {
        for (int p = port == 0 ? 1 : port; p <= (port == 0 ? kPortsPerBank : port); ++p)
            ports.push_back({ b, p });
    }
    return ports;
}

bool SwitchCommand::overlaps(const SwitchCommand &other) const
{
    const bool banks = bank == 0 || other.bank == 0 || bank == other.bank;
    const bool ports = port == 0 || other.port == 0 || port == other.port;
    return banks && ports;
}

std::string SwitchCommand::target() const
{
    if (bank == 0)
        return "all banks";
    if (port == 0)
        return "bank " + std::to_string(bank);
    return "bank " + std::to_string(bank) + " port " + std::to_string(port);
}

std::string describeNotFollowed(const std::vector<PortRef> &ports, bool wantedOn)
{
    std::string text;
    std::size_t i = 0;
    while (i < ports.size()) {
        const int bank = ports[i].bank;
        std::string numbers;
        int count = 0;
        for (; i < ports.size() && ports[i].bank == bank; ++i, ++count)
            numbers += (count ? ", " : "") + std::to_string(ports[i].port);
        if (!text.empty())
            text += "; ";
        text += "bank " + std::to_string(bank) + (count > 1 ? " ports " : " port ") + numbers
            + (count > 1 ? " stay " : " stays ") + (wantedOn ? "off" : "on");
    }
    return text;
}

} // namespace relaybox
