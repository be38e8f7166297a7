#include "service/accesstokens.h"

#include <fstream>
#include <sys/stat.h>

#include "service/textlines.h"
#include "service/validname.h"

namespace relaybox::service {

namespace {

constexpr std::size_t kMaxFileBytes = 64 * 1024;
constexpr std::size_t kMaxSecretLength = 256;

bool sameSecret(std::string_view given, const std::string &secret)
{
    unsigned char difference = given.size() == secret.size() ? 0 : 1;
    for (std::size_t i = 0; i < secret.size(); ++i)
        difference |= static_cast<unsigned char>(secret[i] ^ (i < given.size() ? given[i] : 0));
    return difference == 0;
}

} // namespace

std::optional<AccessTokens> AccessTokens::read(const std::string &path, std::string &error)
{
    struct stat status
    {
    };
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        error = path + ": cannot be read";
        return std::nullopt;
    }
    if (status.st_mode & S_IROTH) {
        error = path + ": every user may read it; chmod o-rwx " + path;
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    std::string content(kMaxFileBytes + 1, '\0');
    in.read(content.data(), std::streamsize(content.size()));
    content.resize(std::size_t(in.gcount()));
    if (content.size() > kMaxFileBytes) {
        error = path + ": larger than 64 KiB";
        return std::nullopt;
    }
    return parse(content, path, error);
}

std::optional<AccessTokens> AccessTokens::parse(std::string_view content, const std::string &file,
                                                std::string &error)
{
    AccessTokens tokens;
    TextLines lines(content);
    while (auto next = lines.next()) {
        std::string_view line = *next;
        const auto first = line.find_first_not_of(" \t");
        if (first == line.npos || line[first] == '#')
            continue;
        line = line.substr(first, line.find_last_not_of(" \t") - first + 1);
        const auto gap = line.find_first_of(" \t");
        const auto secretStart = gap == line.npos ? line.npos : line.find_first_not_of(" \t", gap);
        const std::string where = file + ":" + std::to_string(lines.number()) + ": ";
        if (secretStart == line.npos || line.find_first_of(" \t", secretStart) != line.npos) {
            error = where + "a token is one line NAME SECRET";
            return std::nullopt;
        }
        Token token { std::string(line.substr(0, gap)), std::string(line.substr(secretStart)) };
        if (!isValidName(token.name)) {
            error = where + "a token's name is 1 to 64 letters, digits, \".\", \"_\" or \"-\"";
            return std::nullopt;
        }
        if (token.secret.size() < kMinSecretLength || token.secret.size() > kMaxSecretLength) {
            error = where + "the secret of " + token.name + " must be 16 to 256 characters";
            return std::nullopt;
        }
        for (const Token &other : tokens.m_tokens) {
            if (other.name == token.name || other.secret == token.secret) {
                error = where + "the name or the secret of " + token.name + " is given twice";
                return std::nullopt;
            }
        }
        tokens.m_tokens.push_back(std::move(token));
    }
    if (tokens.m_tokens.empty()) {
        error = file + ": holds no token";
        return std::nullopt;
    }
    return tokens;
}

std::optional<std::string> AccessTokens::nameFor(std::string_view authorization) const
{
    constexpr std::string_view kScheme = "Bearer ";
    if (authorization.substr(0, kScheme.size()) != kScheme)
        return std::nullopt;
    const std::string_view given = authorization.substr(kScheme.size());
    std::optional<std::string> found;
    for (const Token &token : m_tokens) {
        if (sameSecret(given, token.secret))
            found = token.name;
    }
    return found;
}

} // namespace relaybox::service
