// For builds without an HTTP client: --server is refused before anything is sent.
#include "cli/callreport.h"
#include "cli/exitstatus.h"
#include "cli/servercall.h"

namespace relaybox::cli {

int runThroughServer(const Request &request)
{
    CallReport report(request.json, commandName(request.command));
    report.fail(kUsage, "--server is not available in this build of relaybox-cli; use --port");
    report.print();
    return kUsage;
}

int runThroughManager(const Request &request, const std::string &device, const std::string &)
{
    CallReport report(request.json, commandName(request.command));
    report.add("device", device);
    report.fail(kPortUnavailable,
                "cannot open " + device
                    + ": held by the KESTRANE Relaybox manager; this build of relaybox-cli cannot "
                      "go through it");
    report.print();
    return kPortUnavailable;
}

} // namespace relaybox::cli
