#include "platform/programfolder.h"

#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace relaybox {

std::filesystem::path programFolder()
{
#ifdef _WIN32
    char path[MAX_PATH] {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return std::filesystem::path(std::string(path, length)).parent_path();
#else
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : executable.parent_path();
#endif
}

} // namespace relaybox
