#include "service/serviceapi.h"

#include <charconv>
#include <map>

#include "service/seconds.h"
#include "service/switchingjson.h"

namespace relaybox::service {

namespace {

constexpr auto kMaxTimeout = std::chrono::milliseconds(600 * 1000);
constexpr auto kMaxDelay = std::chrono::milliseconds(600 * 1000);
constexpr std::size_t kMaxAuditText = 256;
constexpr int kOutletIndexes = kMaxBanks * kLettersPerBank; // labgrid's and pdudaemon's 1..128

std::vector<std::string_view> segments(std::string_view path)
{
    std::vector<std::string_view> parts;
    if (path.empty() || path[0] != '/')
        return { "" }; // matches no route
    path.remove_prefix(1);
    while (!path.empty()) {
        const auto slash = path.find('/');
        parts.push_back(path.substr(0, slash));
        if (slash == path.npos)
            break;
        path.remove_prefix(slash + 1);
    }
    return parts;
}

std::optional<int> number(std::string_view text, int max)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || text.size() > 3 || text[0] == '+' || error != std::errc()
        || end != text.data() + text.size() || value < 0 || value > max)
        return std::nullopt;
    return value;
}

std::optional<Action> actionNamed(std::string_view name, bool pdudaemon)
{
    if (name == "on")
        return Action::On;
    if (name == "off")
        return Action::Off;
    if (name == (pdudaemon ? "reboot" : "cycle"))
        return Action::Cycle;
    return std::nullopt;
}

ApiResponse json(int status, const Json &body)
{
    return { status, "application/json", dumpJson(body) + "\n", {} };
}

ApiResponse error(int status, const std::string &message)
{
    return json(status, Json { { "error", message } });
}

std::string shown(std::string_view text)
{
    return "\"" + std::string(text.substr(0, 64)) + (text.size() > 64 ? "...\"" : "\"");
}

// The query's parameters, each at most once and each one the route knows.
std::optional<std::map<std::string, std::string>>
queryParameters(const std::vector<std::pair<std::string, std::string>> &query,
                std::initializer_list<std::string_view> known, std::string &problem)
{
    std::map<std::string, std::string> values;
    for (const auto &[key, value] : query) {
        bool isKnown = false;
        for (const std::string_view name : known)
            isKnown = isKnown || key == name;
        if (!isKnown) {
            problem = "unknown parameter " + shown(key);
            return std::nullopt;
        }
        if (!values.emplace(key, value).second) {
            problem = "parameter " + key + " is given twice";
            return std::nullopt;
        }
    }
    return values;
}

// "timeout" above 0 and "delay" from 0, in seconds.
bool takeSeconds(const std::map<std::string, std::string> &values, const std::string &key,
                 std::chrono::milliseconds &into, std::string &problem)
{
    const auto found = values.find(key);
    if (found == values.end())
        return true;
    const auto seconds = parseSeconds(found->second);
    const bool zeroAllowed = key != "timeout";
    if (!seconds || *seconds > (key == "timeout" ? kMaxTimeout : kMaxDelay)
        || (!zeroAllowed && seconds->count() == 0)) {
        problem = key + " takes seconds " + (zeroAllowed ? "from 0" : "above 0") + " to 600, not "
            + shown(found->second);
        return false;
    }
    into = *seconds;
    return true;
}

std::string oneLine(std::string text)
{
    for (char &c : text) {
        if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    }
    return text.substr(0, 300);
}

} // namespace

struct ServiceApi::Route
{
    enum class Kind {
        NotFound,
        MethodNotAllowed,
        Switches,
        Switch,
        Outlets,
        Metrics,
        PortValue,
        Switching
    } kind = Kind::NotFound;
    std::string name; // Switch, PortValue
    int index = 0; // PortValue
    std::string allow; // MethodNotAllowed
    SwitchingRequest switching; // Switching
    std::string problem; // Switching: why it is malformed (400); nothing is sent
};

ServiceApi::ServiceApi(RelayService &service, const AccessTokens *tokens)
    : m_service(service)
    , m_tokens(tokens)
{ }

std::string ServiceApi::errorBody(const std::string &message)
{
    return dumpJson(Json { { "error", message } }) + "\n";
}

ServiceApi::Route ServiceApi::route(const ApiRequest &request) const
{
    using Kind = Route::Kind;
    Route route;
    const auto parts = segments(request.path);
    const std::string &method = request.method;
    const auto only = [&](std::string_view allowed, Kind kind) {
        bool allowedMethod = false;
        for (std::size_t start = 0; start < allowed.size();) {
            const auto end = std::min(allowed.find(", ", start), allowed.size());
            allowedMethod = allowedMethod || allowed.substr(start, end - start) == method;
            start = end + 2;
        }
        route.kind = allowedMethod ? kind : Kind::MethodNotAllowed;
        route.allow = allowedMethod ? std::string() : std::string(allowed);
    };
    const auto switching = [&](Action action, std::string_view allowed) {
        only(allowed, Kind::Switching);
        route.switching.action = action;
        route.switching.text = (method + " " + request.target).substr(0, kMaxAuditText);
    };
    SwitchingRequest &s = route.switching;
    std::string &problem = route.problem;

    const std::size_t n = parts.size();
    if (n == 1 && parts[0] == "metrics") {
        only("GET", Kind::Metrics);
    } else if (n == 3 && parts[0] == "power" && parts[1] == "control") {
        const auto action = actionNamed(parts[2], true);
        if (!action)
            return route;
        switching(*action, "GET, POST");
        const auto values =
            queryParameters(request.query, { "hostname", "port", "delay" }, problem);
        if (!values)
            return route;
        const auto value = [&](const char *key) {
            const auto found = values->find(key);
            return found == values->end() ? std::string() : found->second;
        };
        std::chrono::milliseconds delay = *action == Action::Cycle ? s.delay : s.wait;
        if (!takeSeconds(*values, "delay", delay, problem))
            return route;
        (*action == Action::Cycle ? s.delay : s.wait) = delay;
        const std::string host = value("hostname");
        const std::string port = value("port");
        if (host.empty() || port.empty()) {
            problem = "pdudaemon's requests name hostname (the switch) and port";
            return route;
        }
        s.switchName = host;
        if (port.find_first_not_of("0123456789") != port.npos) {
            s.outlet = port;
            const OutletConfig *outlet = m_service.findOutlet(port);
            bool onHost = false;
            for (std::size_t i = 0; outlet && i < outlet->members.size(); ++i)
                onHost = onHost || outlet->members[i].switchName == host;
            if (outlet && !onHost && host != port)
                problem = "outlet " + port + " has no port on switch " + host;
            return route;
        }
        const auto index = number(port, kOutletIndexes);
        if (!index || *index == 0) {
            problem = "port must be 1 to 128 ((bank - 1) x 8 + port) or an outlet's name, not "
                + shown(port);
            return route;
        }
        s.bank = (*index - 1) / kLettersPerBank + 1;
        s.port = (*index - 1) % kLettersPerBank + 1;
    } else if (n >= 3 && parts[0] == "api" && parts[1] == "v1") {
        if (n == 3 && parts[2] == "switches") {
            only("GET", Kind::Switches);
        } else if (n == 3 && parts[2] == "outlets") {
            only("GET", Kind::Outlets);
        } else if (n == 4 && parts[2] == "switches") {
            route.name = parts[3];
            only("GET", Kind::Switch);
        } else if (n == 5 && parts[2] == "outlets") {
            const auto action = actionNamed(parts[4], false);
            if (!action)
                return route;
            s.outlet = parts[3];
            switching(*action, "POST");
        } else if (n == 7 && parts[2] == "switches" && parts[4] == "outlets"
                   && parts[6] == "value") {
            route.name = parts[3];
            s.switchName = parts[3];
            const auto index = number(parts[5], kOutletIndexes);
            if (method == "PUT") {
                switching(Action::On, "PUT");
            } else {
                only("GET, PUT", Kind::PortValue);
            }
            if (!index || *index == 0) {
                problem = "the outlet index must be 1 to 128 ((bank - 1) x 8 + port), not "
                    + shown(parts[5]);
                return route;
            }
            route.index = *index;
            s.bank = (*index - 1) / kLettersPerBank + 1;
            s.port = (*index - 1) % kLettersPerBank + 1;
            if (route.kind == Kind::Switching) {
                std::string_view body = request.body;
                while (!body.empty() && (body.back() == '\n' || body.back() == '\r'))
                    body.remove_suffix(1);
                if (body != "1" && body != "0")
                    problem = "the body is 1 (on) or 0 (off)";
                else
                    s.action = body == "1" ? Action::On : Action::Off;
            }
            return route;
        } else if (n == 9 && parts[2] == "switches" && parts[4] == "banks" && parts[6] == "ports") {
            const auto action = actionNamed(parts[8], false);
            if (!action)
                return route;
            s.switchName = parts[3];
            switching(*action, "POST");
            const auto bank = number(parts[5], kMaxBanks);
            const auto port = number(parts[7], kLettersPerBank);
            if (!bank) {
                problem = "bank must be 1 to 16, or 0 for all banks, not " + shown(parts[5]);
                return route;
            }
            if (!port) {
                problem = "port must be 1 to 8, or 0 for the whole bank, not " + shown(parts[7]);
                return route;
            }
            s.bank = *bank;
            s.port = *port;
            if (s.bank == 0 && s.port != 0)
                problem = "bank 0 means all banks and takes port 0";
        } else {
            return route;
        }
        if (route.kind == Kind::Switching && problem.empty()) {
            const auto values = queryParameters(request.query, { "timeout", "delay" }, problem);
            if (values && values->count("delay") && s.action != Action::Cycle)
                problem = "delay belongs to cycle";
            else if (values && takeSeconds(*values, "timeout", s.timeout, problem))
                takeSeconds(*values, "delay", s.delay, problem);
        }
    }
    return route;
}

ApiResponse ServiceApi::handle(const ApiRequest &request) const
{
    using Kind = Route::Kind;
    try {
        const Route route = this->route(request);
        if (route.kind == Kind::NotFound)
            return error(404, "no such resource: " + shown(request.path));

        ClientIdentity client = request.client;
        std::string refusal;
        if (!request.authorization.empty()) {
            const auto name = m_tokens ? m_tokens->nameFor(request.authorization) : std::nullopt;
            if (name)
                client.token = *name;
            else
                refusal = "the token is not valid";
        } else if (request.tokenRequired) {
            refusal = "this address needs a token: Authorization: Bearer SECRET";
        }
        if (!refusal.empty()) {
            if (route.kind == Kind::Switching)
                m_service.refuse(route.switching, client, 401, refusal);
            ApiResponse response = error(401, refusal);
            response.headers.emplace_back("WWW-Authenticate", "Bearer realm=\"relayboxd\"");
            return response;
        }

        switch (route.kind) {
        case Kind::MethodNotAllowed: {
            ApiResponse response =
                error(405, request.method + " is not used here; " + route.allow + " is");
            response.headers.emplace_back("Allow", route.allow);
            return response;
        }
        case Kind::Metrics:
            return { 200, "text/plain; version=0.0.4; charset=utf-8", m_service.metricsText(), {} };
        case Kind::Switches:
            return switchList();
        case Kind::Switch:
            return switchDetail(route.name);
        case Kind::Outlets:
            return outletList();
        case Kind::PortValue:
            if (!route.problem.empty())
                return error(400, route.problem);
            return portValue(route.name, route.index);
        case Kind::Switching:
            if (!route.problem.empty()) {
                m_service.refuse(route.switching, client, 400, route.problem);
                return error(400, route.problem);
            }
            return answerSwitching(route, client);
        case Kind::NotFound:
            break;
        }
        return error(404, "no such resource");
    } catch (const std::exception &exception) {
        return error(500, std::string("relayboxd could not answer: ") + exception.what());
    }
}

ApiResponse ServiceApi::answerSwitching(const Route &route, const ClientIdentity &client) const
{
    const SwitchingReport report = m_service.execute(route.switching, client);
    if (report.result == "refused" && report.steps.empty())
        return error(report.status, report.error);
    return json(report.status, reportJson(route.switching, report));
}

ApiResponse ServiceApi::portValue(const std::string &switchName, int index) const
{
    const auto found = m_service.findSwitch(switchName);
    if (!found)
        return error(404, "no switch named " + switchName);
    const SwitchState &state = found->state;
    if (!state.linkUp || !state.lastStatus)
        return error(503, "the switch's line is down");
    const int bank = (index - 1) / kLettersPerBank + 1;
    if (bank > state.bankCount)
        return error(404, "the switch has " + std::to_string(state.bankCount) + " banks");
    const bool on = state.banks[bank].isOn((index - 1) % kLettersPerBank + 1);
    return { 200, "text/plain; charset=utf-8", on ? "1" : "0", {} };
}

ApiResponse ServiceApi::switchList() const
{
    Json list = Json::array();
    for (const auto &view : m_service.switches())
        list.push_back(Json { { "name", view.name },
                              { "port", view.port },
                              { "link", view.state.linkUp ? "up" : "down" },
                              { "banks", view.state.bankCount } });
    return json(200, Json { { "switches", std::move(list) } });
}

ApiResponse ServiceApi::switchDetail(const std::string &name) const
{
    const auto view = m_service.findSwitch(name);
    if (!view)
        return error(404, "no switch named " + name);
    const auto age = view->state.age(Clock::now());
    Json head { { "name", view->name },
                { "port", view->port },
                { "link", view->state.linkUp ? "up" : "down" } };
    head["age"] = age ? Json(std::round(*age * 1000) / 1000) : Json(nullptr);
    // The banks change only with a status round; their text, most of the answer, is kept.
    std::string banks;
    {
        const std::lock_guard lock(m_banksMutex);
        auto &[rounds, text] = m_banksText[view->name];
        if (text.empty() || rounds != view->state.rounds) {
            rounds = view->state.rounds;
            text = dumpJson(banksJson(view->state));
        }
        banks = text;
    }
    std::string body = dumpJson(head);
    body.pop_back(); // its closing brace
    return { 200, "application/json", body + ",\"banks\":" + banks + "}\n", {} };
}

ApiResponse ServiceApi::outletList() const
{
    std::map<std::string, SwitchState> states;
    for (const auto &view : m_service.switches())
        states.emplace(view.name, view.state);
    Json list = Json::array();
    for (const OutletConfig &outlet : m_service.outlets()) {
        Json members = Json::array();
        int on = 0;
        int known = 0;
        for (const OutletMember &member : outlet.members) {
            Json entry { { "switch", member.switchName },
                         { "bank", member.bank },
                         { "port", member.port } };
            const SwitchState &state = states[member.switchName];
            if (state.linkUp && state.lastStatus && member.bank <= state.bankCount) {
                const bool isOn = state.banks[member.bank].isOn(member.port);
                entry["on"] = isOn;
                on += isOn;
                ++known;
            } else {
                entry["on"] = nullptr;
            }
            members.push_back(std::move(entry));
        }
        const int count = int(outlet.members.size());
        const char *summary = known < count ? "unknown"
            : on == count                   ? "on"
            : on == 0                       ? "off"
                                            : "mixed";
        list.push_back(Json { { "name", outlet.name },
                              { "delay", secondsOf(outlet.delay) },
                              { "members", std::move(members) },
                              { "state", summary } });
    }
    return json(200, Json { { "outlets", std::move(list) } });
}

std::string ServiceApi::pdudaemonCommand(std::string_view line, const ClientIdentity &client) const
{
    try {
        std::vector<std::string> words;
        std::size_t i = 0;
        while (i < line.size() && words.size() <= 4) {
            const auto start = line.find_first_not_of(" \t\r\n", i);
            if (start == line.npos)
                break;
            const auto end = line.find_first_of(" \t\r\n", start);
            words.emplace_back(line.substr(start, end == line.npos ? line.npos : end - start));
            i = end == line.npos ? line.size() : end;
        }
        ApiRequest request;
        request.method = "GET";
        request.client = client;
        if (words.size() < 3 || words.size() > 4)
            return "relayboxd: expected \"hostname port command [delay]\"";
        request.path = "/power/control/" + words[2];
        request.query = { { "hostname", words[0] }, { "port", words[1] } };
        if (words.size() == 4)
            request.query.emplace_back("delay", words[3]);
        Route route = this->route(request);
        if (route.kind != Route::Kind::Switching)
            return "relayboxd: the command is on, off or reboot, not " + shown(words[2]);
        route.switching.text = oneLine(std::string(line.substr(0, kMaxAuditText)));
        if (!route.problem.empty()) {
            m_service.refuse(route.switching, client, 400, route.problem);
            return "relayboxd: " + oneLine(route.problem);
        }
        const SwitchingReport report = m_service.execute(route.switching, client);
        return report.confirmed() ? "ack" : "relayboxd: " + oneLine(report.error);
    } catch (const std::exception &exception) {
        return std::string("relayboxd: could not answer: ") + exception.what();
    }
}

} // namespace relaybox::service
