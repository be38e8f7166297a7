#pragma once

#include <array>
#include <cstddef>
#include <string_view>

// Cuts the switch's byte stream into reply lines.
//
// Normal mode: "/" starts a line afresh; ">", LF, CR, "\" and "!" end it. Raw mode (the firmware
// loader talking): only backspace or LF end a line and every other byte is text. Empty lines are
// not reported, and a line keeps at most its first kMaxLine bytes.

namespace relaybox {

class LineBuilder
{
public:
    static constexpr std::size_t kMaxLine = 51;

    // Returns true when c completed a line; line() then holds it until the next push.
    bool push(char c, bool raw);
    std::string_view line() const { return { m_buffer.data(), m_lineLength }; }

    void clear() { m_size = 0; }

private:
    std::array<char, kMaxLine> m_buffer {};
    std::size_t m_size = 0;
    std::size_t m_lineLength = 0;
};

inline bool LineBuilder::push(char c, bool raw)
{
    const bool lineEnd = raw ? (c == '\b' || c == '\n')
                             : (c == '>' || c == '\n' || c == '\r' || c == '\\' || c == '!');
    if (lineEnd) {
        if (m_size == 0)
            return false;
        m_lineLength = m_size;
        m_size = 0;
        return true;
    }
    if (!raw && c == '/') {
        m_size = 0;
        return false;
    }
    if (m_size < kMaxLine)
        m_buffer[m_size++] = c;
    return false;
}

} // namespace relaybox
