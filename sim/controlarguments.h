#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One control command line cut into words, with readers for the values its commands take.

namespace relaybox::sim {

struct ControlArguments
{
    explicit ControlArguments(std::string_view line);

    std::string_view command; // the line without its surrounding blanks
    std::vector<std::string_view> words; // the command word first
    std::string_view rest; // what follows the command word, blanks inside kept

    std::size_t count() const { return words.size(); }

    // Each empty when word `index` is missing or not of its kind.
    std::optional<long long> integer(std::size_t index) const;
    std::optional<double> amps(std::size_t index) const; // "3.5": no sign, no exponent
    std::optional<bool> onOff(std::size_t index) const; // "on" or "off"
};

// "2f 78 79": pairs of hex digits, blanks between them ignored. Empty for anything else.
std::optional<std::string> hexBytes(std::string_view text);

} // namespace relaybox::sim
