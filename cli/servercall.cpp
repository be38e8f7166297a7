#include "cli/servercall.h"

#include <cstdlib>
#include <httplib.h>
#ifndef _WIN32
#include <sys/socket.h>
#endif

#include "cli/callreport.h"
#include "cli/exitstatus.h"
#include "cli/output.h"
#include "link/switchcommand.h"

namespace relaybox::cli {

namespace {

// relayboxd answers within the request's own timeout; this covers the way there and back.
constexpr std::chrono::seconds kAnswerMargin { 5 };

std::string seconds(std::chrono::milliseconds duration)
{
    char text[32];
    std::snprintf(text, sizeof text, duration.count() % 1000 ? "%.1f" : "%.0f",
                  double(duration.count()) / 1000.0);
    return text;
}

// "2.25": exact, for the query.
std::string queryText(std::chrono::milliseconds duration)
{
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(duration.count() / 1000),
                  static_cast<long long>(duration.count() % 1000));
    return text;
}

// The banks of relayboxd's status answer, as the tool's own status poll would report them.
SwitchReport reportFrom(const Json &banks)
{
    SwitchReport report;
    for (const Json &entry : banks) {
        const int bank = entry.value("bank", 0);
        if (bank < 1 || bank > kMaxBanks)
            continue;
        BankReport &to = report.banks[bank];
        to.switchLetters.assign(kLettersPerBank, 'C');
        to.timerLetters.assign(kLettersPerBank, 'G');
        for (const Json &port : entry.value("ports", Json::array())) {
            const int number = port.value("port", 0);
            if (number < 1 || number > kLettersPerBank)
                continue;
            to.switchLetters[number - 1] = port.value("on", false) ? 'O' : 'C';
            to.timerLetters[number - 1] = port.value("timer_flag", false) ? 'F' : 'G';
        }
        to.current = entry.value("current", 0.0f);
        const Json version = entry.value("version", Json());
        to.versionFresh = version.is_string();
        to.version = to.versionFresh ? version.get<std::string>() : std::string();
        report.bankCount = std::max(report.bankCount, bank);
    }
    return report;
}

class ServerRun
{
public:
    explicit ServerRun(const Request &request)
        : m_request(request)
        , m_server(*request.server)
        , m_report(request.json, commandName(request.command))
    { }

    // Through the manager that holds the port: the report of a call on the port itself.
    ServerRun(const Request &request, std::string device, const ShareAccess &manager)
        : m_request(request)
        , m_server(manager.server)
        , m_token(manager.token)
        , m_device(std::move(device))
        , m_report(request.json, commandName(request.command))
    { }

    int exec()
    {
        const int exit = dispatch();
        m_report.print();
        return exit;
    }

private:
    int dispatch()
    {
        if (m_device)
            m_report.add("device", *m_device);
        if (!connect())
            return m_report.fail(
                kUsage, "--server takes http://HOST:PORT or unix:PATH, not \"" + m_server + "\"");
        const auto list = get("/api/v1/switches");
        if (!list)
            return m_exit;
        if (const int status = chooseSwitch(*list); status != kDone)
            return status;
        switch (m_request.command) {
        case Command::Status:
        case Command::Version:
            return status();
        case Command::On:
        case Command::Off:
        case Command::Cycle:
            return switchPorts();
        default:
            return kUsage;
        }
    }

    bool connect()
    {
        const std::string &url = m_server;
        if (url.compare(0, 5, "unix:") == 0 && url.size() > 5) {
#ifdef _WIN32
            return false;
#else
            m_client = std::make_unique<httplib::Client>(url.substr(5));
            m_client->set_address_family(AF_UNIX);
#endif
        } else if (url.compare(0, 7, "http://") == 0 && url.size() > 7) {
            m_client = std::make_unique<httplib::Client>(url);
        } else {
            return false;
        }
        m_client->set_tcp_nodelay(true);
        // The manager's panel names the program that switched a port.
        m_client->set_default_headers({ { "User-Agent", "relaybox-cli/" RELAYBOX_VERSION } });
        m_client->set_connection_timeout(std::chrono::duration_cast<std::chrono::seconds>(
            std::min(m_request.timeout, std::chrono::milliseconds(kAnswerMargin))));
        const auto wait = m_request.timeout * (m_request.command == Command::Cycle ? 2 : 1)
            + m_request.delay + kAnswerMargin;
        m_client->set_read_timeout(std::chrono::duration_cast<std::chrono::seconds>(wait));
        if (!m_token.empty())
            m_client->set_bearer_token_auth(m_token.c_str());
        else if (const char *token = std::getenv("RELAYBOX_TOKEN"); token && *token)
            m_client->set_bearer_token_auth(token);
        return true;
    }

    std::string serverText() const
    {
        return m_device ? std::string("the KESTRANE Relaybox manager") : "relayboxd at " + m_server;
    }

    // The answer's JSON and status; empty after failing the call when there is none.
    std::optional<std::pair<int, Json>> exchange(const httplib::Result &result)
    {
        if (!result) {
            m_exit = m_report.fail(kPortUnavailable,
                                   "cannot reach " + serverText() + ": "
                                       + httplib::to_string(result.error()));
            return std::nullopt;
        }
        Json body = Json::parse(result->body, nullptr, false);
        if (body.is_discarded() || !body.is_object())
            body = Json::object();
        if (result->status == 401) {
            m_exit = m_report.fail(kPortUnavailable,
                                   serverText() + " wants a valid token in RELAYBOX_TOKEN: "
                                       + body.value("error", std::string("unauthorised")));
            return std::nullopt;
        }
        return std::make_pair(result->status, std::move(body));
    }

    std::optional<Json> get(const std::string &path)
    {
        const auto answer = exchange(m_client->Get(path.c_str()));
        if (!answer)
            return std::nullopt;
        if (answer->first != 200) {
            m_exit = m_report.fail(kPortUnavailable,
                                   serverText() + " answered " + std::to_string(answer->first)
                                       + ": " + answer->second.value("error", std::string()));
            return std::nullopt;
        }
        return answer->second;
    }

    int chooseSwitch(const Json &list)
    {
        std::string names;
        const Json *chosen = nullptr;
        const Json switches = list.value("switches", Json::array());
        for (const Json &entry : switches) {
            const std::string name = entry.value("name", std::string());
            names += (names.empty() ? "" : ", ") + name;
            if (m_request.switchName ? name == *m_request.switchName : switches.size() == 1)
                chosen = &entry;
        }
        if (!chosen && m_request.switchName)
            return m_report.fail(kUsage,
                                 serverText() + " has no switch " + *m_request.switchName
                                     + " (it has " + names + ")");
        if (!chosen)
            return m_report.fail(kUsage,
                                 serverText() + " has " + std::to_string(switches.size())
                                     + " switches (" + names + "): name one with --switch");
        m_switch = chosen->value("name", std::string());
        if (m_device) {
            m_report.add("via", "manager");
            return kDone;
        }
        m_report.add("device", chosen->value("port", std::string()));
        m_report.add("server", m_server);
        m_report.add("switch", m_switch);
        return kDone;
    }

    int status()
    {
        const auto detail = get("/api/v1/switches/" + m_switch);
        if (!detail)
            return m_exit;
        if (detail->value("link", std::string()) != "up")
            return m_report.fail(kNoSwitch,
                                 serverText() + ": the line to " + m_switch
                                     + " is down; no switch answers");
        const SwitchReport report = reportFrom(detail->value("banks", Json::array()));
        if (m_request.command == Command::Version) {
            m_report.add("banks", versionJson(report));
            return m_report.done(versionText(report));
        }
        m_report.add("banks", statusJson(report));
        return m_report.done(statusText(report));
    }

    std::string targetText() const
    {
        return SwitchCommand { true, m_request.bank, m_request.portNumber }.target();
    }

    int switchPorts()
    {
        const bool cycle = m_request.command == Command::Cycle;
        m_report.add("bank", m_request.bank);
        m_report.add("port", m_request.portNumber);
        if (cycle)
            m_report.add("delay_seconds", jsonSeconds(m_request.delay));
        std::string path = "/api/v1/switches/" + m_switch + "/banks/"
            + std::to_string(m_request.bank) + "/ports/" + std::to_string(m_request.portNumber)
            + "/" + commandName(m_request.command) + "?timeout=" + queryText(m_request.timeout);
        if (cycle)
            path += "&delay=" + queryText(m_request.delay);
        const auto answer = exchange(m_client->Post(path.c_str()));
        if (!answer)
            return m_exit;
        const auto &[status, body] = *answer;
        const std::string error = body.value("error", std::string());
        if (status != 200 && status != 409) {
            // Nothing was sent: the switch is down or busy (503), the bank is beyond its chain
            // (404, a usage error as the tool finds it itself), or the request was refused.
            return m_report.fail(status == 503 ? kNoSwitch : kUsage, serverText() + ": " + error);
        }
        const Json none = Json::array();
        m_report.add("confirmed", body.value("confirmed", false));
        if (cycle) {
            m_report.add("steps", body.value("steps", none));
        } else {
            m_report.add("seconds", body.value("seconds", 0.0));
            m_report.add("not_followed", body.value("not_followed", none));
        }
        m_report.add("banks", body.value("banks", none));
        if (status == 409)
            return m_report.fail(
                kNotConfirmed,
                "not confirmed within " + seconds(m_request.timeout) + " s: " + error, error);
        const std::string target = targetText();
        return m_report.done(cycle ? target + ": off, confirmed\n" + target + ": on, confirmed\n"
                                   : target + (m_request.command == Command::On ? ": on" : ": off")
                                     + ", confirmed\n");
    }

    const Request &m_request;
    const std::string m_server;
    const std::string m_token; // the manager's, from its endpoint
    const std::optional<std::string> m_device; // through the manager that holds it
    CallReport m_report;
    std::unique_ptr<httplib::Client> m_client;
    std::string m_switch;
    int m_exit = kPortUnavailable;
};

} // namespace

int runThroughServer(const Request &request)
{
    return ServerRun(request).exec();
}

int runThroughManager(const Request &request, const std::string &device, const ShareAccess &manager)
{
    return ServerRun(request, device, manager).exec();
}

} // namespace relaybox::cli
