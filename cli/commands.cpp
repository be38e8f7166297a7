#include "cli/commands.h"

#include <cstdio>
#include <string>
#include <thread>

#include "cli/exitstatus.h"
#include "cli/json.h"
#include "cli/output.h"
#include "cli/portchoice.h"
#include "cli/switching.h"
#include "platform/localportsources.h"

namespace relaybox::cli {
namespace {

using namespace std::chrono_literals;

// The probe's own limit for the Identify answer.
constexpr auto kIdentifyWait = 2000ms;

const char *commandName(Command command)
{
    switch (command) {
    case Command::Status:
        return "status";
    case Command::On:
        return "on";
    case Command::Off:
        return "off";
    case Command::Cycle:
        return "cycle";
    case Command::Version:
        return "version";
    case Command::Ports:
        return "ports";
    case Command::Help:
        break;
    }
    return "help";
}

std::string openProblem(OpenError error)
{
    switch (error) {
    case OpenError::NoSuchPort:
        return "no such port";
    case OpenError::PermissionDenied:
        return "permission denied (join the dialout group: sudo adduser $USER dialout, then "
               "log in again)";
    case OpenError::InUse:
        return "in use by another program (the manager, or another relaybox-cli)";
    case OpenError::NotASerialPort:
        return "not a serial port";
    default:
        return "the system refused it";
    }
}

std::string seconds(std::chrono::milliseconds duration)
{
    return json::number(duration.count() / 1000.0, duration.count() % 1000 ? 1 : 0);
}

// One call of the tool: the port chosen and opened, the switch identified, one command run.
class Run
{
public:
    explicit Run(Request request)
        : m_request(std::move(request))
    { }

    int exec()
    {
        if (m_request.command == Command::Ports)
            return ports();
        if (const int status = openSwitch(); status != kDone)
            return status;
        switch (m_request.command) {
        case Command::Status:
            return status();
        case Command::Version:
            return version();
        case Command::On:
        case Command::Off:
            return switchPorts();
        case Command::Cycle:
            return cycle();
        default:
            return kUsage;
        }
    }

private:
    // {"command": "on", "device": "/dev/ttyUSB0", and the fields given}
    std::string object(const std::string &fields) const
    {
        std::string out = "{\"command\": " + json::quoted(commandName(m_request.command));
        if (!m_device.empty())
            out += ", \"device\": " + json::quoted(m_device);
        return out + (fields.empty() ? "" : ", " + fields) + "}\n";
    }

    int fail(int status, const std::string &message, const std::string &fields = {})
    {
        std::fprintf(stderr, "relaybox-cli: %s\n", message.c_str());
        if (m_request.json)
            print(object((fields.empty() ? "" : fields + ", ") + "\"error\": "
                         + json::quoted(message) + ", \"exit\": " + std::to_string(status)));
        return status;
    }

    static void print(const std::string &text) { std::fputs(text.c_str(), stdout); }

    int ports()
    {
        const auto folder = folderOfProgram();
        const HostPortTable table = hostPortTable(folder);
        const PortSetting setting = readPortSetting(folder, table);
        print(m_request.json ? portsJson(table, setting) + "\n" : portsText(table, setting));
        return kDone;
    }

    int openSwitch()
    {
        const auto folder = folderOfProgram();
        const HostPortTable table = hostPortTable(folder);
        std::string path;
        std::string source;
        if (m_request.port) {
            path = resolvePortName(*m_request.port, table);
        } else {
            const PortSetting setting = readPortSetting(folder, table);
            source = " (ComPort=" + std::to_string(setting.comPort) + " in "
                + setting.settingsPath.string() + ")";
            if (setting.comPort > 0) {
                path = table.path(setting.comPort);
            } else if (const auto found = searchPorts(table)) {
                path = *found;
            } else {
                return fail(kNoSwitch,
                            "no switch answered on any of the " + std::to_string(table.count())
                                + " ports searched" + source);
            }
        }
        m_device = path;
        if (isSystemConsole(path, readActiveConsoles()))
            return fail(kPortUnavailable, path + " is a system console; it is never opened");

        m_link = std::make_unique<SwitchLink>(makeSerialPort());
        if (const OpenError error = m_link->open(path); error != OpenError::None)
            return fail(kPortUnavailable,
                        "cannot open " + path + source + ": " + openProblem(error));
        const auto identifyWait =
            std::min<std::chrono::milliseconds>(kIdentifyWait, m_request.timeout);
        switch (m_link->identify(Clock::now() + identifyWait)) {
        case IdentifyResult::Switch:
            return kDone;
        case IdentifyResult::Loader:
            return fail(kNoSwitch,
                        "the switch on " + path
                            + " answers as its firmware loader; finish the upgrade "
                              "in the manager first");
        case IdentifyResult::Silent:
            break;
        }
        return fail(kNoSwitch, "no switch answered on " + path + source);
    }

    int status()
    {
        if (!m_link->pollStatus(Clock::now() + m_request.timeout))
            return fail(kNotConfirmed,
                        "the switch's status stayed incomplete for " + seconds(m_request.timeout)
                            + " s");
        const SwitchReport &report = m_link->report();
        print(m_request.json ? object("\"banks\": " + statusJson(report)) : statusText(report));
        return kDone;
    }

    int version()
    {
        const auto deadline = Clock::now() + m_request.timeout;
        if (!m_link->pollStatus(deadline) || !m_link->readVersions(deadline)) {
            const SwitchReport &report = m_link->report();
            return fail(kNotConfirmed,
                        "not every bank gave its version within " + seconds(m_request.timeout)
                            + " s",
                        "\"banks\": " + versionJson(report));
        }
        const SwitchReport &report = m_link->report();
        print(m_request.json ? object("\"banks\": " + versionJson(report)) : versionText(report));
        return kDone;
    }

    std::string target() const
    {
        return "\"bank\": " + std::to_string(m_request.bank)
            + ", \"port\": " + std::to_string(m_request.portNumber);
    }

    std::string targetText() const
    {
        if (m_request.bank == 0)
            return "all banks";
        if (m_request.portNumber == 0)
            return "bank " + std::to_string(m_request.bank);
        return "bank " + std::to_string(m_request.bank) + " port "
            + std::to_string(m_request.portNumber);
    }

    SwitchOutcome switchStep(bool on)
    {
        return switchConfirmed(*m_link, on, m_request.bank, m_request.portNumber,
                               m_request.timeout);
    }

    static std::string fieldsOf(const std::string &jsonObject)
    {
        return jsonObject.substr(1, jsonObject.size() - 2);
    }

    int notConfirmed(const SwitchOutcome &outcome, const std::string &fields)
    {
        std::fprintf(stderr, "relaybox-cli: not confirmed within %s s: %s\n",
                     seconds(m_request.timeout).c_str(), outcome.why.c_str());
        if (m_request.json)
            print(object(fields + ", \"exit\": 1"));
        return kNotConfirmed;
    }

    int switchPorts()
    {
        const bool on = m_request.command == Command::On;
        const SwitchOutcome outcome = switchStep(on);
        const std::string fields = target() + ", " + fieldsOf(outcomeJson(outcome));
        if (!outcome.confirmed)
            return notConfirmed(outcome, fields);
        print(m_request.json ? object(fields)
                             : targetText() + (on ? ": on" : ": off") + ", confirmed\n");
        return kDone;
    }

    int cycle()
    {
        const std::string head =
            target() + ", \"delay_seconds\": " + json::number(m_request.delay.count() / 1000.0, 3);
        const SwitchOutcome off = switchStep(false);
        std::string steps = "{\"step\": \"off\", " + fieldsOf(outcomeJson(off)) + "}";
        if (!off.confirmed)
            return notConfirmed(off, head + ", \"confirmed\": false, \"steps\": [" + steps + "]");
        if (!m_request.json)
            print(targetText() + ": off, confirmed\n");
        std::fflush(stdout);
        std::this_thread::sleep_for(m_request.delay);
        const SwitchOutcome on = switchStep(true);
        steps += ", {\"step\": \"on\", " + fieldsOf(outcomeJson(on)) + "}";
        const std::string fields = head + ", \"confirmed\": " + json::boolean(on.confirmed)
            + ", \"steps\": [" + steps + "]";
        if (!on.confirmed)
            return notConfirmed(on, fields);
        print(m_request.json ? object(fields) : targetText() + ": on, confirmed\n");
        return kDone;
    }

    Request m_request;
    std::string m_device;
    std::unique_ptr<SwitchLink> m_link;
};

} // namespace

int runCommand(const Request &request)
{
    return Run(request).exec();
}

} // namespace relaybox::cli
