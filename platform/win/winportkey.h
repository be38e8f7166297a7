#pragma once

#include <cctype>
#include <string>

namespace relaybox {

// "COM5" for "COM5", "com5" and "\\.\COM5" alike: one name per port for the objects and files
// that concern it.
inline std::string windowsPortKey(const std::string &path)
{
    std::string key;
    for (const char c : path.substr(path.find_last_of('\\') + 1))
        key += std::isalnum(static_cast<unsigned char>(c))
            ? static_cast<char>(std::toupper(static_cast<unsigned char>(c)))
            : '_';
    return key;
}

} // namespace relaybox
