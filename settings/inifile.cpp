#include "settings/inifile.h"

#include <algorithm>

namespace relaybox {

namespace {

std::string_view trimmed(std::string_view text)
{
    constexpr std::string_view blanks = " \t\r";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

bool sameName(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) {
        return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    };
    return std::ranges::equal(a, b, [&](char x, char y) { return lower(x) == lower(y); });
}

// A stored key or value must stay on its own line.
std::string_view firstLineOf(std::string_view text)
{
    return text.substr(0, text.find_first_of("\r\n"));
}

struct ParsedLine
{
    enum Kind { Other, Section, Key } kind = Other;
    std::string_view name;
    std::string_view value;
};

ParsedLine parse(std::string_view text)
{
    if (text.size() > IniFile::kMaxLineLength)
        return {};
    const std::string_view line = trimmed(text);
    if (line.empty() || line.front() == ';')
        return {};
    if (line.front() == '[') {
        const auto close = line.find(']');
        if (close == std::string_view::npos)
            return {};
        return { ParsedLine::Section, trimmed(line.substr(1, close - 1)), {} };
    }
    const auto equals = line.find('=');
    if (equals == std::string_view::npos)
        return {};
    const std::string_view key = trimmed(line.substr(0, equals));
    if (key.empty())
        return {};
    return { ParsedLine::Key, key, trimmed(line.substr(equals + 1)) };
}

} // namespace

IniFile::IniFile(std::string_view content)
{
    constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
    if (content.starts_with(kUtf8ByteOrderMark)) {
        m_byteOrderMark = kUtf8ByteOrderMark;
        content.remove_prefix(kUtf8ByteOrderMark.size());
    }
    while (!content.empty()) {
        const auto newline = content.find('\n');
        if (newline == std::string_view::npos) {
            m_lines.push_back({ std::string(content), {} });
            break;
        }
        std::string_view text = content.substr(0, newline);
        if (!text.empty() && text.back() == '\r') {
            text.remove_suffix(1);
            m_lines.push_back({ std::string(text), "\r\n" });
        } else {
            m_lines.push_back({ std::string(text), "\n" });
        }
        content.remove_prefix(newline + 1);
    }
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const
{
    const auto header = findSection(section);
    if (!header)
        return std::nullopt;
    const std::size_t end = sectionEnd(*header);
    for (std::size_t i = *header + 1; i < end; ++i) {
        const ParsedLine line = parse(m_lines[i].text);
        if (line.kind == ParsedLine::Key && sameName(line.name, key))
            return std::string(line.value);
    }
    return std::nullopt;
}

void IniFile::setValue(std::string_view section, std::string_view key, std::string_view value)
{
    section = firstLineOf(section);
    key = firstLineOf(key);
    std::string text = std::string(key) + '=' + std::string(firstLineOf(value));

    const auto header = findSection(section);
    if (!header) {
        const std::string end = lineEnd();
        if (!m_lines.empty() && m_lines.back().end.empty())
            m_lines.back().end = end;
        m_lines.push_back({ '[' + std::string(section) + ']', end });
        m_lines.push_back({ std::move(text), end });
        return;
    }

    const std::size_t end = sectionEnd(*header);
    std::size_t after = *header + 1;
    for (std::size_t i = *header + 1; i < end; ++i) {
        const ParsedLine line = parse(m_lines[i].text);
        if (line.kind == ParsedLine::Key && sameName(line.name, key)) {
            m_lines[i].text = std::move(text);
            return;
        }
        if (!trimmed(m_lines[i].text).empty())
            after = i + 1;
    }
    insertLine(after, std::move(text));
}

std::string IniFile::content() const
{
    std::string content = m_byteOrderMark;
    for (const Line &line : m_lines)
        content.append(line.text).append(line.end);
    return content;
}

std::string IniFile::lineEnd() const
{
    for (const Line &line : m_lines) {
        if (!line.end.empty())
            return line.end;
    }
    return "\n";
}

std::optional<std::size_t> IniFile::findSection(std::string_view section) const
{
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const ParsedLine line = parse(m_lines[i].text);
        if (line.kind == ParsedLine::Section && sameName(line.name, section))
            return i;
    }
    return std::nullopt;
}

std::size_t IniFile::sectionEnd(std::size_t header) const
{
    for (std::size_t i = header + 1; i < m_lines.size(); ++i) {
        if (parse(m_lines[i].text).kind == ParsedLine::Section)
            return i;
    }
    return m_lines.size();
}

void IniFile::insertLine(std::size_t at, std::string text)
{
    const std::string end = lineEnd();
    // After a last line without a line end the new line becomes the last one and takes that over.
    if (at == m_lines.size() && at > 0 && m_lines.back().end.empty()) {
        m_lines.back().end = end;
        m_lines.push_back({ std::move(text), {} });
        return;
    }
    m_lines.insert(m_lines.begin() + std::ptrdiff_t(at), Line { std::move(text), end });
}

} // namespace relaybox
