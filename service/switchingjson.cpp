#include "service/switchingjson.h"

#include <algorithm>
#include <cmath>

namespace relaybox::service {

namespace {

double rounded(double value, double scale)
{
    return std::round(value * scale) / scale;
}

Json portsJson(const SwitchingStep &step, bool withSwitch)
{
    Json ports = Json::array();
    for (const PortRef &ref : step.result.notFollowed) {
        Json port;
        if (withSwitch)
            port["switch"] = step.switchName;
        port["bank"] = ref.bank;
        port["port"] = ref.port;
        ports.push_back(std::move(port));
    }
    return ports;
}

Json notFollowedJson(const SwitchingReport &report, bool withSwitch)
{
    Json ports = Json::array();
    for (const SwitchingStep &step : report.steps) {
        for (Json &port : portsJson(step, withSwitch))
            ports.push_back(std::move(port));
    }
    return ports;
}

void addTarget(Json &json, const SwitchingRequest &request)
{
    if (!request.outlet.empty()) {
        json["outlet"] = request.outlet;
        return;
    }
    json["switch"] = request.switchName;
    json["bank"] = request.bank;
    json["port"] = request.port;
}

} // namespace

std::string dumpJson(const Json &json)
{
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

double secondsOf(std::chrono::milliseconds duration)
{
    return duration.count() / 1000.0;
}

Json banksJson(const SwitchState &state)
{
    Json banks = Json::array();
    for (int number = 1; number <= state.bankCount; ++number) {
        const BankStatus &bank = state.banks[number];
        Json ports = Json::array();
        for (int port = 1; port <= kLettersPerBank; ++port)
            ports.push_back(Json { { "port", port },
                                   { "on", bank.isOn(port) },
                                   { "timer_flag", bank.timerFlagged(port) } });
        Json entry { { "bank", number }, { "current", rounded(bank.current, 10) } };
        entry["version"] = bank.version ? Json(*bank.version) : Json(nullptr);
        entry["ports"] = std::move(ports);
        banks.push_back(std::move(entry));
    }
    return banks;
}

Json reportJson(const SwitchingRequest &request, const SwitchingReport &report)
{
    const bool outlet = !request.outlet.empty();
    Json json { { "command", actionName(request.action) } };
    addTarget(json, request);
    if (request.action == Action::Cycle)
        json["delay_seconds"] = secondsOf(request.delay);
    json["confirmed"] = report.confirmed();
    json["seconds"] = secondsOf(report.took);
    json["not_followed"] = notFollowedJson(report, outlet);
    if (!outlet) {
        Json banks = Json::array();
        for (const SwitchingStep &step : report.steps) {
            for (const int bank : step.result.banks) {
                if (std::find(banks.begin(), banks.end(), bank) == banks.end())
                    banks.push_back(bank);
            }
        }
        json["banks"] = std::move(banks);
    }
    if (request.action == Action::Cycle || outlet) {
        Json steps = Json::array();
        for (const SwitchingStep &step : report.steps) {
            Json entry { { "step", step.on ? "on" : "off" } };
            if (outlet) {
                entry["switch"] = step.switchName;
                entry["bank"] = step.command.bank;
                entry["port"] = step.command.port;
            }
            entry["confirmed"] = step.result.confirmed();
            entry["seconds"] = secondsOf(step.result.took);
            entry["not_followed"] = portsJson(step, false);
            if (!step.result.confirmed())
                entry["error"] = step.result.error;
            steps.push_back(std::move(entry));
        }
        json["steps"] = std::move(steps);
    }
    if (!report.confirmed())
        json["error"] = report.error;
    return json;
}

Json auditRecordJson(const std::string &time, const SwitchingRequest &request,
                     const ClientIdentity &client, const SwitchingReport &report)
{
    Json who = Json::object();
    if (client.uid) {
        who["uid"] = *client.uid;
        if (!client.user.empty())
            who["user"] = client.user;
    } else {
        who["address"] = client.address;
    }
    if (!client.program.empty())
        who["program"] = client.program;
    if (!client.token.empty())
        who["token"] = client.token;
    Json json { { "time", time }, { "client", std::move(who) }, { "via", client.via } };
    json["request"] = request.text;
    json["action"] = actionName(request.action);
    addTarget(json, request);
    json["result"] = report.result;
    json["not_followed"] = notFollowedJson(report, true);
    json["seconds"] = secondsOf(report.took);
    if (!report.confirmed())
        json["error"] = report.error;
    return json;
}

} // namespace relaybox::service
