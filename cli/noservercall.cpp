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

} // namespace relaybox::cli
