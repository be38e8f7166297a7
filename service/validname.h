#pragma once

#include <string_view>

namespace relaybox::service {

// A name for a switch, an outlet or a token: letters, digits, ".", "_" and "-", at most 64.
bool isValidName(std::string_view name);

} // namespace relaybox::service
