#include "frames.h"

#include <cstdio>

namespace relaybox::frames {
namespace {

template<typename... Args> std::string format(const char *pattern, Args... args)
{
    char text[64];
    const int length = std::snprintf(text, sizeof text, pattern, args...);
    return std::string(
        text, static_cast<std::size_t>(std::max(0, std::min<int>(length, sizeof text - 1))));
}

} // namespace

std::string identify()
{
    return "/uni\\";
}

std::string statusPoll()
{
    return "/C\\";
}

std::string versionQuery()
{
    return "/VER\\";
}

std::string restoreStatus(bool restore)
{
    return restore ? "/EN001\\" : "/DS001\\";
}

std::string portSwitch(bool on, int bank, int port)
{
    return format("/%c%02d%01d\\", on ? 'O' : 'F', bank, port);
}

std::string bankSwitch(bool on, int bank)
{
    return format("/%c%02d0\\", on ? 'O' : 'F', bank);
}

std::string allBanksSwitch(bool on)
{
    return on ? "/O000\\" : "/F000\\";
}

std::string scheduleClear(int bank, int port, int selector)
{
    return format("/Q%02d%01d%01d\\", bank, port, selector);
}

std::string scheduleEntry(char letter, int bank, int port, int selector, int hours, int minutes,
                          int seconds)
{
    return format("/%c%02d%01d%01d %03d%02d%02d\\", letter, bank, port, selector, hours, minutes,
                  seconds);
}

std::string clockSet(const LocalTime &time)
{
    // The switch takes the century as the fixed text "20".
    return format("/SETTIME20%02d-%02d-%02d %02d:%02d:%02d\\", time.year % 100, time.month,
                  time.day, time.hour, time.minute, time.second);
}

std::string upgradeStart()
{
    return "/UPGRADE\\";
}

} // namespace relaybox::frames
