#include "service/relayservice.h"

#include "service/switchingjson.h"
#include "service/utctime.h"

namespace relaybox::service {

struct RelayService::Entry
{
    std::string name;
    std::string port;
    SwitchBackend &backend;
    SwitchQueue queue;

    Entry(const Switch &config, SwitchQueue::Timing timing)
        : name(config.name)
        , port(config.port)
        , backend(config.backend)
        , queue(config.backend, timing)
    { }
};

namespace {

std::string resultName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Confirmed:
        return "confirmed";
    case Outcome::NotConfirmed:
        return "not_confirmed";
    case Outcome::LinkDown:
        return "link_down";
    case Outcome::Busy:
        return "busy";
    case Outcome::NoSuchBank:
        break;
    }
    return "refused";
}

int statusOf(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Confirmed:
        return 200;
    case Outcome::NotConfirmed:
        return 409;
    case Outcome::LinkDown:
    case Outcome::Busy:
        return 503;
    case Outcome::NoSuchBank:
        break;
    }
    return 404;
}

bool frameSent(const SwitchingStep &step)
{
    return step.result.outcome == Outcome::Confirmed
        || step.result.outcome == Outcome::NotConfirmed;
}

} // namespace

const char *actionName(Action action)
{
    switch (action) {
    case Action::On:
        return "on";
    case Action::Off:
        return "off";
    case Action::Cycle:
        break;
    }
    return "cycle";
}

RelayService::RelayService(const std::vector<Switch> &switches, std::vector<OutletConfig> outlets,
                           std::unique_ptr<AuditTrail> audit, SwitchQueue::Timing timing)
    : m_outlets(std::move(outlets))
    , m_audit(std::move(audit))
{
    for (const Switch &config : switches)
        m_switches.push_back(std::make_unique<Entry>(config, timing));
}

RelayService::~RelayService()
{
    stop();
}

void RelayService::stop()
{
    {
        const std::lock_guard lock(m_stopMutex);
        m_stopping = true;
    }
    m_stopped.notify_all();
    for (const auto &entry : m_switches)
        entry->queue.stop();
}

RelayService::Entry *RelayService::entry(const std::string &name) const
{
    for (const auto &entry : m_switches) {
        if (entry->name == name)
            return entry.get();
    }
    return nullptr;
}

std::vector<RelayService::SwitchView> RelayService::switches() const
{
    std::vector<SwitchView> views;
    for (const auto &entry : m_switches)
        views.push_back({ entry->name, entry->port, entry->backend.state() });
    return views;
}

std::optional<RelayService::SwitchView> RelayService::findSwitch(const std::string &name) const
{
    if (const Entry *found = entry(name))
        return SwitchView { found->name, found->port, found->backend.state() };
    return std::nullopt;
}

const OutletConfig *RelayService::findOutlet(const std::string &name) const
{
    for (const OutletConfig &outlet : m_outlets) {
        if (outlet.name == name)
            return &outlet;
    }
    return nullptr;
}

bool RelayService::pause(std::chrono::milliseconds duration)
{
    std::unique_lock lock(m_stopMutex);
    return !m_stopped.wait_for(lock, duration, [&] { return m_stopping; });
}

SwitchingReport RelayService::execute(const SwitchingRequest &request, const ClientIdentity &client)
{
    SwitchingReport report;
    std::string auditError;
    if (m_audit && !m_audit->ready(auditError)) {
        report.result = "refused";
        report.status = 503;
        report.error = "the audit trail cannot be written (" + auditError
            + "); nothing is switched that cannot be recorded";
    } else {
        report = run(request);
    }
    record(request, client, report);
    return report;
}

SwitchingReport RelayService::refuse(const SwitchingRequest &request, const ClientIdentity &client,
                                     int status, const std::string &error)
{
    SwitchingReport report;
    report.result = "refused";
    report.status = status;
    report.error = error;
    record(request, client, report);
    return report;
}

SwitchingReport RelayService::run(const SwitchingRequest &request)
{
    const auto start = Clock::now();
    SwitchingReport report;
    const auto refuse = [&](int status, std::string error) {
        report.result = "refused";
        report.status = status;
        report.error = std::move(error);
        return report;
    };

    std::vector<Member> members;
    std::chrono::milliseconds spacing { 0 };
    if (!request.outlet.empty()) {
        const OutletConfig *outlet = findOutlet(request.outlet);
        if (!outlet)
            return refuse(404, "no outlet named " + request.outlet);
        for (const OutletMember &member : outlet->members) {
            Entry *found = entry(member.switchName);
            if (!found)
                return refuse(404,
                              "outlet " + outlet->name + " names no switch " + member.switchName);
            members.push_back({ found, { true, member.bank, member.port } });
        }
        spacing = outlet->delay;
    } else {
        Entry *found = entry(request.switchName);
        if (!found)
            return refuse(404, "no switch named " + request.switchName);
        members.push_back({ found, { true, request.bank, request.port } });
    }

    if (request.wait.count() > 0 && !pause(request.wait))
        return refuse(503, "the server is stopping; nothing was sent");
    const auto timeout = request.timeout + spacing * int(members.size() - 1);
    bool done = true;
    if (request.action == Action::Cycle) {
        done = runPhase(members, false, {}, Clock::now() + request.timeout, report);
        if (done && !pause(request.delay))
            done = false;
        if (done)
            done = runPhase(members, true, spacing, Clock::now() + timeout, report);
    } else {
        const bool on = request.action == Action::On;
        runPhase(members, on, on ? spacing : std::chrono::milliseconds(0),
                 Clock::now() + (on ? timeout : request.timeout), report);
    }

    report.took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    const SwitchingStep *failed = nullptr;
    bool anySent = false;
    for (const SwitchingStep &step : report.steps) {
        anySent = anySent || frameSent(step);
        if (!failed && !step.result.confirmed())
            failed = &step;
    }
    if (!failed && done) {
        report.result = "confirmed";
        report.status = 200;
    } else if (!failed) {
        report.result = "not_confirmed";
        report.status = 503;
        report.error = "relayboxd stopped before every step was done";
    } else {
        const Outcome outcome = anySent ? Outcome::NotConfirmed : failed->result.outcome;
        report.result = resultName(outcome);
        report.status = statusOf(outcome);
        report.error =
            (request.outlet.empty() ? "" : failed->switchName + ": ") + failed->result.error;
    }
    return report;
}

bool RelayService::runPhase(const std::vector<Member> &members, bool on,
                            std::chrono::milliseconds spacing, Clock::time_point deadline,
                            SwitchingReport &report)
{
    bool all = true;
    for (std::size_t i = 0; i < members.size(); ++i) {
        if (i > 0 && spacing.count() > 0 && !pause(spacing))
            return false;
        SwitchingStep step { on, members[i].entry->name, members[i].command, {} };
        step.command.on = on;
        step.result = members[i].entry->queue.run(step.command, deadline);
        if (step.result.confirmed())
            m_metrics.observeConfirmation(step.result.took.count() / 1000.0);
        all = all && step.result.confirmed();
        report.steps.push_back(std::move(step));
    }
    return all;
}

void RelayService::record(const SwitchingRequest &request, const ClientIdentity &client,
                          const SwitchingReport &report)
{
    m_metrics.countRequest(report.result);
    if (m_audit) {
        const std::string line = dumpJson(auditRecordJson(
            utcTimestamp(std::chrono::system_clock::now()), request, client, report));
        std::string error;
        if (!m_audit->append(line, error) && m_log)
            m_log("audit trail: " + error);
    }
    if (m_observer)
        m_observer(request, client, report);
}

std::string RelayService::metricsText() const
{
    std::vector<std::pair<std::string, SwitchState>> states;
    for (const auto &entry : m_switches)
        states.emplace_back(entry->name, entry->backend.state());
    return m_metrics.exposition(states, Clock::now());
}

} // namespace relaybox::service
