#pragma once

#include <filesystem>
#include <string_view>

namespace relaybox {

// Replaces a file's contents all at once: the bytes go to a temporary file beside the target,
// which is renamed over it only when everything was written. On failure the old file is left
// as it was and false is returned.
[[nodiscard]] bool writeFileAtomically(const std::filesystem::path &target,
                                       std::string_view contents);

} // namespace relaybox
