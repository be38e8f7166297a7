#include "platform/shareaccessfile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

namespace relaybox {

namespace {

constexpr std::string_view kLoopbackPrefix = "http://127.0.0.1:";
constexpr std::size_t kMaxFileBytes = 256;

bool isHexToken(const std::string &text)
{
    return text.size() == kShareTokenLength
        && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

std::optional<int> loopbackPort(const std::string &url)
{
    if (url.compare(0, kLoopbackPrefix.size(), kLoopbackPrefix) != 0)
        return std::nullopt;
    const std::string digits = url.substr(kLoopbackPrefix.size());
    if (digits.empty() || digits.size() > 5
        || digits.find_first_not_of("0123456789") != digits.npos)
        return std::nullopt;
    const int port = std::stoi(digits);
    if (port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

} // namespace

std::string newShareToken()
{
    // libstdc++ takes these from the system's cryptographic source (getrandom, rand_s).
    std::random_device source;
    std::string token;
    while (token.size() < kShareTokenLength) {
        char digits[9];
        std::snprintf(digits, sizeof digits, "%08x", unsigned(source()));
        token += digits;
    }
    return token;
}

bool writeShareAccessFile(const std::string &path, int port, const std::string &token,
                          std::string &error)
{
    const std::string partial = path + ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out << kLoopbackPrefix << port << "\n" << token << "\n";
        out.close();
        if (!out) {
            error = partial + ": cannot be written";
            return false;
        }
    }
    std::error_code failure;
    std::filesystem::rename(partial, path, failure);
    if (failure) {
        // Windows renames onto no existing file; one left here belongs to no running manager,
        // as only one program holds the port.
        std::filesystem::remove(path, failure);
        std::filesystem::rename(partial, path, failure);
    }
    if (failure) {
        error = path + ": " + failure.message();
        std::filesystem::remove(partial, failure);
        return false;
    }
    return true;
}

std::optional<ShareAccess> readShareAccessFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::string content(kMaxFileBytes + 1, '\0');
    in.read(content.data(), std::streamsize(content.size()));
    content.resize(std::size_t(in.gcount()));
    const auto firstEnd = content.find('\n');
    const auto secondEnd =
        firstEnd == content.npos ? content.npos : content.find('\n', firstEnd + 1);
    if (secondEnd == content.npos || secondEnd + 1 != content.size())
        return std::nullopt;
    ShareAccess access { content.substr(0, firstEnd),
                         content.substr(firstEnd + 1, secondEnd - firstEnd - 1) };
    if (!loopbackPort(access.server) || !isHexToken(access.token))
        return std::nullopt;
    return access;
}

void removeShareAccessFile(const std::string &path, const std::string &token)
{
    const auto access = readShareAccessFile(path);
    std::error_code ignored;
    if (access && access->token == token)
        std::filesystem::remove(path, ignored);
}

} // namespace relaybox
