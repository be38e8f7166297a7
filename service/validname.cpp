#include "service/validname.h"

namespace relaybox::service {

bool isValidName(std::string_view name)
{
    constexpr std::size_t kMaxNameBytes = 64;
    if (name.empty() || name.size() > kMaxNameBytes)
        return false;
    for (const char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
            || c == '.' || c == '_' || c == '-';
        if (!ok)
            return false;
    }
    return true;
}

} // namespace relaybox::service
