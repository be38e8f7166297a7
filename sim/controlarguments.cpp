#include "sim/controlarguments.h"

#include <charconv>

namespace relaybox::sim {

namespace {

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::vector<std::string_view> wordsOf(std::string_view text)
{
    std::vector<std::string_view> result;
    std::size_t at = 0;
    while (at < text.size()) {
        const auto start = text.find_first_not_of(" \t", at);
        if (start == std::string_view::npos)
            break;
        auto end = text.find_first_of(" \t", start);
        if (end == std::string_view::npos)
            end = text.size();
        result.push_back(text.substr(start, end - start));
        at = end;
    }
    return result;
}

} // namespace

ControlArguments::ControlArguments(std::string_view line)
    : command(trimmed(line))
    , words(wordsOf(command))
    , rest(words.empty() ? std::string_view() : trimmed(command.substr(words.front().size())))
{ }

std::optional<long long> ControlArguments::integer(std::size_t index) const
{
    if (index >= words.size())
        return std::nullopt;
    const std::string_view text = words[index];
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<double> ControlArguments::amps(std::size_t index) const
{
    if (index >= words.size())
        return std::nullopt;
    const std::string_view text = words[index];
    if (text.empty() || text.size() > 8)
        return std::nullopt;
    double whole = 0;
    double scale = 0;
    bool digit = false;
    for (const char c : text) {
        if (c == '.' && scale == 0) {
            scale = 1;
        } else if (c >= '0' && c <= '9') {
            digit = true;
            if (scale == 0) {
                whole = whole * 10 + (c - '0');
            } else {
                scale /= 10;
                whole += (c - '0') * scale;
            }
        } else {
            return std::nullopt;
        }
    }
    if (!digit)
        return std::nullopt;
    return whole;
}

std::optional<bool> ControlArguments::onOff(std::size_t index) const
{
    if (index >= words.size())
        return std::nullopt;
    if (words[index] == "on")
        return true;
    if (words[index] == "off")
        return false;
    return std::nullopt;
}

std::optional<std::string> hexBytes(std::string_view text)
{
    std::string bytes;
    int high = -1;
    for (const char c : text) {
        if (c == ' ' || c == '\t')
            continue;
        int nibble = -1;
        if (c >= '0' && c <= '9')
            nibble = c - '0';
        else if (c >= 'a' && c <= 'f')
            nibble = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            nibble = c - 'A' + 10;
        if (nibble < 0)
            return std::nullopt;
        if (high < 0) {
            high = nibble;
        } else {
            bytes += char(high * 16 + nibble);
            high = -1;
        }
    }
    if (high >= 0 || bytes.empty())
        return std::nullopt;
    return bytes;
}

} // namespace relaybox::sim
