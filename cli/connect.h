#pragma once

#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "cli/portchoice.h"
#include "cli/switchlink.h"
#include "platform/portqueue.h"

// Reaching the switch: the port opened in its turn and the Identify command answered. A port
// that other relaybox-cli calls hold or wait for is waited for in arrival order until the
// deadline; a port any other program holds fails at once. --port auto tries the ports of the
// table in order until a switch answers.

namespace relaybox::cli {

struct Connection
{
    std::string device;
    std::unique_ptr<PortQueue> turn; // declared first: left only after the link has closed
    std::unique_ptr<SwitchLink> link;

    // Closes the port (clearing its exclusive use), then lets the next call have its turn.
    void close()
    {
        link.reset();
        turn.reset();
    }
};

struct ConnectFailure
{
    int exit = 0; // kNoSwitch, kPortUnavailable, or 128 + the stop signal
    std::string message;
    std::string device; // empty when no port was settled on
    std::optional<PortHolder> manager =
        std::nullopt; // the KESTRANE Relaybox manager holds the port
};

// The name the manager's process goes by in the port's queue and in the system's lists.
inline const std::string kManagerProgram = "relaybox";

std::variant<Connection, ConnectFailure>
connectSwitch(const PortChoice &choice, const HostPortTable &table, Clock::time_point deadline);

} // namespace relaybox::cli
