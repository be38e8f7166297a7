#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Reads an integer value of the settings file: "0x"/"0X" and at least one more character is
// hexadecimal (up to 32 bits, "0xFFFFFFFF" is -1), anything else signed decimal. nullopt when the
// text is empty, not a number or out of range, so that the caller falls back to its default.

namespace relaybox {

std::optional<std::int32_t> parseProfileInteger(std::string_view text);

} // namespace relaybox
