#pragma once

#include <chrono>
#include <optional>
#include <string_view>

// A number of seconds as people write it in a query or a configuration file: "10", "0.5".
// No sign, no exponent, at most a day.

namespace relaybox::service {

std::optional<std::chrono::milliseconds> parseSeconds(std::string_view text);

} // namespace relaybox::service
