#pragma once

#include <optional>
#include <string>
#include <string_view>

// A bank's stored firmware version as the operator reads it: "1203" is version 1.2.3.

namespace relaybox {

// What a bank's version reads between a completed upgrade and the switch's new Version replies.
inline constexpr std::string_view kVersionPending = "Wait a minute";

struct FirmwareVersion
{
    int major = 0;
    int minor = 0;
    int build = 0;

    friend bool operator==(const FirmwareVersion &, const FirmwareVersion &) = default;
};

// One digit, one digit, then one or two digits, each after optional blanks; what follows is
// ignored. Empty when the text does not start that way (signs are not digits).
std::optional<FirmwareVersion> decodeVersion(std::string_view text);

std::string bankVersionTitle(int bank); // "Bank 3 Version"
// "Firmware Version: 1.2.3", the pending text as it stands, or "Firmware Version: unknown".
std::string bankVersionMessage(std::string_view versionText);

} // namespace relaybox
