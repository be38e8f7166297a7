#pragma once

#include <memory>
#include <string>

#include "service/relayservice.h"

// Where scripts reach the switching service the window hosts, in the form this system allows:
// a Unix socket only its user can open, or a loopback port whose token waits in a file only its
// user can read. It serves the service's HTTP API for as long as it lives.

namespace relaybox::sharing {

class ScriptEndpoint
{
public:
    virtual ~ScriptEndpoint() = default; // stops listening and removes the endpoint
};

// Listens at `path` (from shareEndpointPath); empty with the reason in `error`.
std::unique_ptr<ScriptEndpoint> openScriptEndpoint(service::RelayService &service,
                                                   const std::string &path, std::string &error);

} // namespace relaybox::sharing
