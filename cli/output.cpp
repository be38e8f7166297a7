#include "cli/output.h"

#include <cstdio>

#include "cli/portchoice.h"
#include <cmath>

namespace relaybox::cli {

namespace {

std::string format(const char *pattern, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

} // namespace

std::string statusText(const SwitchReport &report)
{
    std::string text = "bank  1    2    3    4    5    6    7    8    current\n";
    bool flagged = false;
    for (int bank = 1; bank <= report.bankCount; ++bank) {
        const BankReport &b = report.banks[bank];
        char head[16];
        std::snprintf(head, sizeof head, "%-6d", bank);
        text += head;
        for (int port = 1; port <= kLettersPerBank; ++port) {
            std::string cell = report.letterIs(bank, port, 'O') ? "on" : "off";
            if (port <= int(b.timerLetters.size()) && b.timerLetters[port - 1] == 'F') {
                cell += '*';
                flagged = true;
            }
            cell.resize(5, ' ');
            text += cell;
        }
        text += format("%.1f A\n", b.current);
    }
    if (flagged)
        text += "* the port's timer is flagged\n";
    return text;
}

Json statusJson(const SwitchReport &report)
{
    Json banks = Json::array();
    for (int bank = 1; bank <= report.bankCount; ++bank) {
        const BankReport &b = report.banks[bank];
        Json ports = Json::array();
        for (int port = 1; port <= kLettersPerBank; ++port) {
            const bool flag = port <= int(b.timerLetters.size()) && b.timerLetters[port - 1] == 'F';
            ports.push_back({ { "port", port },
                              { "on", report.letterIs(bank, port, 'O') },
                              { "timer_flag", flag } });
        }
        banks.push_back({ { "bank", bank },
                          { "current", std::round(double(b.current) * 10) / 10 },
                          { "ports", std::move(ports) } });
    }
    return banks;
}

std::string versionText(const SwitchReport &report)
{
    std::string text = "bank  version\n";
    for (int bank = 1; bank <= report.bankCount; ++bank) {
        const BankReport &b = report.banks[bank];
        char line[64];
        std::snprintf(line, sizeof line, "%-6d%s\n", bank,
                      b.versionFresh ? b.version.c_str() : "(no answer)");
        text += line;
    }
    return text;
}

Json versionJson(const SwitchReport &report)
{
    Json banks = Json::array();
    for (int bank = 1; bank <= report.bankCount; ++bank) {
        const BankReport &b = report.banks[bank];
        banks.push_back(
            { { "bank", bank }, { "version", b.versionFresh ? Json(b.version) : Json(nullptr) } });
    }
    return banks;
}

std::string portsText(const HostPortTable &table, const PortSetting &setting)
{
    std::string text = "0 AUTO (search every port)\n";
    for (int slot = 1; slot <= table.count(); ++slot)
        text += std::to_string(slot) + " " + table.name(slot) + " " + table.path(slot) + "\n";
    text += "ComPort=" + std::to_string(setting.comPort) + " in " + setting.settingsPath.string()
        + (setting.fileFound ? "" : " (no such file: AUTO)") + "\n";
    return text;
}

Json portsJson(const HostPortTable &table)
{
    Json ports = Json::array({ { { "index", 0 }, { "name", "AUTO" }, { "path", nullptr } } });
    for (int slot = 1; slot <= table.count(); ++slot)
        ports.push_back(
            { { "index", slot }, { "name", table.name(slot) }, { "path", table.path(slot) } });
    return ports;
}

Json notFollowedJson(const SwitchOutcome &outcome)
{
    Json ports = Json::array();
    for (const PortRef &ref : outcome.notFollowed)
        ports.push_back({ { "bank", ref.bank }, { "port", ref.port } });
    return ports;
}

Json banksJson(const SwitchOutcome &outcome)
{
    return outcome.banks;
}

Json stepJson(const std::string &step, const SwitchOutcome &outcome)
{
    Json json { { "step", step },
                { "confirmed", outcome.confirmed },
                { "seconds", jsonSeconds(outcome.took) },
                { "not_followed", notFollowedJson(outcome) } };
    if (!outcome.confirmed)
        json["error"] = outcome.why;
    return json;
}

} // namespace relaybox::cli
