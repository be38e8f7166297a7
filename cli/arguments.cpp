#include "cli/arguments.h"

#include <cmath>
#include <cstdlib>

namespace relaybox::cli {

namespace {

constexpr double kMaxSeconds = 24 * 60 * 60;

bool allDigits(const std::string &text)
{
    if (text.empty() || text.size() > 3)
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// A number of seconds, fractions allowed: "10", "0.5".
std::optional<std::chrono::milliseconds> parseSeconds(const std::string &text, bool zeroAllowed)
{
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos)
        return std::nullopt;
    char *end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(seconds) || seconds > kMaxSeconds
        || (!zeroAllowed && seconds <= 0))
        return std::nullopt;
    return std::chrono::milliseconds(std::llround(seconds * 1000));
}

std::optional<Command> commandNamed(const std::string &name)
{
    if (name == "status")
        return Command::Status;
    if (name == "on")
        return Command::On;
    if (name == "off")
        return Command::Off;
    if (name == "cycle")
        return Command::Cycle;
    if (name == "version")
        return Command::Version;
    if (name == "ports")
        return Command::Ports;
    return std::nullopt;
}

bool takesBankAndPort(Command command)
{
    return command == Command::On || command == Command::Off || command == Command::Cycle;
}

} // namespace

std::variant<Request, UsageError> parseArguments(const std::vector<std::string> &arguments)
{
    Request request;
    std::vector<std::string> words;
    std::optional<std::string> delayText;
    std::optional<std::string> optionError; // reported with the command, once it is known

    for (std::size_t i = 0; i < arguments.size() && !optionError; ++i) {
        std::string option = arguments[i];
        if (option == "-h" || option == "--help") {
            request.command = Command::Help;
            return request;
        }
        if (option == "--json") {
            request.json = true;
            continue;
        }
        if (option.size() < 2 || option.compare(0, 2, "--") != 0) {
            words.push_back(option);
            continue;
        }
        std::optional<std::string> value;
        if (const auto equals = option.find('='); equals != std::string::npos) {
            value = option.substr(equals + 1);
            option.resize(equals);
        }
        if (option != "--port" && option != "--timeout" && option != "--delay") {
            optionError = "unknown option " + option;
        } else if (!value && i + 1 >= arguments.size()) {
            optionError = option + " needs a value";
        } else {
            if (!value)
                value = arguments[++i];
            if (option == "--port") {
                if (value->empty())
                    optionError = "--port needs a port";
                request.port = *value;
            } else if (option == "--timeout") {
                const auto timeout = parseSeconds(*value, false);
                if (!timeout)
                    optionError =
                        "--timeout takes seconds above 0, e.g. 10 or 2.5, not \"" + *value + "\"";
                request.timeout = timeout.value_or(request.timeout);
            } else {
                delayText = *value;
            }
        }
    }
    for (std::size_t i = 0; optionError && i < arguments.size(); ++i) {
        if (commandNamed(arguments[i]))
            return UsageError { *optionError, arguments[i] };
    }
    if (optionError)
        return UsageError { *optionError, {} };

    if (words.empty())
        return UsageError { "no command given (status, on, off, cycle, version, ports)", {} };
    const auto command = commandNamed(words[0]);
    if (!command)
        return UsageError { "unknown command \"" + words[0] + "\"", {} };
    request.command = *command;
    const auto refuse = [&](std::string message) {
        return UsageError { std::move(message), words[0] };
    };

    if (delayText) {
        if (request.command != Command::Cycle)
            return refuse("--delay belongs to cycle");
        const auto delay = parseSeconds(*delayText, true);
        if (!delay)
            return refuse("--delay takes seconds, e.g. 5 or 0.5, not \"" + *delayText + "\"");
        request.delay = *delay;
    }

    if (!takesBankAndPort(request.command)) {
        if (words.size() > 1)
            return refuse(words[0] + " takes no arguments, got \"" + words[1] + "\"");
        return request;
    }
    if (words.size() < 3)
        return refuse(words[0] + " needs BANK PORT");
    if (words.size() > 3)
        return refuse("too many arguments after " + words[0] + ": \"" + words[3] + "\"");
    if (!allDigits(words[1]) || std::atoi(words[1].c_str()) > 16)
        return refuse("BANK must be 1 to 16, or 0 for all banks, not \"" + words[1] + "\"");
    if (!allDigits(words[2]) || std::atoi(words[2].c_str()) > 8)
        return refuse("PORT must be 1 to 8, or 0 for the whole bank, not \"" + words[2] + "\"");
    request.bank = std::atoi(words[1].c_str());
    request.portNumber = std::atoi(words[2].c_str());
    if (request.bank == 0 && request.portNumber != 0)
        return refuse("BANK 0 means all banks and takes PORT 0");
    return request;
}

std::string commandName(Command command)
{
    switch (command) {
    case Command::Status:
        return "status";
    case Command::On:
        return "on";
    case Command::Off:
        return "off";
    case Command::Cycle:
        return "cycle";
    case Command::Version:
        return "version";
    case Command::Ports:
        return "ports";
    case Command::Help:
        break;
    }
    return "help";
}

std::string usageText()
{
    return "Usage: relaybox-cli [--port PORT] [--timeout SECONDS] [--json] COMMAND ...\n"
           "\n"
           "Switches the ports of a KESTRANE Relaybox and reports success only when the\n"
           "switch's own status shows the change.\n"
           "\n"
           "Commands:\n"
           "  status                     every bank: each port on/off, timer flag, current\n"
           "  on  BANK PORT              PORT 1..8, or 0 = the whole bank;\n"
           "                             BANK 0 with PORT 0 = all banks\n"
           "  off BANK PORT\n"
           "  cycle BANK PORT [--delay SECONDS]\n"
           "                             off, wait (default 5 s), on: each step confirmed\n"
           "  version                    firmware version of every bank\n"
           "  ports                      the host port table, with the index define.ini's\n"
           "                             ComPort takes\n"
           "\n"
           "Options:\n"
           "  --port PORT        a device path, a name from the port table, COMn on\n"
           "                     Windows, or auto to search the table; default: the port\n"
           "                     define.ini's ComPort names (no port at all is an error)\n"
           "  --timeout SECONDS  for the whole call: waiting for the port while other\n"
           "                     relaybox-cli calls use it, Identify, confirmation\n"
           "                     (default 10; cycle's on step gets its own after the delay)\n"
           "  --json             one JSON object on standard output\n"
           "  -h, --help         this text\n"
           "\n"
           "Exit status: 0 done and confirmed by the switch; 1 sent but not confirmed in\n"
           "time; 2 usage error (nothing switched); 3 no switch answered; 4 the port cannot\n"
           "be opened; 130, 143, 129 stopped by SIGINT, SIGTERM, SIGHUP (port closed, the\n"
           "result so far printed).\n";
}

} // namespace relaybox::cli
