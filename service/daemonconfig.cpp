#include "service/daemonconfig.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "service/seconds.h"
#include "service/textlines.h"

namespace relaybox::service {

namespace {

constexpr std::size_t kMaxFileBytes = 1 << 20;
constexpr std::size_t kMaxLineBytes = 4096;
constexpr std::size_t kMaxListeners = 16;
constexpr std::size_t kMaxSwitches = 64;
constexpr std::size_t kMaxOutlets = 1024;
constexpr std::size_t kMaxMembers = 128;
constexpr auto kMinPoll = std::chrono::milliseconds(100);
constexpr auto kMaxPoll = std::chrono::milliseconds(3600 * 1000);
constexpr auto kMaxDelay = std::chrono::milliseconds(3600 * 1000);

struct Failure
{
    ConfigError error;
};

std::string_view trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == text.npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A ";" or "#" after a blank starts a comment.
std::string_view withoutComment(std::string_view value)
{
    for (std::size_t i = 1; i < value.size(); ++i) {
        if ((value[i] == ';' || value[i] == '#') && (value[i - 1] == ' ' || value[i - 1] == '\t'))
            return value.substr(0, i);
    }
    return value;
}

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const auto end = text.find(separator, start);
        parts.push_back(trim(text.substr(start, end == text.npos ? text.npos : end - start)));
        if (end == text.npos)
            return parts;
        start = end + 1;
    }
}

std::vector<std::string_view> words(std::string_view text)
{
    std::vector<std::string_view> found;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto start = text.find_first_not_of(" \t", i);
        if (start == text.npos)
            break;
        const auto end = text.find_first_of(" \t", start);
        found.push_back(text.substr(start, end == text.npos ? text.npos : end - start));
        i = end == text.npos ? text.size() : end;
    }
    return found;
}

std::optional<int> smallNumber(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || text.size() > 3 || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

class Parser
{
public:
    explicit Parser(const std::string &file)
        : m_file(file)
    { }

    DaemonConfig parse(std::string_view content)
    {
        if (content.size() > kMaxFileBytes)
            fail(0, {}, "the file is larger than 1 MiB");
        if (content.substr(0, 3) == "\xEF\xBB\xBF")
            content.remove_prefix(3);
        TextLines lines(content);
        while (const auto line = lines.next()) {
            if (line->size() > kMaxLineBytes)
                fail(lines.number(), {}, "the line is longer than 4096 bytes");
            take(lines.number(), trim(*line));
        }
        finishSection();
        checkWhole();
        return std::move(m_config);
    }

private:
    enum class Section { None, Daemon, Switch, Outlet };

    [[noreturn]] void fail(int line, const std::string &key, const std::string &message) const
    {
        const std::string named = key.empty() ? m_sectionText
            : m_sectionText.empty()           ? key
                                              : m_sectionText + " " + key;
        throw Failure { { m_file, line, named, message } };
    }

    void take(int line, std::string_view text)
    {
        if (text.empty() || text[0] == ';' || text[0] == '#')
            return;
        if (text[0] == '[')
            return openSection(line, text);
        const auto equals = text.find('=');
        if (equals == text.npos)
            fail(line, {}, "not a section, a key = value or a comment");
        const std::string key(trim(text.substr(0, equals)));
        const std::string value(trim(withoutComment(text.substr(equals + 1))));
        if (m_section == Section::None)
            fail(line, key, "a key before the first section");
        if (!m_keys.insert(key).second)
            fail(line, key, "given twice in this section");
        switch (m_section) {
        case Section::Daemon:
            return daemonKey(line, key, value);
        case Section::Switch:
            return switchKey(line, key, value);
        case Section::Outlet:
            return outletKey(line, key, value);
        case Section::None:
            break;
        }
    }

    void openSection(int line, std::string_view text)
    {
        finishSection();
        m_sectionText = std::string(text);
        if (text.back() != ']')
            fail(line, {}, "a section header ends with ]");
        const auto parts = words(text.substr(1, text.size() - 2));
        m_keys.clear();
        m_sectionLine = line;
        if (!m_sections.insert(std::string(text)).second)
            fail(line, {}, "this section is given twice");
        if (parts.size() == 1 && parts[0] == "daemon") {
            m_section = Section::Daemon;
            return;
        }
        if (parts.size() != 2 || (parts[0] != "switch" && parts[0] != "outlet"))
            fail(line, {}, "unknown section (there are [daemon], [switch NAME] and [outlet NAME])");
        if (!isValidName(parts[1]))
            fail(line, {}, "a name is 1 to 64 letters, digits, \".\", \"_\" or \"-\"");
        if (parts[0] == "switch") {
            if (m_config.switches.size() == kMaxSwitches)
                fail(line, {}, "more than 64 switches");
            m_section = Section::Switch;
            m_config.switches.push_back({ std::string(parts[1]), {} });
        } else {
            if (parts[1].find_first_not_of("0123456789") == parts[1].npos)
                fail(line, {}, "an outlet's name is not a number (pdudaemon's port takes both)");
            if (m_config.outlets.size() == kMaxOutlets)
                fail(line, {}, "more than 1024 outlets");
            m_section = Section::Outlet;
            m_config.outlets.push_back({ std::string(parts[1]), {}, {} });
            m_outletPortsLine.push_back(0);
        }
    }

    // What a section must hold, checked when the next one starts.
    void finishSection()
    {
        if (m_section == Section::Switch && m_config.switches.back().port.empty())
            fail(m_sectionLine, "port", "every switch needs its port");
        if (m_section == Section::Outlet && m_config.outlets.back().members.empty())
            fail(m_sectionLine, "ports", "every outlet needs its ports");
        if (m_section == Section::Daemon)
            m_daemonLine = m_sectionLine;
        m_section = Section::None;
    }

    void daemonKey(int line, const std::string &key, const std::string &value)
    {
        std::string error;
        if (key == "listen") {
            for (const std::string_view part : split(value, ',')) {
                const auto address = parseListenAddress(std::string(part), error);
                if (!address)
                    fail(line, key, error);
                for (const ListenAddress &earlier : m_config.listen) {
                    if (earlier.text() == address->text())
                        fail(line, key, address->text() + " is given twice");
                }
                if (m_config.listen.size() == kMaxListeners)
                    fail(line, key, "more than 16 addresses");
                m_config.listen.push_back(*address);
            }
            m_listenLine = line;
        } else if (key == "pdudaemon") {
            const auto address = parseListenAddress(value, error);
            if (!address)
                fail(line, key, error);
            if (address->kind == ListenAddress::Kind::Unix)
                fail(line, key, "pdudaemon's clients speak TCP: give ADDRESS:PORT");
            if (!address->isLocal())
                fail(line, key,
                     "pdudaemon's TCP protocol carries no token: give a loopback address such "
                     "as 127.0.0.2:16421");
            m_config.pdudaemon = address;
        } else if (key == "poll") {
            const auto poll = parseSeconds(value);
            if (!poll || *poll < kMinPoll || *poll > kMaxPoll)
                fail(line, key, "seconds from 0.1 to 3600, not \"" + value + "\"");
            m_config.poll = *poll;
        } else if (key == "audit") {
            if (value.empty() || value[0] != '/')
                fail(line, key, "an absolute path, e.g. /var/lib/relaybox/audit.jsonl");
            m_config.audit = value;
        } else if (key == "tokens") {
            if (value.empty() || value[0] != '/')
                fail(line, key, "an absolute path, e.g. /etc/relaybox/tokens");
            m_config.tokens = value;
        } else {
            fail(line, key,
                 "unknown key (the [daemon] section takes listen, pdudaemon, poll, audit, "
                 "tokens)");
        }
    }

    void switchKey(int line, const std::string &key, const std::string &value)
    {
        if (key != "port")
            fail(line, key, "unknown key (a [switch NAME] section takes port)");
        if (value.empty())
            fail(line, key, "a device path, a name from the port table, or COMn");
        for (const SwitchConfig &other : m_config.switches) {
            if (other.port == value)
                fail(line, key, value + " is already the port of switch " + other.name);
        }
        m_config.switches.back().port = value;
    }

    void outletKey(int line, const std::string &key, const std::string &value)
    {
        OutletConfig &outlet = m_config.outlets.back();
        if (key == "delay") {
            const auto delay = parseSeconds(value);
            if (!delay || *delay > kMaxDelay)
                fail(line, key, "seconds from 0 to 3600, not \"" + value + "\"");
            outlet.delay = *delay;
            return;
        }
        if (key != "ports")
            fail(line, key, "unknown key (an [outlet NAME] section takes ports and delay)");
        for (const std::string_view member : split(value, ',')) {
            const auto parts = words(member);
            if (parts.size() != 3)
                fail(line, key,
                     "each member is SWITCH BANK PORT, e.g. rack-a 2 3; members are "
                     "separated by commas");
            const auto bank = smallNumber(parts[1]);
            const auto port = smallNumber(parts[2]);
            if (!bank || *bank < 1 || *bank > 16)
                fail(line, key, "bank must be 1 to 16, not \"" + std::string(parts[1]) + "\"");
            if (!port || *port < 1 || *port > 8)
                fail(line, key, "port must be 1 to 8, not \"" + std::string(parts[2]) + "\"");
            const OutletMember entry { std::string(parts[0]), *bank, *port };
            for (const OutletMember &earlier : outlet.members) {
                if (earlier == entry)
                    fail(line, key,
                         std::string(member) + " is given twice (members are switched in order)");
            }
            if (outlet.members.size() == kMaxMembers)
                fail(line, key, "more than 128 members");
            outlet.members.push_back(entry);
        }
        m_outletPortsLine.back() = line;
    }

    void checkWhole()
    {
        std::set<std::string> switches;
        for (const SwitchConfig &entry : m_config.switches)
            switches.insert(entry.name);
        for (std::size_t i = 0; i < m_config.outlets.size(); ++i) {
            const OutletConfig &outlet = m_config.outlets[i];
            m_sectionText = "[outlet " + outlet.name + "]";
            for (const OutletMember &member : outlet.members) {
                if (!switches.count(member.switchName))
                    fail(m_outletPortsLine[i], "ports",
                         "there is no [switch " + member.switchName + "]");
            }
        }
        m_sectionText = "[daemon]";
        if (m_config.switches.empty())
            fail(0, {}, "no [switch NAME] section: name at least one switch and its port");
        if (m_config.audit.empty())
            fail(m_daemonLine, "audit",
                 "required: the file that records every switching request, e.g. "
                 "/var/lib/relaybox/audit.jsonl");
        if (m_config.listen.empty())
            fail(m_daemonLine, "listen",
                 "required: e.g. 127.0.0.1:8080 or unix:/run/relaybox/relayboxd.sock");
        for (const ListenAddress &address : m_config.listen) {
            if (!address.isLocal() && m_config.tokens.empty())
                fail(m_listenLine, "listen",
                     address.text()
                         + " is reachable from other machines: give tokens (a file of NAME "
                           "SECRET lines), or listen on loopback or a Unix socket only");
        }
    }

    const std::string &m_file;
    DaemonConfig m_config;
    Section m_section = Section::None;
    std::string m_sectionText;
    int m_sectionLine = 0;
    int m_daemonLine = 0;
    int m_listenLine = 0;
    std::set<std::string> m_keys; // of the current section
    std::set<std::string> m_sections;
    std::vector<int> m_outletPortsLine;
};

} // namespace

std::string ConfigError::text() const
{
    std::string out = file;
    if (line > 0)
        out += ":" + std::to_string(line);
    out += ": ";
    if (!key.empty())
        out += key + ": ";
    return out + message;
}

std::variant<DaemonConfig, ConfigError> parseDaemonConfig(std::string_view content,
                                                          const std::string &fileName)
{
    try {
        return Parser(fileName).parse(content);
    } catch (const Failure &failure) {
        return failure.error;
    }
}

std::variant<DaemonConfig, ConfigError> readDaemonConfig(const std::string &path)
{
    std::error_code error;
    std::ifstream in(path, std::ios::binary);
    if (!std::filesystem::is_regular_file(path, error) || !in)
        return ConfigError { path, 0, {}, "cannot be read" };
    std::string content(kMaxFileBytes + 1, '\0');
    in.read(content.data(), std::streamsize(content.size()));
    content.resize(std::size_t(in.gcount()));
    return parseDaemonConfig(content, path);
}

} // namespace relaybox::service
