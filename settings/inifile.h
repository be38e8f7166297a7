#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// An INI text held line by line, so that writing one key rewrites only that key's line and every
// other byte stays as it was. Section and key names match without regard to ASCII letter case; a
// UTF-8 byte-order mark (editors on Windows add one) is not part of the first line.

namespace relaybox {

class IniFile
{
public:
    // Lines longer than this are kept but never read as a section or a key.
    static constexpr std::size_t kMaxLineLength = 2047;

    IniFile() = default;
    explicit IniFile(std::string_view content);

    // The value of the first matching key of the first matching section, without surrounding
    // blanks; nullopt when the section or the key is absent.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    // Rewrites the key's line as "key=value" with the key as given here; an absent key is added
    // after the last line of its section, an absent section is appended with the key.
    void setValue(std::string_view section, std::string_view key, std::string_view value);

    std::string content() const;

private:
    struct Line
    {
        std::string text; // without its line end
        std::string end; // "\n", "\r\n" or "" for a last line without one
    };

    std::string lineEnd() const;
    std::optional<std::size_t> findSection(std::string_view section) const;
    std::size_t sectionEnd(std::size_t header) const;
    void insertLine(std::size_t at, std::string text);

    std::string m_byteOrderMark; // a UTF-8 mark before the first line, kept as it was
    std::vector<Line> m_lines;
};

} // namespace relaybox
