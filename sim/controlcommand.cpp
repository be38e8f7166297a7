#include "sim/controlcommand.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace relaybox::sim {

namespace {

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::vector<std::string_view> words(std::string_view text)
{
    std::vector<std::string_view> result;
    std::size_t at = 0;
    while (at < text.size()) {
        const auto start = text.find_first_not_of(" \t", at);
        if (start == std::string_view::npos)
            break;
        auto end = text.find_first_of(" \t", start);
        if (end == std::string_view::npos)
            end = text.size();
        result.push_back(text.substr(start, end - start));
        at = end;
    }
    return result;
}

std::optional<long long> integer(std::string_view text)
{
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// "3.5", "12", "0.25": digits with at most one decimal point, no sign, no exponent.
std::optional<double> amps(std::string_view text)
{
    if (text.empty() || text.size() > 8)
        return std::nullopt;
    double whole = 0;
    double scale = 0;
    bool digit = false;
    for (const char c : text) {
        if (c == '.' && scale == 0) {
            scale = 1;
        } else if (c >= '0' && c <= '9') {
            digit = true;
            if (scale == 0) {
                whole = whole * 10 + (c - '0');
            } else {
                scale /= 10;
                whole += (c - '0') * scale;
            }
        } else {
            return std::nullopt;
        }
    }
    if (!digit)
        return std::nullopt;
    return whole;
}

std::optional<bool> onOff(std::string_view text)
{
    if (text == "on")
        return true;
    if (text == "off")
        return false;
    return std::nullopt;
}

std::optional<std::string> hexBytes(std::string_view text)
{
    std::string bytes;
    int high = -1;
    for (const char c : text) {
        if (c == ' ' || c == '\t')
            continue;
        int nibble = -1;
        if (c >= '0' && c <= '9')
            nibble = c - '0';
        else if (c >= 'a' && c <= 'f')
            nibble = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            nibble = c - 'A' + 10;
        if (nibble < 0)
            return std::nullopt;
        if (high < 0) {
            high = nibble;
        } else {
            bytes += char(high * 16 + nibble);
            high = -1;
        }
    }
    if (high >= 0 || bytes.empty())
        return std::nullopt;
    return bytes;
}

ControlResult ok(std::string_view command, ControlResult::Action action = {})
{
    return { "OK " + std::string(command), action, {} };
}

ControlResult error(std::string why)
{
    return { "ERROR " + why, ControlResult::Action::None, {} };
}

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
    const std::string_view command = trimmed(line);
    const auto args = words(command);
    if (args.empty())
        return error("empty command");
    const std::string_view name = args[0];
    const std::size_t count = args.size();
    // What follows the command word, blanks inside kept (say, raw, expect-image).
    const std::string_view rest = trimmed(command.substr(name.size()));

    if (name == "silent" && count == 2 && onOff(args[1])) {
        model.setSilent(*onOff(args[1]));
        return ok(command);
    }
    if (name == "hangup" && count == 1)
        return ok(command, ControlResult::Action::Hangup);
    if (name == "replug" && count == 1)
        return ok(command, ControlResult::Action::Replug);
    if (name == "quit" && count == 1)
        return ok(command, ControlResult::Action::Quit);
    if (name == "banks" && count == 2) {
        const auto banks = integer(args[1]);
        if (!banks || !model.setBankCount(int(*banks)))
            return error("banks takes a count from 1 to 16");
        return ok(command);
    }
    if (name == "garbage" && count <= 2) {
        auto bytes = count == 2 ? integer(args[1]) : std::optional<long long>(kGarbageBytes);
        if (!bytes || *bytes < 1 || *bytes > static_cast<long long>(kMaxRawBytes))
            return error("garbage takes a byte count from 1 to " + std::to_string(kMaxRawBytes));
        model.sendGarbage(std::size_t(*bytes));
        return ok(command);
    }
    if (name == "longline" && count == 1) {
        model.sendRaw(longLine());
        return ok(command);
    }
    if (name == "say") {
        if (rest.empty())
            return error("say needs the text of a reply line");
        model.sendLine(rest);
        return ok(command);
    }
    if (name == "raw") {
        const auto bytes = hexBytes(rest);
        if (!bytes || bytes->size() > kMaxRawBytes)
            return error("raw takes pairs of hex digits, at most " + std::to_string(kMaxRawBytes)
                         + " bytes");
        model.sendRaw(*bytes);
        return ok(command);
    }
    if (name == "status" && count == 2 && (args[1] == "full" || args[1] == "split")) {
        model.setStatusForm(args[1] == "full" ? StatusForm::Full : StatusForm::Split);
        return ok(command);
    }
    if (name == "current" && count == 3) {
        const auto bank = integer(args[1]);
        const auto value = amps(args[2]);
        if (!bank || !value || !model.setCurrent(int(*bank), *value))
            return error("current takes a bank from 1 to 16 and amperes from 0 to 99.9");
        return ok(command);
    }
    if (name == "drift" && count == 2 && onOff(args[1])) {
        model.setDrift(*onOff(args[1]), now);
        return ok(command);
    }
    if (name == "flag" && count == 4 && onOff(args[3])) {
        const auto bank = integer(args[1]);
        const auto port = integer(args[2]);
        if (!bank || !port || !model.setFlag(int(*bank), int(*port), *onOff(args[3])))
            return error("flag takes a bank from 1 to 16 and a port from 1 to 8");
        return ok(command);
    }
    if (name == "stuck" && count == 4 && onOff(args[3])) {
        const auto bank = integer(args[1]);
        const auto port = integer(args[2]);
        if (!bank || !port || !model.setStuck(int(*bank), int(*port), *onOff(args[3])))
            return error("stuck takes a bank from 1 to 16 and a port from 1 to 8");
        return ok(command);
    }
    if (name == "report-timers" && count == 1) {
        const int sent = model.reportTimers(now);
        ControlResult result = ok(command);
        result.events.push_back("TIMERS REPORTED " + std::to_string(sent));
        return result;
    }
    if (name == "clock-fail" && count == 2 && onOff(args[1])) {
        model.setClockFail(*onOff(args[1]));
        return ok(command);
    }
    if (name == "advance" && count == 2) {
        const auto seconds = integer(args[1]);
        if (!seconds || *seconds < 0 || *seconds > 999'999'999
            || !model.advanceClock(std::chrono::seconds(*seconds), now))
            return error("advance takes whole seconds from 0 to 999999999");
        return ok(command);
    }
    if (name == "expect-image" && !rest.empty()) {
        if (rest == "off") {
            model.setExpectedImage(std::nullopt);
            return ok(command);
        }
        std::string why;
        auto image = readImageFile(std::string(rest), why);
        if (!image)
            return error(why);
        model.setExpectedImage(std::move(image));
        return ok(command);
    }
    if (name == "drop-upload" && count == 1) {
        model.dropNextUploadByte();
        return ok(command);
    }
    if (name == "loader" && count == 1) {
        model.enterLoader();
        return ok(command);
    }
    if (name == "state" && count == 1) {
        ControlResult result = ok(command);
        result.events = model.describe(now);
        return result;
    }
    return error("unknown or malformed command: " + std::string(command)
                 + " (relaybox-sim --help lists them)");
}

} // namespace relaybox::sim
