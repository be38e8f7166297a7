#include "platform/shareendpoint.h"

// Not built for Windows yet: a manager there does not share its line, and relaybox-cli finds no
// endpoint to go through.

namespace relaybox {

std::optional<std::string> shareEndpointPath(const std::string &)
{
    return std::nullopt;
}

bool prepareShareFolder(std::string &error)
{
    error = "sharing the line is not available on Windows";
    return false;
}

} // namespace relaybox
