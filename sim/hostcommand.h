#pragma once

#include <optional>
#include <string_view>

#include "sim/civiltime.h"

// One command frame from the host, read strictly: fixed widths, digits where digits belong. The
// switch's own checks against its state (bank count, ranges) come later.

namespace relaybox::sim {

struct HostCommand
{
    enum class Kind {
        Identify, // "/uni\"
        VersionQuery, // "/VER\"
        StatusPoll, // "/C\"
        SwitchOn, // "/O%02d%01d\"
        SwitchOff, // "/F%02d%01d\"
        RestoreOn, // "/EN001\"
        RestoreOff, // "/DS001\"
        ScheduleClear, // "/Q%02d%01d%01d\"
        ScheduleEntry, // "/%c%02d%01d%01d %03d%02d%02d\"
        ClockSet, // "/SETTIME20YY-MM-DD HH:MM:SS\"
        UpgradeStart, // "/UPGRADE\"
    };

    Kind kind = Kind::Identify;
    int bank = 0;
    int port = 0;
    int selector = 0;
    char letter = 0; // T, D or W
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    CivilTime clock;
};

// frame: the whole frame including its "/" and backslash.
std::optional<HostCommand> parseHostCommand(std::string_view frame);

} // namespace relaybox::sim
