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
    std::chrono::milliseconds timeout { 10000 }; // for the switch to confirm a change
    std::chrono::milliseconds delay { 5000 }; // cycle: off, this long, then on
    bool json = false;
    int bank = 0; // 1..16, 0 = all banks (with port 0)
    int portNumber = 0; // 1..8, 0 = the whole bank
};

struct UsageError
{
    std::string message; // one line, without the program name
};

std::variant<Request, UsageError> parseArguments(const std::vector<std::string> &arguments);

std::string usageText();

} // namespace relaybox::cli
