#include "cli/commands.h"

#include <cstdio>
#include <string>

#include "cli/callreport.h"
#include "cli/connect.h"
#include "cli/exitstatus.h"
#include "cli/output.h"
#include "cli/portchoice.h"
#include "cli/servercall.h"
#include "cli/switching.h"
#include "platform/shareendpoint.h"
#include "platform/stopsignals.h"

namespace relaybox::cli {
namespace {

// "10", "2.5": for messages.
std::string seconds(std::chrono::milliseconds duration)
{
    char text[32];
    std::snprintf(text, sizeof text, duration.count() % 1000 ? "%.1f" : "%.0f",
                  double(duration.count()) / 1000.0);
    return text;
}

std::string signalName(int number)
{
    switch (number) {
    case 1:
        return "SIGHUP";
    case 2:
        return "SIGINT";
    case 15:
        return "SIGTERM";
    default:
        return "signal " + std::to_string(number);
    }
}

// One call of the tool: the port chosen and opened, the switch identified, one command run.
class Run
{
public:
    explicit Run(Request request)
        : m_request(std::move(request))
        , m_report(m_request.json, commandName(m_request.command))
    { }

    int exec()
    {
        const int exit = dispatch();
        m_connection.close();
        if (!m_handedOver)
            m_report.print();
        return exit;
    }

private:
    int dispatch()
    {
        const auto folder = folderOfProgram();
        const HostPortTable table = hostPortTable(folder);
        const PortSetting setting = readPortSetting(folder, table);
        if (m_request.command == Command::Ports)
            return ports(table, setting);
        const PortChoice choice = choosePort(m_request.port, table, setting);
        if (choice.kind == PortChoice::NoneGiven)
            return m_report.fail(kUsage, noPortMessage(setting));

        m_deadline = Clock::now() + m_request.timeout;
        auto connected = connectSwitch(choice, table, m_deadline);
        if (auto *failure = std::get_if<ConnectFailure>(&connected)) {
            // A manager that shares its line takes the command; one that does not is named.
            const auto endpoint =
                failure->manager ? shareEndpointPath(failure->device) : std::nullopt;
            if (const auto manager = endpoint ? shareAccess(*endpoint) : std::nullopt) {
                m_handedOver = true;
                return runThroughManager(m_request, failure->device, *manager);
            }
            if (!failure->device.empty())
                m_report.add("device", failure->device);
            return failure->exit >= kStoppedBase ? interrupted()
                                                 : m_report.fail(failure->exit, failure->message);
        }
        m_connection = std::move(std::get<Connection>(connected));
        m_report.add("device", m_connection.device);
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

    SwitchLink &link() { return *m_connection.link; }

    static std::string noPortMessage(const PortSetting &setting)
    {
        const std::string ini = setting.settingsPath.string();
        return "no port given"
            + (setting.fileFound ? " and ComPort=" + std::to_string(setting.comPort) + " in " + ini
                       + " names none"
                                 : " and no " + ini)
            + ": use --port PATH|NAME|COMn, --port auto to search the port table, or set ComPort "
              "to an index from relaybox-cli ports";
    }

    int interrupted(const std::string &what = {})
    {
        return m_report.fail(kStoppedBase + stopSignal(),
                             "interrupted by " + signalName(stopSignal())
                                 + (what.empty() ? "" : "; " + what),
                             "interrupted");
    }

    int ports(const HostPortTable &table, const PortSetting &setting)
    {
        m_report.add("settings", setting.settingsPath.string());
        m_report.add("settings_found", setting.fileFound);
        m_report.add("com_port", setting.comPort);
        m_report.add("ports", portsJson(table));
        return m_report.done(portsText(table, setting));
    }

    std::string within() const { return " within " + seconds(m_request.timeout) + " s"; }

    // A poll or query that the deadline, a stop signal or the port ended.
    int incomplete(const std::string &message)
    {
        if (link().stopped())
            return interrupted();
        return m_report.fail(kNotConfirmed, message);
    }

    int status()
    {
        if (!link().pollStatus(m_deadline))
            return incomplete("the switch's status stayed incomplete" + within());
        m_report.add("banks", statusJson(link().report()));
        return m_report.done(statusText(link().report()));
    }

    int version()
    {
        const bool complete = link().pollStatus(m_deadline) && link().readVersions(m_deadline);
        m_report.add("banks", versionJson(link().report()));
        if (!complete)
            return incomplete("not every bank gave its version" + within());
        return m_report.done(versionText(link().report()));
    }

    std::string targetText() const
    {
        return SwitchCommand { true, m_request.bank, m_request.portNumber }.target();
    }

    // Before any switching frame: a bank the chain does not have is refused.
    std::optional<int> refuseBankBeyondChain()
    {
        if (m_request.bank <= 1)
            return std::nullopt; // every chain has bank 1; 0 is all banks
        switch (link().findBank(m_request.bank, m_deadline)) {
        case BankPresence::InChain:
            return std::nullopt;
        case BankPresence::BeyondChain: {
            const int count = link().report().bankCount;
            return m_report.fail(kUsage,
                                 "bank " + std::to_string(m_request.bank)
                                     + " is beyond the switch's chain of " + std::to_string(count)
                                     + (count == 1 ? " bank" : " banks")
                                     + "; nothing was switched");
        }
        case BankPresence::Unknown:
            break;
        }
        return incomplete("the switch gave no bank count" + within() + "; nothing was switched");
    }

    SwitchOutcome switchStep(bool on, Clock::time_point deadline)
    {
        return switchConfirmed(link(), on, m_request.bank, m_request.portNumber, deadline);
    }

    void addTarget()
    {
        m_report.add("bank", m_request.bank);
        m_report.add("port", m_request.portNumber);
    }

    // exit 1, or the interruption; `progress` says what was done so far, for people.
    int notConfirmed(const SwitchOutcome &last, const std::string &progress)
    {
        if (stopSignal() != 0)
            return interrupted(targetText() + ": " + progress);
        return m_report.fail(kNotConfirmed, "not confirmed" + within() + ": " + last.why, last.why);
    }

    void addOutcome(const SwitchOutcome &outcome)
    {
        m_report.add("confirmed", outcome.confirmed);
        m_report.add("seconds", jsonSeconds(outcome.took));
        m_report.add("not_followed", notFollowedJson(outcome));
        m_report.add("banks", banksJson(outcome));
    }

    int switchPorts()
    {
        addTarget();
        if (const auto refused = refuseBankBeyondChain())
            return *refused;
        const bool on = m_request.command == Command::On;
        const SwitchOutcome outcome = switchStep(on, m_deadline);
        addOutcome(outcome);
        if (!outcome.confirmed)
            return notConfirmed(outcome, std::string(on ? "on" : "off") + " sent, not confirmed");
        return m_report.done(targetText() + (on ? ": on" : ": off") + ", confirmed\n");
    }

    // Off, the delay, on. The on step has a --timeout of its own after the delay.
    int cycle()
    {
        addTarget();
        m_report.add("delay_seconds", jsonSeconds(m_request.delay));
        if (const auto refused = refuseBankBeyondChain())
            return *refused;
        const SwitchOutcome off = switchStep(false, m_deadline);
        Json steps = Json::array({ stepJson("off", off) });
        std::string progress = off.confirmed ? "off confirmed" : "off sent, not confirmed";
        std::optional<SwitchOutcome> on;
        if (off.confirmed) {
            if (!m_request.json) {
                std::printf("%s: off, confirmed\n", targetText().c_str());
                std::fflush(stdout);
            }
            if (sleepUnlessStopped(m_request.delay)) {
                on = switchStep(true, Clock::now() + m_request.timeout);
                steps.push_back(stepJson("on", *on));
                progress += on->confirmed ? ", on confirmed" : ", on sent, not confirmed";
            } else {
                progress += ", on not sent";
            }
        }
        const SwitchOutcome &last = on ? *on : off;
        m_report.add("confirmed", on && on->confirmed);
        m_report.add("steps", std::move(steps));
        m_report.add("banks", banksJson(last));
        if (!on || !on->confirmed)
            return notConfirmed(last, progress);
        return m_report.done(targetText() + ": on, confirmed\n");
    }

    Request m_request;
    CallReport m_report;
    Clock::time_point m_deadline {};
    Connection m_connection;
    bool m_handedOver = false; // to the manager, which printed the report
};

} // namespace

int runCommand(const Request &request)
{
    if (request.server && request.command != Command::Ports)
        return runThroughServer(request);
    return Run(request).exec();
}

} // namespace relaybox::cli
