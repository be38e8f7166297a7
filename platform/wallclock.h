#pragma once

#include <chrono>
#include <cstdint>

// The host's clock as milliseconds since 1970 UTC, for time stamps that keep their order when
// the local time changes.

namespace relaybox {

inline std::int64_t utcMillisNow()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace relaybox
