#pragma once

#include <string>
#include <string_view>

// The few pieces of JSON text relaybox-cli writes.

namespace relaybox::cli::json {

std::string quoted(std::string_view text); // "text" with the JSON escapes
std::string number(double value, int decimals);
inline std::string boolean(bool value)
{
    return value ? "true" : "false";
}

} // namespace relaybox::cli::json
