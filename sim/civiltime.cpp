#include "sim/civiltime.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace relaybox::sim {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

bool isLeap(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static constexpr int kDays[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    return month == 2 && isLeap(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date (the era arithmetic of H. Hinnant).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + std::int64_t(doe) - 719468;
}

} // namespace

bool isValid(const CivilTime &t)
{
    return t.year >= 1 && t.year <= 9999 && t.month >= 1 && t.month <= 12 && t.day >= 1
        && t.day <= daysInMonth(t.year, t.month) && t.hour >= 0 && t.hour <= 23 && t.minute >= 0
        && t.minute <= 59 && t.second >= 0 && t.second <= 59;
}

std::int64_t toSeconds(const CivilTime &t)
{
    return daysFromCivil(t.year, unsigned(t.month), unsigned(t.day)) * kSecondsPerDay
        + t.hour * 3600 + t.minute * 60 + t.second;
}

CivilTime fromSeconds(std::int64_t seconds)
{
    std::int64_t days = seconds / kSecondsPerDay;
    std::int64_t rest = seconds % kSecondsPerDay;
    if (rest < 0) {
        rest += kSecondsPerDay;
        --days;
    }
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto doe = unsigned(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = std::int64_t(yoe) + era * 400 + (m <= 2);
    return { int(y), int(m), int(d), int(rest / 3600), int(rest / 60 % 60), int(rest % 60) };
}

std::string formatCivil(const CivilTime &t)
{
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

CivilTime hostLocalTime()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    return { local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
             local.tm_hour,        local.tm_min,     std::min(local.tm_sec, 59) };
}

} // namespace relaybox::sim
