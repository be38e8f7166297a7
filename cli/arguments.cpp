#include "cli/arguments.h"

#include <CLI/CLI.hpp>
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

std::variant<Request, UsageError> parseArguments(const std::vector<std::string> &arguments,
                                                 const std::optional<std::string> &serverVariable)
{
    Request request;
    for (const std::string &argument : arguments) {
        if (argument == "-h" || argument == "--help") {
            request.command = Command::Help;
            return request;
        }
    }

    // CLI11 takes the options wherever they stand ("--timeout 2", "--timeout=2"); the words
    // left over are the command and its arguments.
    CLI::App app;
    app.set_help_flag();
    app.allow_extras();
    std::string port;
    std::string timeoutText;
    std::string delayText;
    std::string server;
    std::string switchName;
    const auto last = CLI::MultiOptionPolicy::TakeLast;
    CLI::Option *portOption = app.add_option("--port", port)->multi_option_policy(last);
    CLI::Option *timeoutOption =
        app.add_option("--timeout", timeoutText)->multi_option_policy(last);
    CLI::Option *delayOption = app.add_option("--delay", delayText)->multi_option_policy(last);
    CLI::Option *serverOption = app.add_option("--server", server)->multi_option_policy(last);
    CLI::Option *switchOption = app.add_option("--switch", switchName)->multi_option_policy(last);
    app.add_flag("--json", request.json);

    std::optional<std::string> optionError; // reported with the command, once it is known
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    for (const std::string &argument : arguments) {
        // CLI11 would take the next word as the value of an empty "--port=".
        for (const CLI::Option *option : app.get_options()) {
            if (argument == option->get_name() + "=")
                optionError = option->get_name() + " needs a value";
        }
    }
    try {
        if (!optionError)
            app.parse(reversed);
    } catch (const CLI::ParseError &error) {
        // "--port: 1 required TEXT missing": the option is named before the colon.
        const std::string what = error.what();
        optionError = what.substr(0, what.find(':')) + " needs a value";
    }
    std::vector<std::string> words;
    for (const std::string &word : app.remaining()) {
        if (!optionError && word.size() >= 2 && word.compare(0, 2, "--") == 0)
            optionError = "unknown option " + word.substr(0, word.find('='));
        words.push_back(word);
    }
    if (!optionError && portOption->count())
        request.port = port;
    if (!optionError && timeoutOption->count()) {
        const auto timeout = parseSeconds(timeoutText, false);
        if (!timeout)
            optionError =
                "--timeout takes seconds above 0, e.g. 10 or 2.5, not \"" + timeoutText + "\"";
        request.timeout = timeout.value_or(request.timeout);
    }
    if (!optionError && serverOption->count()) {
        if (portOption->count())
            optionError = "--port and --server exclude each other";
        request.server = server;
    }
    if (!optionError && !serverOption->count() && !portOption->count() && serverVariable)
        request.server = serverVariable;
    if (!optionError && switchOption->count())
        request.switchName = switchName;

    for (std::size_t i = 0; optionError && i < arguments.size(); ++i) {
        if (commandNamed(arguments[i]))
            return UsageError { *optionError, arguments[i] };
    }
    if (optionError)
        return UsageError { *optionError, {} };
    if (request.switchName && !request.server)
        return UsageError { "--switch belongs to --server (or RELAYBOX_SERVER)", {} };

    if (words.empty())
        return UsageError { "no command given (status, on, off, cycle, version, ports)", {} };
    const auto command = commandNamed(words[0]);
    if (!command)
        return UsageError { "unknown command \"" + words[0] + "\"", {} };
    request.command = *command;
    const auto refuse = [&](std::string message) {
        return UsageError { std::move(message), words[0] };
    };

    if (delayOption->count()) {
        if (request.command != Command::Cycle)
            return refuse("--delay belongs to cycle");
        const auto delay = parseSeconds(delayText, true);
        if (!delay)
            return refuse("--delay takes seconds, e.g. 5 or 0.5, not \"" + delayText + "\"");
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
    return "Usage: relaybox-cli [--port PORT | --server URL [--switch NAME]] [--timeout SECONDS]\n"
           "                    [--json] COMMAND ...\n"
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
           "  --server URL       through relayboxd instead of a port: http://HOST:PORT or\n"
           "                     unix:PATH (default: $RELAYBOX_SERVER, unless --port is\n"
           "                     given); $RELAYBOX_TOKEN, when set, is sent as its token\n"
           "  --switch NAME      the server's switch (needed when it has more than one)\n"
           "  --json             one JSON object on standard output\n"
           "  -h, --help         this text\n"
           "\n"
           "Exit status: 0 done and confirmed by the switch; 1 sent but not confirmed in\n"
           "time; 2 usage error (nothing switched); 3 no switch answered; 4 the port cannot\n"
           "be opened; 130, 143, 129 stopped by SIGINT, SIGTERM, SIGHUP (port closed, the\n"
           "result so far printed).\n";
}

} // namespace relaybox::cli
