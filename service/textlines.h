#pragma once

#include <optional>
#include <string_view>

// The lines of a text file one at a time, without their "\n" or "\r\n", numbered from 1 for the
// messages that name them. A final "\n" ends the last line; it does not start an empty one.

namespace relaybox::service {

class TextLines
{
public:
    explicit TextLines(std::string_view text)
        : m_rest(text)
    { }

    std::optional<std::string_view> next()
    {
        if (m_rest.empty())
            return std::nullopt;
        const auto end = m_rest.find('\n');
        std::string_view line = m_rest.substr(0, end);
        m_rest = end == m_rest.npos ? std::string_view {} : m_rest.substr(end + 1);
        ++m_number;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        return line;
    }

    int number() const { return m_number; }

private:
    std::string_view m_rest;
    int m_number = 0;
};

} // namespace relaybox::service
