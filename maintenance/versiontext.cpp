#include "versiontext.h"

#include <cstdio>

namespace relaybox {
namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads up to `width` digits after optional blanks, as one conversion of "%<width>d" does.
std::optional<int> readNumber(std::string_view text, std::size_t &pos, int width)
{
    while (pos < text.size() && isBlank(text[pos]))
        ++pos;
    if (pos >= text.size() || !isDigit(text[pos]))
        return std::nullopt;
    int value = 0;
    for (int taken = 0; taken < width && pos < text.size() && isDigit(text[pos]); ++taken)
        value = value * 10 + (text[pos++] - '0');
    return value;
}

} // namespace

std::optional<FirmwareVersion> decodeVersion(std::string_view text)
{
    std::size_t pos = 0;
    const auto major = readNumber(text, pos, 1);
    const auto minor = major ? readNumber(text, pos, 1) : std::nullopt;
    const auto build = minor ? readNumber(text, pos, 2) : std::nullopt;
    if (!build)
        return std::nullopt;
    return FirmwareVersion { *major, *minor, *build };
}

std::string bankVersionTitle(int bank)
{
    char title[32];
    std::snprintf(title, sizeof title, "Bank%2d Version", bank);
    return title;
}

std::string bankVersionMessage(std::string_view versionText)
{
    if (versionText == kVersionPending)
        return std::string(kVersionPending);
    const auto version = decodeVersion(versionText);
    if (!version)
        return "Firmware Version: unknown";
    char message[64];
    std::snprintf(message, sizeof message, "Firmware Version: %1d.%1d.%d", version->major,
                  version->minor, version->build);
    return message;
}

} // namespace relaybox
