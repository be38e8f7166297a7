#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Whole-file reads with a size limit, and replacements that never leave a half-written file.

namespace relaybox {

// nullopt when the file cannot be read or is larger than maxBytes.
std::optional<std::string> readTextFile(const std::filesystem::path &path, std::size_t maxBytes);

// Writes the content to a new file in the same folder, flushes it to the disk and renames it over
// the path (following a symbolic link to its target); the old file keeps its permission bits.
// Returns false, and leaves the old file and no temporary file behind, when any step fails or the
// existing file is read-only: no write permission bits at all, or none for this process.
bool replaceTextFile(const std::filesystem::path &path, std::string_view content);

} // namespace relaybox
