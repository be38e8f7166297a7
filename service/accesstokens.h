#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// The secrets a client presents as "Authorization: Bearer SECRET", each with the name the audit
// trail records. The file holds "NAME SECRET" lines; "#" starts a comment line. It must not be
// readable by every user.

namespace relaybox::service {

class AccessTokens
{
public:
    static constexpr std::size_t kMinSecretLength = 16;

    // Empty when the file cannot be used, with the reason (file and line) in `error`.
    static std::optional<AccessTokens> read(const std::string &path, std::string &error);
    static std::optional<AccessTokens> parse(std::string_view content, const std::string &file,
                                             std::string &error);

    // The token's name when the header value is "Bearer SECRET" with a known secret. Compares
    // every secret in full, so that the time taken does not tell how much of one matched.
    std::optional<std::string> nameFor(std::string_view authorization) const;

    bool empty() const { return m_tokens.empty(); }

private:
    struct Token
    {
        std::string name;
        std::string secret;
    };
    std::vector<Token> m_tokens;
};

} // namespace relaybox::service
