#include "cli/connect.h"

#include <algorithm>

#include "cli/exitstatus.h"
#include "platform/localportsources.h"
#include "platform/stopsignals.h"

namespace relaybox::cli {

namespace {

using namespace std::chrono_literals;

const std::string kProgramName = "relaybox-cli";
// The probe's own limit for the Identify answer; a switch answers within milliseconds.
constexpr auto kIdentifyWait = 2000ms;
// How often a wait for the port looks at the clock and for a stop signal.
constexpr auto kWaitSlice = 50ms;

using Result = std::variant<Connection, ConnectFailure>;

ConnectFailure interrupted(const std::string &device)
{
    return { kStoppedBase + stopSignal(), "interrupted", device };
}

std::string holderText(const std::optional<PortHolder> &holder)
{
    if (!holder)
        return "another program";
    return "another program (" + holder->program + ", pid " + std::to_string(holder->pid) + ")";
}

std::string openProblem(OpenError error, const std::optional<PortHolder> &holder)
{
    switch (error) {
    case OpenError::NoSuchPort:
        return "no such port";
    case OpenError::PermissionDenied:
        return "permission denied (join the dialout group: sudo adduser $USER dialout, then "
               "log in again)";
    case OpenError::InUse:
        return "in use by " + holderText(holder);
    case OpenError::NotASerialPort:
        return "not a serial port";
    default:
        return "the system refused it";
    }
}

ConnectFailure heldByManager(const std::string &cannot, const std::string &path,
                             const PortHolder &manager)
{
    return { kPortUnavailable,
             cannot + "held by the KESTRANE Relaybox manager, pid " + std::to_string(manager.pid)
                 + "; enable Share or close it",
             path, manager };
}

std::chrono::milliseconds sliceUntil(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return std::clamp<std::chrono::milliseconds>(left, 0ms, kWaitSlice);
}

// Opens `path` when it is this call's turn. Waits while another relaybox-cli holds the port (it
// lets go within its own --timeout); any other holder keeps it, so that fails at once.
std::optional<ConnectFailure> openInTurn(Connection &connection, const std::string &path,
                                         const std::string &source, Clock::time_point deadline)
{
    connection.device = path;
    if (isSystemConsole(path, readActiveConsoles()))
        return ConnectFailure { kPortUnavailable, path + " is a system console; it is never opened",
                                path };
    connection.turn = joinPortQueue(path, kProgramName);
    connection.link = std::make_unique<SwitchLink>(makeSerialPort());
    const std::string cannot = "cannot open " + path + source + ": ";
    for (;;) {
        if (stopSignal() != 0)
            return interrupted(path);
        if (Clock::now() >= deadline)
            return ConnectFailure {
                kPortUnavailable,
                cannot + "other relaybox-cli calls held it until --timeout ran out", path
            };
        if (!connection.turn->waitForTurn(sliceUntil(deadline))) {
            // The manager keeps its turn for as long as it is linked: not worth waiting for.
            if (const auto ahead = connection.turn->holderAhead();
                ahead && ahead->program == kManagerProgram)
                return heldByManager(cannot, path, *ahead);
            continue;
        }
        const OpenError error = connection.link->open(path);
        if (error == OpenError::None)
            return std::nullopt;
        const auto holder =
            error == OpenError::InUse ? findPortHolder(path) : std::optional<PortHolder> {};
        if (holder && holder->program == kManagerProgram)
            return heldByManager(cannot, path, *holder);
        if (!holder || holder->program != kProgramName)
            return ConnectFailure { kPortUnavailable, cannot + openProblem(error, holder), path };
        sleepUnlessStopped(sliceUntil(deadline)); // a relaybox-cli that is ending
    }
}

std::optional<ConnectFailure> identify(SwitchLink &link, const std::string &path,
                                       const std::string &source, Clock::time_point deadline)
{
    switch (link.identify(std::min(deadline, Clock::now() + kIdentifyWait))) {
    case IdentifyResult::Switch:
        return std::nullopt;
    case IdentifyResult::Loader:
        return ConnectFailure { kNoSwitch,
                                "the switch on " + path
                                    + " answers as its firmware loader; finish the upgrade "
                                      "in the manager first",
                                path };
    case IdentifyResult::Silent:
        break;
    }
    if (link.stopped())
        return interrupted(path);
    return ConnectFailure { kNoSwitch, "no switch answered on " + path + source, path };
}

Result search(const HostPortTable &table, Clock::time_point deadline)
{
    for (int slot = 1; slot <= table.count() && Clock::now() < deadline; ++slot) {
        Connection connection;
        const auto failure = openInTurn(connection, table.path(slot), {}, deadline);
        if (!failure && !identify(*connection.link, table.path(slot), {}, deadline))
            return connection;
        if (failure && failure->manager)
            return *failure; // the manager's switch, reached through it if it shares

        if (stopSignal() != 0)
            return interrupted({});
    }
    return ConnectFailure { kNoSwitch,
                            "no switch answered on the " + std::to_string(table.count())
                                + " ports of the table within --timeout (relaybox-cli ports "
                                  "lists them)",
                            {} };
}

} // namespace

Result connectSwitch(const PortChoice &choice, const HostPortTable &table,
                     Clock::time_point deadline)
{
    if (choice.kind == PortChoice::Search)
        return search(table, deadline);
    Connection connection;
    if (auto failure = openInTurn(connection, choice.path, choice.source, deadline))
        return *failure;
    if (auto failure = identify(*connection.link, choice.path, choice.source, deadline))
        return *failure;
    return connection;
}

} // namespace relaybox::cli
