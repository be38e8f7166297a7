#include "platform/shareendpoint.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <windows.h>

#include <sddl.h> // after windows.h, which it needs

#include "platform/shareaccessfile.h"
#include "platform/win/winportkey.h"

// %LOCALAPPDATA%\kestrane\relaybox\share\port-COM5 names the loopback port of the manager that
// holds COM5 and its token. The folder's permissions admit this user alone, whatever the
// profile's folders would pass on to it.

namespace relaybox {

namespace {

std::optional<std::filesystem::path> shareFolder()
{
    const char *local = std::getenv("LOCALAPPDATA");
    if (!local || !*local || !std::filesystem::path(local).is_absolute())
        return std::nullopt;
    return std::filesystem::path(local) / "kestrane" / "relaybox" / "share";
}

// "S-1-5-21-...": the security identifier of the user this program runs as.
std::string thisUserSid()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::unique_ptr<char[]> buffer(new char[size ? size : 1]);
    std::string sid;
    char *text = nullptr;
    if (size && GetTokenInformation(token, TokenUser, buffer.get(), size, &size)
        && ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER *>(buffer.get())->User.Sid, &text)) {
        sid = text;
        LocalFree(text);
    }
    CloseHandle(token);
    return sid;
}

// Full control for this user alone, passed on to the files made inside, none inherited.
bool restrictToThisUser(const std::filesystem::path &folder, std::string &error)
{
    const std::string sid = thisUserSid();
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (sid.empty()
        || !ConvertStringSecurityDescriptorToSecurityDescriptorA(
            ("D:P(A;OICI;FA;;;" + sid + ")").c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
        error = folder.string() + ": this user's identity cannot be had";
        return false;
    }
    const bool done =
        SetFileSecurityW(folder.wstring().c_str(), DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
    if (!done)
        error = folder.string() + ": its permissions cannot be set (error "
            + std::to_string(GetLastError()) + ")";
    return done;
}

} // namespace

std::optional<std::string> shareEndpointPath(const std::string &portPath)
{
    const auto folder = shareFolder();
    const std::string key = windowsPortKey(portPath);
    if (!folder || key.empty())
        return std::nullopt;
    return (*folder / ("port-" + key)).string();
}

bool prepareShareFolder(std::string &error)
{
    const auto folder = shareFolder();
    if (!folder) {
        error = "LOCALAPPDATA is not set";
        return false;
    }
    std::error_code failure;
    std::filesystem::create_directories(*folder, failure);
    if (failure) {
        error = folder->string() + ": " + failure.message();
        return false;
    }
    return restrictToThisUser(*folder, error);
}

std::optional<ShareAccess> shareAccess(const std::string &path)
{
    return readShareAccessFile(path);
}

std::string thisUserName()
{
    char name[257] = {};
    DWORD size = sizeof name;
    return GetUserNameA(name, &size) ? std::string(name) : std::string();
}

} // namespace relaybox
