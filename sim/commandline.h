#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sim/simulatedswitch.h"

// relaybox-sim's command line: options into SimOptions, and the --help text that documents every
// option, control command and output line.

namespace relaybox::sim {

struct CommandLine
{
    SimOptions options;
    bool help = false;
};

// args without the program name. Empty, with a message in error, for a bad command line.
std::optional<CommandLine> parseCommandLine(const std::vector<std::string> &args,
                                            std::string &error);

std::string helpText();

} // namespace relaybox::sim
