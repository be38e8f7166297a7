#include "sim/controlcommand.h"

#include <algorithm>
#include <array>
#include <fstream>

#include "sim/controlarguments.h"

namespace relaybox::sim {

namespace {

struct Call
{
    const ControlArguments &args;
    DeviceModel &model;
    Millis now;

    ControlResult ok(ControlResult::Action action = {}) const
    {
        return { "OK " + std::string(args.command), action, {} };
    }
};

ControlResult error(std::string why)
{
    return { "ERROR " + why, ControlResult::Action::None, {} };
}

// Empty: the command's words do not fit its usage, answered with the one "unknown or malformed"
// error.
using Outcome = std::optional<ControlResult>;

// One control command: how it is written, what --help says of it, and what it does. The usage's
// first word is the command's name.
struct CommandEntry
{
    std::string_view usage;
    std::string_view help; // lines after the first are indented under it
    Outcome (*run)(const Call &);

    std::string_view name() const { return usage.substr(0, usage.find(' ')); }
};

// A bank and port in words 1 and 2, on or off in word 3: flag and stuck.
template<bool (DeviceModel::*set)(int, int, bool)>
Outcome setPortMark(const Call &call, std::string_view name)
{
    const auto on = call.args.onOff(3);
    if (call.args.count() != 4 || !on)
        return std::nullopt;
    const auto bank = call.args.integer(1);
    const auto port = call.args.integer(2);
    if (!bank || !port || !(call.model.*set)(int(*bank), int(*port), *on))
        return error(std::string(name) + " takes a bank from 1 to 16 and a port from 1 to 8");
    return call.ok();
}

const std::array kCommands {
    CommandEntry { "silent on|off", "stop or resume every reply",
                   [](const Call &call) -> Outcome {
                       const auto on = call.args.onOff(1);
                       if (call.args.count() != 2 || !on)
                           return std::nullopt;
                       call.model.setSilent(*on);
                       return call.ok();
                   } },
    CommandEntry { "hangup",
                   "close the terminal as an unplugged cable does (the host\n"
                   "sees a hang-up); the link is removed",
                   [](const Call &call) -> Outcome {
                       if (call.args.count() != 1)
                           return std::nullopt;
                       return call.ok(ControlResult::Action::Hangup);
                   } },
    CommandEntry { "replug", "a new terminal; the link points to it",
                   [](const Call &call) -> Outcome {
                       if (call.args.count() != 1)
                           return std::nullopt;
                       return call.ok(ControlResult::Action::Replug);
                   } },
    CommandEntry { "banks N",
                   "change the bank count (1 to 16); banks that leave the\n"
                   "chain lose their timers",
                   [](const Call &call) -> Outcome {
                       if (call.args.count() != 2)
                           return std::nullopt;
                       const auto banks = call.args.integer(1);
                       if (!banks || !call.model.setBankCount(int(*banks)))
                           return error("banks takes a count from 1 to 16");
                       return call.ok();
                   } },
    CommandEntry { "garbage [N]", "send N random bytes (default 64)",
                   [](const Call &call) -> Outcome {
                       if (call.args.count() > 2)
                           return std::nullopt;
                       const auto bytes = call.args.count() == 2
                           ? call.args.integer(1)
                           : std::optional<long long>(ControlCommand::kGarbageBytes);
                       if (!bytes || *bytes < 1
                           || *bytes > static_cast<long long>(ControlCommand::kMaxRawBytes))
                           return error("garbage takes a byte count from 1 to "
                                        + std::to_string(ControlCommand::kMaxRawBytes));
                       call.model.sendGarbage(std::size_t(*bytes));
                       return call.ok();
                   } },
    CommandEntry { "longline", "send a 300-character status-shaped line",
                   [](const Call &call) -> Outcome {
                       if (call.args.count() != 1)
                           return std::nullopt;
                       call.model.sendRaw(ControlCommand::longLine());
                       return call.ok();
                   } },
    CommandEntry { "say TEXT", "send TEXT as one reply line, \"/\" TEXT backslash",
                   [](const Call &call) -> Outcome {
                       if (call.args.rest.empty())
                           return error("say needs the text of a reply line");
                       call.model.sendLine(call.args.rest);
                       return call.ok();
                   } },
    CommandEntry { "raw HEX", "send bytes given as hex pairs, e.g. raw 2f 78 79 7a 5c",
                   [](const Call &call) -> Outcome {
                       const auto bytes = hexBytes(call.args.rest);
                       if (!bytes || bytes->size() > ControlCommand::kMaxRawBytes)
                           return error("raw takes pairs of hex digits, at most "
                                        + std::to_string(ControlCommand::kMaxRawBytes) + " bytes");
                       call.model.sendRaw(*bytes);
                       return call.ok();
                   } },
    CommandEntry { "status full|split", "change the status form",
                   [](const Call &call) -> Outcome {
                       if (call.args.count() != 2
                           || (call.args.words[1] != "full" && call.args.words[1] != "split"))
                           return std::nullopt;
                       call.model.setStatusForm(call.args.words[1] == "full" ? StatusForm::Full
                                                                             : StatusForm::Split);
                       return call.ok();
                   } },
    CommandEntry { "current BANK AMPS", "load of one bank",
                   [](const Call &call) -> Outcome {
                       if (call.args.count() != 3)
                           return std::nullopt;
                       const auto bank = call.args.integer(1);
                       const auto value = call.args.amps(2);
                       if (!bank || !value || !call.model.setCurrent(int(*bank), *value))
                           return error(
                               "current takes a bank from 1 to 16 and amperes from 0 to 99.9");
                       return call.ok();
                   } },
    CommandEntry { "drift on|off", "drifting loads (drift continues from set values)",
                   [](const Call &call) -> Outcome {
                       const auto on = call.args.onOff(1);
                       if (call.args.count() != 2 || !on)
                           return std::nullopt;
                       call.model.setDrift(*on, call.now);
                       return call.ok();
                   } },
    CommandEntry { "flag BANK PORT on|off", "show F for the port in the timer letters",
                   [](const Call &call) {
                       return setPortMark<&DeviceModel::setFlag>(call, "flag");
                   } },
    CommandEntry { "stuck BANK PORT on|off",
                   "a stuck relay: the port keeps its state whatever the\n"
                   "host or a timer asks",
                   [](const Call &call) {
                       return setPortMark<&DeviceModel::setStuck>(call, "stuck");
                   } },
    CommandEntry { "report-timers", "send every held timer as \"/T0231 000 04 30\\\"",
                   [](const Call &call) -> Outcome {
                       if (call.args.count() != 1)
                           return std::nullopt;
                       const int sent = call.model.reportTimers(call.now);
                       ControlResult result = call.ok();
                       result.events.push_back("TIMERS REPORTED " + std::to_string(sent));
                       return result;
                   } },
    CommandEntry { "clock-fail on|off", "as --clock-fail",
                   [](const Call &call) -> Outcome {
                       const auto on = call.args.onOff(1);
                       if (call.args.count() != 2 || !on)
                           return std::nullopt;
                       call.model.setClockFail(*on);
                       return call.ok();
                   } },
    CommandEntry { "advance SECONDS", "move the switch's clock forward; due timers fire",
                   [](const Call &call) -> Outcome {
                       if (call.args.count() != 2)
                           return std::nullopt;
                       const auto seconds = call.args.integer(1);
                       if (!seconds || *seconds < 0 || *seconds > 999'999'999
                           || !call.model.advanceClock(std::chrono::seconds(*seconds), call.now))
                           return error("advance takes whole seconds from 0 to 999999999");
                       return call.ok();
                   } },
    CommandEntry { "expect-image PATH|off", "as --expect-image, or stop checking",
                   [](const Call &call) -> Outcome {
                       if (call.args.rest.empty())
                           return std::nullopt;
                       if (call.args.rest == "off") {
                           call.model.setExpectedImage(std::nullopt);
                           return call.ok();
                       }
                       std::string why;
                       auto image = readImageFile(std::string(call.args.rest), why);
                       if (!image)
                           return error(why);
                       call.model.setExpectedImage(std::move(image));
                       return call.ok();
                   } },
    CommandEntry { "drop-upload", "hang up when the next firmware byte arrives",
                   [](const Call &call) -> Outcome {
                       if (call.args.count() != 1)
                           return std::nullopt;
                       call.model.dropNextUploadByte();
                       return call.ok();
                   } },
    CommandEntry { "loader", "enter loader mode",
                   [](const Call &call) -> Outcome {
                       if (call.args.count() != 1)
                           return std::nullopt;
                       call.model.enterLoader();
                       return call.ok();
                   } },
    CommandEntry { "state", "print the switch's state as STATE lines",
                   [](const Call &call) -> Outcome {
                       if (call.args.count() != 1)
                           return std::nullopt;
                       ControlResult result = call.ok();
                       result.events = call.model.describe(call.now);
                       return result;
                   } },
    CommandEntry { "quit", "end",
                   [](const Call &call) -> Outcome {
                       if (call.args.count() != 1)
                           return std::nullopt;
                       return call.ok(ControlResult::Action::Quit);
                   } },
};

} // namespace

std::string ControlCommand::longLine()
{
    // "S01 OOO...O CCC...C 999...9": a Full status reply whose words are all far too long.
    std::string text = "S01 ";
    text.append(100, 'O');
    text += ' ';
    text.append(100, 'C');
    text += ' ';
    text.append(kLongLine - text.size(), '9');
    return "/" + text + "\\";
}

std::optional<std::vector<std::uint8_t>> readImageFile(const std::string &path, std::string &error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    char buffer[4096];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        bytes.insert(bytes.end(), buffer, buffer + file.gcount());
        if (bytes.size() > ControlCommand::kMaxImageBytes) {
            error = path + " is larger than " + std::to_string(ControlCommand::kMaxImageBytes)
                + " bytes";
            return std::nullopt;
        }
    }
    if (file.bad()) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    return bytes;
}

ControlResult ControlCommand::run(std::string_view line, DeviceModel &model, Millis now)
{
    const ControlArguments args(line);
    if (args.words.empty())
        return error("empty command");
    for (const CommandEntry &entry : kCommands) {
        if (entry.name() != args.words.front())
            continue;
        if (auto result = entry.run(Call { args, model, now }))
            return std::move(*result);
        break;
    }
    return error("unknown or malformed command: " + std::string(args.command)
                 + " (relaybox-sim --help lists them)");
}

std::string ControlCommand::help()
{
    constexpr std::size_t kUsageWidth = 21;
    const std::string indent(2 + kUsageWidth + 1, ' ');
    std::string text;
    for (const CommandEntry &entry : kCommands) {
        std::string usage(entry.usage);
        usage.resize(std::max(usage.size(), kUsageWidth), ' ');
        text += "  " + usage + ' ';
        for (const char c : entry.help)
            text += c == '\n' ? '\n' + indent : std::string(1, c);
        text += '\n';
    }
    return text;
}

} // namespace relaybox::sim
