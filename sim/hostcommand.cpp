#include "sim/hostcommand.h"

namespace relaybox::sim {

namespace {

// The number in text[at, at + width) when every one of those characters is a digit.
std::optional<int> digits(std::string_view text, std::size_t at, std::size_t width)
{
    if (at + width > text.size())
        return std::nullopt;
    int value = 0;
    for (std::size_t i = at; i < at + width; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

std::optional<HostCommand> parseSwitch(std::string_view body)
{
    const auto bank = digits(body, 1, 2);
    const auto port = digits(body, 3, 1);
    if (body.size() != 4 || !bank || !port)
        return std::nullopt;
    HostCommand command;
    command.kind = body[0] == 'O' ? HostCommand::Kind::SwitchOn : HostCommand::Kind::SwitchOff;
    command.bank = *bank;
    command.port = *port;
    return command;
}

std::optional<HostCommand> parseClear(std::string_view body)
{
    const auto bank = digits(body, 1, 2);
    const auto port = digits(body, 3, 1);
    const auto selector = digits(body, 4, 1);
    if (body.size() != 5 || !bank || !port || !selector)
        return std::nullopt;
    HostCommand command;
    command.kind = HostCommand::Kind::ScheduleClear;
    command.bank = *bank;
    command.port = *port;
    command.selector = *selector;
    return command;
}

// "T0231 0000430": letter, bank, port, selector, blank, hours (3), minutes (2), seconds (2).
std::optional<HostCommand> parseEntry(std::string_view body)
{
    const auto bank = digits(body, 1, 2);
    const auto port = digits(body, 3, 1);
    const auto selector = digits(body, 4, 1);
    const auto hours = digits(body, 6, 3);
    const auto minutes = digits(body, 9, 2);
    const auto seconds = digits(body, 11, 2);
    if (body.size() != 13 || body[5] != ' ' || !bank || !port || !selector || !hours || !minutes
        || !seconds)
        return std::nullopt;
    HostCommand command;
    command.kind = HostCommand::Kind::ScheduleEntry;
    command.letter = body[0];
    command.bank = *bank;
    command.port = *port;
    command.selector = *selector;
    command.hours = *hours;
    command.minutes = *minutes;
    command.seconds = *seconds;
    return command;
}

// "SETTIME2026-12-06 21:30:05"
std::optional<HostCommand> parseClock(std::string_view body)
{
    constexpr std::string_view kPrefix = "SETTIME20";
    if (body.size() != 26 || body.substr(0, kPrefix.size()) != kPrefix || body[11] != '-'
        || body[14] != '-' || body[17] != ' ' || body[20] != ':' || body[23] != ':')
        return std::nullopt;
    const auto year = digits(body, 9, 2);
    const auto month = digits(body, 12, 2);
    const auto day = digits(body, 15, 2);
    const auto hour = digits(body, 18, 2);
    const auto minute = digits(body, 21, 2);
    const auto second = digits(body, 24, 2);
    if (!year || !month || !day || !hour || !minute || !second)
        return std::nullopt;
    HostCommand command;
    command.kind = HostCommand::Kind::ClockSet;
    command.clock = { 2000 + *year, *month, *day, *hour, *minute, *second };
    if (!isValid(command.clock))
        return std::nullopt;
    return command;
}

std::optional<HostCommand> simple(HostCommand::Kind kind)
{
    HostCommand command;
    command.kind = kind;
    return command;
}

} // namespace

std::optional<HostCommand> parseHostCommand(std::string_view frame)
{
    if (frame.size() < 3 || frame.front() != '/' || frame.back() != '\\')
        return std::nullopt;
    const std::string_view body = frame.substr(1, frame.size() - 2);

    if (body == "uni")
        return simple(HostCommand::Kind::Identify);
    if (body == "VER")
        return simple(HostCommand::Kind::VersionQuery);
    if (body == "C")
        return simple(HostCommand::Kind::StatusPoll);
    if (body == "EN001")
        return simple(HostCommand::Kind::RestoreOn);
    if (body == "DS001")
        return simple(HostCommand::Kind::RestoreOff);
    if (body == "UPGRADE")
        return simple(HostCommand::Kind::UpgradeStart);
    switch (body.front()) {
    case 'O':
    case 'F':
        return parseSwitch(body);
    case 'Q':
        return parseClear(body);
    case 'T':
    case 'D':
    case 'W':
        return parseEntry(body);
    case 'S':
        return parseClock(body);
    default:
        return std::nullopt;
    }
}

} // namespace relaybox::sim
