#pragma once

#include <functional>
#include <httplib.h>

#include "service/clientidentity.h"
#include "service/serviceapi.h"
#include "service/transportlimits.h"

// Hands every request cpp-httplib parses to the service's API, within the transport's limits on
// headers and body, and writes the API's answer back. The same for every listener.

namespace relaybox::service {

void routeToApi(httplib::Server &server, const ServiceApi &api, const TransportLimits &limits,
                bool tokenRequired,
                std::function<ClientIdentity(const httplib::Request &)> clientOf);

} // namespace relaybox::service
