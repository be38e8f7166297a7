#pragma once

#include <cstdint>
#include <string>

// A calendar date and time of day without a time zone: the switch's clock and the moments its
// timers act, counted in seconds from 1970-01-01 00:00:00 of that same clock.

namespace relaybox::sim {

struct CivilTime
{
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;

    friend bool operator==(const CivilTime &, const CivilTime &) = default;
};

bool isValid(const CivilTime &time);
std::int64_t toSeconds(const CivilTime &time);
CivilTime fromSeconds(std::int64_t seconds);
std::string formatCivil(const CivilTime &time); // "2026-12-06 21:30:05"

// The host's local time now.
CivilTime hostLocalTime();

} // namespace relaybox::sim
