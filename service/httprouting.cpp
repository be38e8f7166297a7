#include "service/httprouting.h"

namespace relaybox::service {

namespace {

// "relaybox-cli/1.0.0 (linux)" names relaybox-cli. The client says it, so it is recorded as
// said, but only as a short plain word.
std::string programOf(const std::string &userAgent)
{
    constexpr std::size_t kMaxProgramName = 32;
    std::string name;
    for (const char c : userAgent) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')
            || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        if (!plain || name.size() == kMaxProgramName)
            break;
        name += c;
    }
    return name;
}

std::string statusText(int status)
{
    switch (status) {
    case 400:
        return "the request is malformed";
    case 413:
        return "the request's body is larger than 4096 bytes";
    case 414:
        return "the request's path is too long";
    case 431:
        return "the request has too many or too long header lines";
    default:
        return "the request failed with HTTP status " + std::to_string(status);
    }
}

} // namespace

void routeToApi(httplib::Server &server, const ServiceApi &api, const TransportLimits &limits,
                bool tokenRequired,
                std::function<ClientIdentity(const httplib::Request &)> clientOf)
{
    const auto answer = [&api, tokenRequired, clientOf](const httplib::Request &request,
                                                        httplib::Response &response) {
        ApiRequest call;
        call.method = request.method;
        call.path = request.path;
        for (const auto &[key, value] : request.params)
            call.query.emplace_back(key, value);
        call.body = request.body;
        call.target = request.target;
        call.authorization = request.get_header_value("Authorization");
        call.tokenRequired = tokenRequired;
        call.client = clientOf(request);
        call.client.program = programOf(request.get_header_value("User-Agent"));
        const ApiResponse answer = api.handle(call);
        response.status = answer.status;
        for (const auto &[name, value] : answer.headers)
            response.set_header(name, value);
        response.set_content(answer.body, answer.contentType.c_str());
    };
    server.Get(".*", answer);
    server.Post(".*", answer);
    server.Put(".*", answer);
    server.Delete(".*", answer);
    server.Patch(".*", answer);
    server.Options(".*", answer);
    server.set_payload_max_length(ServiceApi::kMaxBodyBytes);
    server.set_pre_routing_handler(
        [answer, maxHeaders = limits.maxHeaders](const httplib::Request &request,
                                                 httplib::Response &response) {
            if (request.headers.size() > maxHeaders) {
                response.status = 431;
                response.set_content(ServiceApi::errorBody(statusText(431)), "application/json");
                return httplib::Server::HandlerResponse::Handled;
            }
            // cpp-httplib refuses a POST without a length as malformed; "curl -X POST" sends one.
            if (!request.has_header("Content-Length") && !request.has_header("Transfer-Encoding")) {
                answer(request, response);
                return httplib::Server::HandlerResponse::Handled;
            }
            return httplib::Server::HandlerResponse::Unhandled;
        });
    server.set_error_handler([](const httplib::Request &, httplib::Response &response) {
        if (response.body.empty())
            response.set_content(ServiceApi::errorBody(statusText(response.status)),
                                 "application/json");
    });
}

} // namespace relaybox::service
