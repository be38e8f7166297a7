#include "service/seconds.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace relaybox::service {

std::optional<std::chrono::milliseconds> parseSeconds(std::string_view text)
{
    constexpr double kMaxSeconds = 24 * 60 * 60;
    if (text.empty() || text.size() > 16 || text.find_first_not_of("0123456789.") != text.npos
        || text.find('.') != text.rfind('.') || text == ".")
        return std::nullopt;
    const std::string copy(text);
    char *end = nullptr;
    const double seconds = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || !std::isfinite(seconds) || seconds > kMaxSeconds)
        return std::nullopt;
    return std::chrono::milliseconds(std::llround(seconds * 1000));
}

} // namespace relaybox::service
