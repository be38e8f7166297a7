// Arbitrary bytes as the service's untrusted input: relayboxd's configuration file, its tokens
// file, a pdudaemon TCP line, or an HTTP request (method, path, query, body, authorization) for
// the API. Every answer must be one of the API's status codes with a JSON body that parses;
// nothing may reach the switch, whose line is down.
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string_view>
#include <vector>

#include "service/accesstokens.h"
#include "service/daemonconfig.h"
#include "service/serviceapi.h"

using namespace relaybox::service;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

class DownBackend final : public SwitchBackend
{
public:
    bool sendFrame(const std::string &) override
    {
        std::abort(); // the line is down: nothing may be sent
    }
    void pollNow() override { }
    SwitchState state() const override { return {}; }
};

std::vector<std::string_view> fields(std::string_view bytes)
{
    std::vector<std::string_view> parts;
    while (parts.size() < 5) {
        const auto end = bytes.find('\n');
        parts.push_back(bytes.substr(0, end));
        if (end == bytes.npos)
            break;
        bytes.remove_prefix(end + 1);
    }
    parts.resize(5);
    return parts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static DownBackend backend;
    static std::string tokenError;
    static const auto tokens =
        AccessTokens::parse("ci 0123456789abcdef0123\n", "tokens", tokenError);
    static RelayService service({ { "rack-a", "/dev/null", backend } },
                                { { "web", { { "rack-a", 1, 1 }, { "rack-a", 2, 8 } }, {} } },
                                nullptr);
    static const ServiceApi api(service, &*tokens);

    if (size == 0)
        return 0;
    const std::string_view bytes(reinterpret_cast<const char *>(data) + 1, size - 1);
    switch (data[0] % 4) {
    case 0: {
        const auto parsed = parseDaemonConfig(bytes, "fuzz.conf");
        if (const auto *config = std::get_if<DaemonConfig>(&parsed)) {
            check(!config->switches.empty() && !config->listen.empty());
            for (const ListenAddress &address : config->listen)
                check(address.isLocal() || !config->tokens.empty());
        }
        return 0;
    }
    case 1: {
        std::string error;
        if (const auto parsed = AccessTokens::parse(bytes, "tokens", error))
            check(!parsed->empty());
        else
            check(!error.empty());
        return 0;
    }
    case 2: {
        const std::string reply = api.pdudaemonCommand(bytes, {});
        check(reply != "ack" && reply.find('\n') == std::string::npos);
        return 0;
    }
    default:
        break;
    }
    static const char *const kMethods[] = { "GET", "POST", "PUT", "DELETE" };
    const auto parts = fields(bytes);
    ApiRequest request;
    request.method = kMethods[(data[0] / 4) % 4];
    request.path = std::string(parts[0]);
    request.target = request.path;
    const std::string_view query = parts[1];
    for (std::size_t start = 0; start < query.size();) {
        const auto end = std::min(query.find('&', start), query.size());
        const auto pair = query.substr(start, end - start);
        const auto equals = pair.find('=');
        request.query.emplace_back(pair.substr(0, equals),
                                   equals == pair.npos ? "" : pair.substr(equals + 1));
        start = end + 1;
    }
    request.body = std::string(parts[2]);
    request.authorization = std::string(parts[3]);
    request.tokenRequired = data[0] & 0x40;
    const ApiResponse response = api.handle(request);
    static const int kStatuses[] = { 200, 400, 401, 404, 405, 409, 503 };
    check(std::find(std::begin(kStatuses), std::end(kStatuses), response.status)
          != std::end(kStatuses));
    check(response.status != 200 || request.method == "GET");
    if (response.contentType == "application/json")
        check(!nlohmann::json::parse(response.body, nullptr, false).is_discarded());
    return 0;
}
