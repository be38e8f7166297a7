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

// Writes the content to a new, uniquely named file beside the target, flushes it to the disk and
// renames it over the target; the old file keeps its permission bits. A symbolic link stays: the
// file it finally names is replaced (or created, when the link dangles). Temporaries that killed
// saves of the same file left behind are removed after a successful save. Returns false, and
// leaves the old file and no temporary file behind, when any step fails, when the target is not a
// regular file (a pipe, a device, a folder), when it is read-only (no write permission bits at
// all, or none for this process), or when a link on the way lies in a world-writable sticky
// folder such as /tmp and belongs neither to this user nor to the folder's owner (the kernel's
// rule for such links).
bool replaceTextFile(const std::filesystem::path &path, std::string_view content);

} // namespace relaybox
