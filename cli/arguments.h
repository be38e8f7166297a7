#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// The command line of relaybox-cli as values, checked completely before any port is opened.

namespace relaybox::cli {

enum class Command { Status, On, Off, Cycle, Version, Ports, Help };

struct Request
{
    Command command = Command::Help;
    std::optional<std::string> port; // --port; empty: define.ini's ComPort
    std::optional<std::string> server; // --server: through relayboxd instead of a port
    std::optional<std::string> switchName; // --switch: the server's switch
    std::chrono::milliseconds timeout { 10000 }; // the whole call: port, Identify, confirmation
    std::chrono::milliseconds delay { 5000 }; // cycle: off, this long, then on
    bool json = false;
    int bank = 0; // 1..16, 0 = all banks (with port 0)
    int portNumber = 0; // 1..8, 0 = the whole bank
};

struct UsageError
{
    std::string message; // one line, without the program name
    std::string command; // the command named on the line, empty when none was
};

// serverVariable: $RELAYBOX_SERVER, taken when neither --port nor --server is given.
std::variant<Request, UsageError> parseArguments(const std::vector<std::string> &arguments,
                                                 const std::optional<std::string> &serverVariable);

std::string commandName(Command command); // "on", as on the command line

std::string usageText();

} // namespace relaybox::cli
