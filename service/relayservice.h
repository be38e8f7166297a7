#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "service/audittrail.h"
#include "service/clientidentity.h"
#include "service/daemonconfig.h"
#include "service/servicemetrics.h"
#include "service/switchqueue.h"

// Switching as a service: the switches by name, each with its request queue, the outlets that
// group their ports, and for every switching request, whatever its result, one audit line and
// one count. Any thread may call it; a request blocks its caller until it is answered.

namespace relaybox::service {

enum class Action { On, Off, Cycle };

const char *actionName(Action action);

struct SwitchingRequest
{
    Action action = Action::On;
    std::string outlet; // when set, the request is for the outlet's members
    std::string switchName;
    int bank = 0; // 1..16, 0 with port 0 = every bank
    int port = 0; // 1..8, 0 = the whole bank
    std::chrono::milliseconds timeout { 10000 }; // for each step to be confirmed, queueing included
    std::chrono::milliseconds delay { 5000 }; // cycle: off, this long, then on
    std::chrono::milliseconds wait { 0 }; // before anything is sent (pdudaemon's on/off delay)
    std::string text; // the request as the client sent it, for the audit trail
};

struct SwitchingStep
{
    bool on = true;
    std::string switchName;
    SwitchCommand command;
    CommandResult result;
};

struct SwitchingReport
{
    // confirmed, not_confirmed (something was sent), link_down, busy, refused (nothing sent)
    std::string result;
    std::vector<SwitchingStep> steps; // in the order they were done
    std::chrono::milliseconds took {};
    std::string error; // one line, unless confirmed
    int status = 200; // as HTTP says it: 200, 409, 503, 404, or the refusal's own

    bool confirmed() const { return result == "confirmed"; }
};

class RelayService
{
public:
    struct Switch
    {
        std::string name;
        std::string port; // as configured
        SwitchBackend &backend;
    };

    RelayService(const std::vector<Switch> &switches, std::vector<OutletConfig> outlets,
                 std::unique_ptr<AuditTrail> audit, SwitchQueue::Timing timing = {});
    ~RelayService();

    // Answers what waits, refuses what comes; the backends may stop once this returned.
    void stop();

    struct SwitchView
    {
        std::string name;
        std::string port;
        SwitchState state;
    };
    std::vector<SwitchView> switches() const;
    std::optional<SwitchView> findSwitch(const std::string &name) const;
    const std::vector<OutletConfig> &outlets() const { return m_outlets; }
    const OutletConfig *findOutlet(const std::string &name) const;

    SwitchingReport execute(const SwitchingRequest &request, const ClientIdentity &client);
    // A switching request refused before it reached a switch (malformed, not authorised):
    // recorded and counted like any other.
    SwitchingReport refuse(const SwitchingRequest &request, const ClientIdentity &client,
                           int status, const std::string &error);

    std::string metricsText() const;

    // Where the service reports trouble that has no request to answer (an audit line that could
    // not be written). Set before the first request.
    void setLog(std::function<void(const std::string &)> log) { m_log = std::move(log); }

    // Told of every switching request once it is answered, from the thread that answered it.
    using Observer = std::function<void(const SwitchingRequest &, const ClientIdentity &,
                                        const SwitchingReport &)>;
    void setObserver(Observer observer) { m_observer = std::move(observer); }

private:
    struct Entry;
    struct Member
    {
        Entry *entry;
        SwitchCommand command;
    };

    Entry *entry(const std::string &name) const;
    SwitchingReport run(const SwitchingRequest &request);
    bool runPhase(const std::vector<Member> &members, bool on, std::chrono::milliseconds spacing,
                  Clock::time_point deadline, SwitchingReport &report);
    bool pause(std::chrono::milliseconds duration); // false when stopping
    void record(const SwitchingRequest &request, const ClientIdentity &client,
                const SwitchingReport &report);

    std::vector<std::unique_ptr<Entry>> m_switches;
    std::vector<OutletConfig> m_outlets;
    std::unique_ptr<AuditTrail> m_audit;
    ServiceMetrics m_metrics;
    std::mutex m_stopMutex;
    std::condition_variable m_stopped;
    bool m_stopping = false;
    std::function<void(const std::string &)> m_log;
    Observer m_observer;
};

} // namespace relaybox::service
