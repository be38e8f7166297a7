#pragma once

#include <chrono>
#include <string>

namespace relaybox::service {

// "2026-12-08T12:30:05.123Z"
std::string utcTimestamp(std::chrono::system_clock::time_point time);

} // namespace relaybox::service
