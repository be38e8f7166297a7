// relaybox-cli: switches the ports of a KESTRANE Relaybox from scripts and reports success only
// when the switch's own status shows the change. Parses the command line and dispatches.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/callreport.h"
#include "cli/commands.h"
#include "cli/exitstatus.h"
#include "platform/stopsignals.h"

int main(int argc, char **argv)
{
    using namespace relaybox::cli;
    relaybox::catchStopSignals();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const char *server = std::getenv("RELAYBOX_SERVER");
    const auto parsed = parseArguments(
        arguments, server && *server ? std::optional<std::string>(server) : std::nullopt);
    if (const auto *error = std::get_if<UsageError>(&parsed)) {
        bool json = false;
        for (const std::string &argument : arguments)
            json = json || argument == "--json";
        CallReport report(json, error->command);
        report.fail(kUsage, error->message);
        report.print();
        return kUsage;
    }
    const Request &request = std::get<Request>(parsed);
    if (request.command == Command::Help) {
        std::fputs(usageText().c_str(), stdout);
        return kDone;
    }
    return runCommand(request);
}
