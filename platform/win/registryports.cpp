#ifdef _WIN32

#include "platform/win/registryports.h"

#include <algorithm>
#include <windows.h>

namespace relaybox {

namespace {

// Port names are a few characters: longer data is no port name and is skipped unread.
constexpr DWORD kMaxValueBytes = 256;
constexpr DWORD kMaxValueNameChars = 16384; // the registry's own limit
constexpr DWORD kMaxValues = 1024;

} // namespace

std::vector<std::string> serialCommValues()
{
    HKEY key = nullptr;
    // RegOpenKeyExA opens an existing key only; it never creates one.
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key)
        != ERROR_SUCCESS)
        return {};

    std::vector<std::string> values;
    DWORD valueCount = 0;
    DWORD longestName = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valueCount,
                         &longestName, nullptr, nullptr, nullptr)
        == ERROR_SUCCESS) {
        std::string name(std::min(longestName, kMaxValueNameChars) + 1, '\0');
        for (DWORD i = 0; i < std::min(valueCount, kMaxValues); ++i) {
            DWORD nameLength = static_cast<DWORD>(name.size());
            if (RegEnumValueA(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr)
                != ERROR_SUCCESS)
                continue;
            char data[kMaxValueBytes] = {};
            DWORD type = 0;
            DWORD dataLength = sizeof(data);
            if (RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE *>(data),
                                 &dataLength)
                    != ERROR_SUCCESS
                || type != REG_SZ)
                continue;
            // Registry text need not end in NUL: stop at the first one or at the length given.
            const DWORD length = std::min<DWORD>(dataLength, sizeof(data));
            values.emplace_back(data, std::find(data, data + length, '\0'));
        }
    }
    RegCloseKey(key);
    return values;
}

} // namespace relaybox

#endif
