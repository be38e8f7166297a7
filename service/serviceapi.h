#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "service/accesstokens.h"
#include "service/clientidentity.h"
#include "service/relayservice.h"

// The service's HTTP API as plain values, independent of the HTTP library that carries it: a
// request (method, path, query, body, who sent it) in, a status code and a body out. Also
// pdudaemon's one-line TCP protocol.
//
//   GET  /api/v1/switches, /api/v1/switches/NAME, /api/v1/outlets, /metrics
//   POST /api/v1/switches/NAME/banks/B/ports/P/on|off|cycle[?timeout=S][&delay=S]
//   POST /api/v1/outlets/NAME/on|off|cycle[?timeout=S][&delay=S]
//   GET|PUT /api/v1/switches/NAME/outlets/INDEX/value    (a labgrid "rest" power port)
//   GET|POST /power/control/on|off|reboot?hostname=SWITCH&port=INDEX_OR_OUTLET[&delay=S]

namespace relaybox::service {

struct ApiRequest
{
    std::string method;
    std::string path; // decoded, without the query
    std::vector<std::pair<std::string, std::string>> query; // decoded, in order
    std::string body;
    std::string target; // the request line's target as sent, for the audit trail
    std::string authorization; // the header's value; empty when absent
    bool tokenRequired = false; // the listener is reachable from other machines
    ClientIdentity client;
};

struct ApiResponse
{
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
};

class ServiceApi
{
public:
    static constexpr std::size_t kMaxBodyBytes = 4096;

    // tokens may be null when no listener needs them.
    ServiceApi(RelayService &service, const AccessTokens *tokens);

    ApiResponse handle(const ApiRequest &request) const;

    // pdudaemon's TCP protocol: "hostname port command [delay]"; "ack" only when confirmed,
    // otherwise one line saying why.
    std::string pdudaemonCommand(std::string_view line, const ClientIdentity &client) const;

    // A body for an error status the transport raised itself (413, 431, ...).
    static std::string errorBody(const std::string &message);

private:
    struct Route;

    Route route(const ApiRequest &request) const;
    ApiResponse answerSwitching(const Route &route, const ClientIdentity &client) const;
    ApiResponse portValue(const std::string &switchName, int index) const;
    ApiResponse switchList() const;
    ApiResponse switchDetail(const std::string &name) const;
    ApiResponse outletList() const;

    RelayService &m_service;
    const AccessTokens *m_tokens;
    mutable std::mutex m_banksMutex;
    mutable std::map<std::string, std::pair<std::uint64_t, std::string>> m_banksText; // by switch
};

} // namespace relaybox::service
