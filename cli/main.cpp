// relaybox-cli: switches the ports of a KESTRANE Relaybox from scripts and reports success only
// when the switch's own status shows the change. Parses the command line and dispatches.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/exitstatus.h"
#include "cli/json.h"

int main(int argc, char **argv)
{
    using namespace relaybox::cli;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const auto parsed = parseArguments(arguments);
    if (const auto *error = std::get_if<UsageError>(&parsed)) {
        std::fprintf(stderr, "relaybox-cli: %s\nTry 'relaybox-cli --help'.\n",
                     error->message.c_str());
        for (const std::string &argument : arguments) {
            if (argument == "--json") {
                std::printf("{\"error\": %s, \"exit\": %d}\n", json::quoted(error->message).c_str(),
                            kUsage);
                break;
            }
        }
        return kUsage;
    }
    const Request &request = std::get<Request>(parsed);
    if (request.command == Command::Help) {
        std::fputs(usageText().c_str(), stdout);
        return kDone;
    }
    return runCommand(request);
}
