#include "service/utctime.h"

#include <cstdio>
#include <ctime>

namespace relaybox::service {

std::string utcTimestamp(std::chrono::system_clock::time_point time)
{
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
    const std::time_t seconds = std::time_t(ms / 1000);
    std::tm utc {};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, int(ms % 1000));
    return text;
}

} // namespace relaybox::service
