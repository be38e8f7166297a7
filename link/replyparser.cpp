#include "reply.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace relaybox {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

// Reads a decimal integer as scanf's "%Nd" does: leading blanks skipped, an optional sign, at
// most width characters (0 = no limit). Saturates instead of overflowing.
std::optional<int> scanInt(std::string_view &text, std::size_t width = 0)
{
    std::size_t at = 0;
    while (at < text.size() && isBlank(text[at]))
        ++at;
    const std::size_t limit = width == 0 ? text.size() : std::min(text.size(), at + width);
    bool negative = false;
    if (at < limit && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    const std::size_t digitsStart = at;
    long long value = 0;
    while (at < limit && text[at] >= '0' && text[at] <= '9') {
        value = std::min<long long>(value * 10 + (text[at] - '0'), std::numeric_limits<int>::max());
        ++at;
    }
    if (at == digitsStart)
        return std::nullopt;
    text.remove_prefix(at);
    return static_cast<int>(negative ? -value : value);
}

// "%f": a finite decimal number at the start of the word.
std::optional<float> scanFloat(std::string_view word)
{
    if (!word.empty() && word.front() == '+')
        word.remove_prefix(1);
    float value = 0.0f;
    const auto [end, error] =
        std::from_chars(word.data(), word.data() + word.size(), value, std::chars_format::general);
    if (error != std::errc() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// "%c%d": the number after the leading letter.
std::optional<int> numberAfterLetter(std::string_view word)
{
    word.remove_prefix(1);
    return scanInt(word);
}

bool containsTimerLetter(std::string_view word)
{
    return word.find_first_of("GF") != std::string_view::npos;
}

// "%c%02d%01d%01d": letter, bank, port, selector. All three numbers or nothing.
bool scanBankPortSelector(std::string_view &text, Reply &reply)
{
    text.remove_prefix(1);
    const auto bank = scanInt(text, 2);
    const auto port = bank ? scanInt(text, 1) : std::nullopt;
    const auto selector = port ? scanInt(text, 1) : std::nullopt;
    if (!selector)
        return false;
    reply.bank = *bank;
    reply.port = *port;
    reply.selector = *selector;
    return true;
}

Reply parseScheduleEntry(std::string_view line)
{
    Reply reply;
    std::string_view rest = line;
    if (!scanBankPortSelector(rest, reply))
        return {};
    const auto hours = scanInt(rest, 3);
    const auto minutes = hours ? scanInt(rest, 2) : std::nullopt;
    const auto seconds = minutes ? scanInt(rest, 2) : std::nullopt;
    if (!seconds)
        return {};
    reply.type = ReplyType::ScheduleEntry;
    reply.entry = EntryReport { line.front(), *hours, *minutes, *seconds };
    return reply;
}

struct Words
{
    static constexpr std::array<std::size_t, 4> kLimits { 24, 14, 9, 9 };
    std::array<std::string_view, 4> word {};
    int count = 0;
};

// Splits at blanks; only the first four words count, each cut to its limit.
Words splitWords(std::string_view line)
{
    Words words;
    std::size_t at = 0;
    while (words.count < 4) {
        while (at < line.size() && isBlank(line[at]))
            ++at;
        if (at == line.size())
            break;
        const std::size_t start = at;
        while (at < line.size() && !isBlank(line[at]))
            ++at;
        const std::string_view word = line.substr(start, at - start);
        words.word[words.count] = word.substr(0, Words::kLimits[words.count]);
        ++words.count;
    }
    return words;
}

Reply typed(ReplyType type)
{
    Reply reply;
    reply.type = type;
    return reply;
}

Reply oneWord(std::string_view word)
{
    Reply reply;
    const char first = word.front();
    if (first == '|' || first == '\\' || first == '/' || first == '-') {
        reply.type = ReplyType::Spinner;
    } else if (first == 'M') {
        reply.type = ReplyType::BankCount;
        reply.number = numberAfterLetter(word);
    } else if (word == "xyz") {
        reply.type = ReplyType::IdentifyAnswer;
    } else if (first == 'Q') {
        reply.word = std::string(word);
        if (scanBankPortSelector(word, reply))
            reply.type = ReplyType::ScheduleClear;
    } else if (word == "err") {
        reply.type = ReplyType::ClockError;
    } else if (first == 'E') {
        reply.word = std::string(word);
        if (scanBankPortSelector(word, reply))
            reply.type = ReplyType::ScheduleSet;
    } else if (word == "OK") {
        reply.type = ReplyType::Success;
    } else if (word == "Fail" || word == "abc") {
        reply.type = ReplyType::LoaderFailure;
    }
    return reply;
}

Reply twoWords(const Words &words)
{
    Reply reply;
    const std::string_view first = words.word[0];
    const std::string_view second = words.word[1];
    if (first.front() == 'S') {
        reply.type = ReplyType::PortLetters;
        reply.number = numberAfterLetter(first);
        if (containsTimerLetter(second))
            reply.timerLetters = std::string(second);
        else
            reply.switchLetters = std::string(second);
    } else if (first.front() == 'C') {
        reply.type = ReplyType::Current;
        reply.number = numberAfterLetter(first);
        reply.current = scanFloat(second);
    } else if (second == "OK") {
        reply.type = ReplyType::Completion;
    } else if (first.front() == 'V') {
        reply.type = ReplyType::Version;
        reply.number = numberAfterLetter(first);
        reply.versionText = std::string(second);
    }
    return reply;
}

Reply fourWords(const Words &words)
{
    static constexpr std::array<std::string_view, 6> kLoaderWords { "Serial", "CPU", "System",
                                                                    "Read",   "LAN", "Check" };
    Reply reply;
    const std::string_view first = words.word[0];
    if (first == "Firmware" || first == "Start")
        return reply;
    if (first == "Please") {
        reply.type = ReplyType::LoaderPrompt;
    } else if (std::find(kLoaderWords.begin(), kLoaderWords.end(), first) != kLoaderWords.end()) {
        reply.type = ReplyType::LoaderText;
    } else if (first.starts_with("Version")) {
        reply.type = ReplyType::Completion;
    } else if (first.front() == 'S') {
        reply.type = ReplyType::FullStatus;
        reply.number = numberAfterLetter(first);
        const bool timersFirst = containsTimerLetter(words.word[1]);
        reply.timerLetters = std::string(words.word[timersFirst ? 1 : 2]);
        reply.switchLetters = std::string(words.word[timersFirst ? 2 : 1]);
        reply.current = scanFloat(words.word[3]);
    }
    return reply;
}

} // namespace

Reply parseReply(std::string_view line)
{
    if (line.empty())
        return {};
    const char first = line.front();
    if (first == 'T' || first == 'D' || first == 'W')
        return parseScheduleEntry(line);

    const Words words = splitWords(line);
    switch (words.count) {
    case 1:
        return oneWord(words.word[0]);
    case 2:
        return twoWords(words);
    case 3:
        return words.word[0] == "Kavtron" ? typed(ReplyType::LoaderText) : Reply {};
    case 4:
        return fourWords(words);
    default:
        return {};
    }
}

} // namespace relaybox
