#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sim/devicemodel.h"

// The simulator's control language (one command per line on its standard input, or
// SimulatedSwitch::command in process): applied to the device model; what needs the terminal
// (hangup, replug, quit) comes back as an action for the server.

namespace relaybox::sim {

struct ControlResult
{
    enum class Action { None, Hangup, Replug, Quit };
    std::string reply; // "OK <command>" or "ERROR <why>"
    Action action = Action::None;
    std::vector<std::string> events; // shown before the reply
};

class ControlCommand
{
public:
    static constexpr std::size_t kMaxRawBytes = 4096;
    static constexpr std::size_t kGarbageBytes = 64;
    static constexpr std::size_t kLongLine = 300;
    static constexpr std::size_t kMaxImageBytes = 1 << 20;

    static ControlResult run(std::string_view line, DeviceModel &model, Millis now);

    // The "Control commands" lines of --help, one command each, from the table that runs them.
    static std::string help();

    // The over-long line of the "longline" command: a status-shaped line, framed, kLongLine
    // characters between its "/" and backslash, every word far beyond what the host keeps.
    static std::string longLine();
};

// Reads an image file for the loader to compare against; empty with a message in error when the
// file cannot be read or is larger than ControlCommand::kMaxImageBytes.
std::optional<std::vector<std::uint8_t>> readImageFile(const std::string &path, std::string &error);

} // namespace relaybox::sim
