#include "firmwareimage.h"

#include <fstream>
#include <system_error>

namespace relaybox {

FirmwareImage readFirmwareImage(const std::filesystem::path &path, std::size_t maxSize)
{
    FirmwareImage image;
    std::error_code error;
    // A directory, a pipe or a device would block or never end; only plain files are images.
    if (!std::filesystem::is_regular_file(path, error)) {
        image.error = ImageError::Unreadable;
        return image;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        image.error = ImageError::Unreadable;
        return image;
    }
    image.bytes.resize(maxSize + 1);
    file.read(reinterpret_cast<char *>(image.bytes.data()), std::streamsize(image.bytes.size()));
    if (file.bad()) {
        image.bytes.clear();
        image.error = ImageError::Unreadable;
        return image;
    }
    image.bytes.resize(std::size_t(file.gcount()));
    if (image.bytes.empty())
        image.error = ImageError::Empty;
    else if (image.bytes.size() > maxSize)
        image.error = ImageError::TooLarge;
    if (image.error)
        image.bytes.clear();
    return image;
}

} // namespace relaybox
