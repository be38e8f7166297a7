#include "service/serviceapi.h"
#include "service/servicetransport.h"
#include "sharing/scriptendpoint.h"

namespace relaybox::sharing {

namespace {

// The socket is made 0600 in a folder of this user's alone: whoever connects is this user, as
// the peer's credentials also tell the audit trail. No token is asked for.
class UnixScriptEndpoint final : public ScriptEndpoint
{
public:
    explicit UnixScriptEndpoint(service::RelayService &service)
        : api(service, nullptr)
        , transport(api)
    { }

    service::ServiceApi api;
    service::ServiceTransport transport;
};

} // namespace

std::unique_ptr<ScriptEndpoint> openScriptEndpoint(service::RelayService &service,
                                                   const std::string &path, std::string &error)
{
    auto endpoint = std::make_unique<UnixScriptEndpoint>(service);
    if (!endpoint->transport.listenHttp({ service::ListenAddress::Kind::Unix, {}, 0, path }, false,
                                        error, 0600))
        return nullptr;
    endpoint->transport.start();
    return endpoint;
}

} // namespace relaybox::sharing
