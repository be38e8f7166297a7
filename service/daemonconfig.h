#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "service/listenaddress.h"
#include "service/validname.h"

// relayboxd's configuration file, read strictly: an unknown section or key, a value out of
// range, a name or port given twice or a reference to nothing stops the start with the file,
// the line and the key.
//
//   [daemon]          listen, pdudaemon, poll, audit, tokens
//   [switch NAME]     port
//   [outlet NAME]     ports ("SWITCH BANK PORT, ..."), delay

namespace relaybox::service {

struct SwitchConfig
{
    std::string name;
    std::string port; // a device path, a name from the port table, or COMn
};

struct OutletMember
{
    std::string switchName;
    int bank = 0;
    int port = 0;
    friend bool operator==(const OutletMember &, const OutletMember &) = default;
};

struct OutletConfig
{
    std::string name;
    std::vector<OutletMember> members; // switched in this order
    std::chrono::milliseconds delay { 0 }; // between members when switching on
};

struct DaemonConfig
{
    std::vector<ListenAddress> listen;
    std::optional<ListenAddress> pdudaemon; // the TCP protocol of pdudaemon's clients
    std::chrono::milliseconds poll { 5000 };
    std::string audit; // the audit trail's path
    std::string tokens; // "NAME SECRET" lines; empty: none
    std::vector<SwitchConfig> switches;
    std::vector<OutletConfig> outlets;
};

struct ConfigError
{
    std::string file;
    int line = 0; // 0: the file as a whole
    std::string key; // "[outlet web] ports"; empty when the line has none
    std::string message;

    std::string text() const; // "FILE:LINE: [outlet web] ports: MESSAGE"
};

std::variant<DaemonConfig, ConfigError> parseDaemonConfig(std::string_view content,
                                                          const std::string &fileName);
std::variant<DaemonConfig, ConfigError> readDaemonConfig(const std::string &path);

} // namespace relaybox::service
