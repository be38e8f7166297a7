#include "platform/shareaccessfile.h"
#include "service/loopbackhttp.h"
#include "service/serviceapi.h"
#include "sharing/scriptendpoint.h"

namespace relaybox::sharing {

namespace {

// Any local program may connect to a loopback port, so each request must carry the token that
// only this user can read from the endpoint's file; one that does acts for this user.
class LoopbackScriptEndpoint final : public ScriptEndpoint
{
public:
    LoopbackScriptEndpoint(service::RelayService &service, std::string path, std::string token,
                           service::AccessTokens tokens)
        : m_path(std::move(path))
        , m_token(std::move(token))
        , m_tokens(std::move(tokens))
        , m_api(service, &m_tokens)
        , m_http(m_api, m_tokens, thisUserName())
    { }

    ~LoopbackScriptEndpoint() override
    {
        removeShareAccessFile(m_path, m_token);
        m_http.stop();
    }

    bool listen(std::string &error)
    {
        const int port = m_http.listen(error);
        return port > 0 && writeShareAccessFile(m_path, port, m_token, error);
    }

private:
    const std::string m_path;
    const std::string m_token;
    const service::AccessTokens m_tokens;
    service::ServiceApi m_api;
    service::LoopbackHttp m_http;
};

} // namespace

std::unique_ptr<ScriptEndpoint> openScriptEndpoint(service::RelayService &service,
                                                   const std::string &path, std::string &error)
{
    const std::string token = newShareToken();
    auto tokens = service::AccessTokens::parse("scripts " + token, path, error);
    if (!tokens)
        return nullptr;
    auto endpoint = std::make_unique<LoopbackScriptEndpoint>(service, path, token, *tokens);
    if (!endpoint->listen(error))
        return nullptr;
    return endpoint;
}

} // namespace relaybox::sharing
