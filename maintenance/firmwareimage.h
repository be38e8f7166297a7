#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

// Reads a firmware image file as opaque bytes, refusing what the upload cannot take.

namespace relaybox {

enum class ImageError {
    Unreadable, // missing, not a plain file, or a read error
    Empty,
    TooLarge, // more bytes than the upload buffer holds
};

struct FirmwareImage
{
    std::vector<std::uint8_t> bytes;
    std::optional<ImageError> error; // bytes is empty when set
};

// Reads at most maxSize + 1 bytes, so an oversized file is refused without reading all of it.
FirmwareImage readFirmwareImage(const std::filesystem::path &path, std::size_t maxSize);

} // namespace relaybox
