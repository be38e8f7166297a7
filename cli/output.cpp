#include "cli/output.h"

#include <cstdio>

#include "cli/json.h"
#include "cli/portchoice.h"

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

std::string statusJson(const SwitchReport &report)
{
    std::string out = "[";
    for (int bank = 1; bank <= report.bankCount; ++bank) {
        const BankReport &b = report.banks[bank];
        out += bank > 1 ? ", " : "";
        out += "{\"bank\": " + std::to_string(bank) + ", \"current\": " + json::number(b.current, 1)
            + ", \"ports\": [";
        for (int port = 1; port <= kLettersPerBank; ++port) {
            const bool flag = port <= int(b.timerLetters.size()) && b.timerLetters[port - 1] == 'F';
            out += port > 1 ? ", " : "";
            out += "{\"port\": " + std::to_string(port)
                + ", \"on\": " + json::boolean(report.letterIs(bank, port, 'O'))
                + ", \"timer_flag\": " + json::boolean(flag) + "}";
        }
        out += "]}";
    }
    return out + "]";
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

std::string versionJson(const SwitchReport &report)
{
    std::string out = "[";
    for (int bank = 1; bank <= report.bankCount; ++bank) {
        const BankReport &b = report.banks[bank];
        out += bank > 1 ? ", " : "";
        out += "{\"bank\": " + std::to_string(bank)
            + ", \"version\": " + (b.versionFresh ? json::quoted(b.version) : "null") + "}";
    }
    return out + "]";
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

std::string portsJson(const HostPortTable &table)
{
    std::string out = "[{\"index\": 0, \"name\": \"AUTO\", \"path\": null}";
    for (int slot = 1; slot <= table.count(); ++slot)
        out += ", {\"index\": " + std::to_string(slot)
            + ", \"name\": " + json::quoted(table.name(slot))
            + ", \"path\": " + json::quoted(table.path(slot)) + "}";
    return out + "]";
}

std::string notFollowedJson(const SwitchOutcome &outcome)
{
    std::string out = "[";
    for (std::size_t i = 0; i < outcome.notFollowed.size(); ++i) {
        out += i ? ", " : "";
        out += "{\"bank\": " + std::to_string(outcome.notFollowed[i].bank)
            + ", \"port\": " + std::to_string(outcome.notFollowed[i].port) + "}";
    }
    return out + "]";
}

std::string banksJson(const SwitchOutcome &outcome)
{
    std::string out = "[";
    for (std::size_t i = 0; i < outcome.banks.size(); ++i)
        out += (i ? ", " : "") + std::to_string(outcome.banks[i]);
    return out + "]";
}

std::string stepJson(const std::string &step, const SwitchOutcome &outcome)
{
    std::string out = "{\"step\": " + json::quoted(step)
        + ", \"confirmed\": " + json::boolean(outcome.confirmed)
        + ", \"seconds\": " + json::number(outcome.took.count() / 1000.0, 3)
        + ", \"not_followed\": " + notFollowedJson(outcome);
    if (!outcome.confirmed)
        out += ", \"error\": " + json::quoted(outcome.why);
    return out + "}";
}

} // namespace relaybox::cli
