// relayboxd: owns the serial line of each KESTRANE Relaybox switch and serves many clients over
// HTTP: switching confirmed by the switch's own status, pdudaemon's and labgrid's protocols,
// Prometheus metrics and an audit trail. Parses the command line and dispatches.
#include <CLI/CLI.hpp>
#include <cstdio>

#include "daemon/daemonrun.h"

namespace {

constexpr const char *kDescription =
    "relayboxd: the one owner of each KESTRANE Relaybox switch's serial line, serving many\n"
    "clients over HTTP. A switching request is answered when the switch's own status shows the\n"
    "change, and every one is recorded in the audit trail.";

constexpr const char *kFooter = R"(
Configuration (INI; ";" or "#" starts a comment):
  [daemon]
  listen = 127.0.0.1:8080        one or more, comma-separated: ADDRESS:PORT, [IPV6]:PORT,
                                 unix:PATH (mode 0660). Any address other than loopback
                                 or a Unix socket needs tokens, or relayboxd refuses to start
  pdudaemon = 127.0.0.2:16421    optional, loopback only: pdudaemon's TCP protocol
  poll = 5                       seconds between status polls of each switch
  audit = /var/lib/relaybox/audit.jsonl   required: one JSON line per switching request
  tokens = /etc/relaybox/tokens  "NAME SECRET" lines (secrets of 16 to 256 characters; the
                                 file not readable by every user); clients send
                                 "Authorization: Bearer SECRET"
  [switch rack-a]
  port = /dev/ttyUSB0            a device path, a name from the port table, or COM5
  [outlet web]
  ports = rack-a 1 1, rack-b 1 2 SWITCH BANK PORT members, switched in this order
  delay = 1                      seconds between members when switching on
An error (unknown section or key, a value out of range, a port given twice, an outlet naming
no switch) stops the start with the file, line and key.

HTTP API (JSON; every error body is {"error": "..."}):
  GET  /api/v1/switches                    name, port, link up/down, banks
  GET  /api/v1/switches/NAME               link, age of the status, banks as relaybox-cli's
                                           status --json
  POST /api/v1/switches/NAME/banks/B/ports/P/on|off|cycle[?timeout=S][&delay=S]
       B 1..16, P 1..8; P 0 = the whole bank; B 0 with P 0 = all banks; timeout
       default 10 s (queueing included), cycle's delay default 5 s
  GET  /api/v1/outlets                     members and their state
  POST /api/v1/outlets/NAME/on|off|cycle   confirmed when every member is
  GET|PUT /api/v1/switches/NAME/outlets/INDEX/value   labgrid's "rest" power port:
       text 1 or 0; INDEX 1..128 = (bank - 1) x 8 + port
  GET|POST /power/control/on|off|reboot?hostname=SWITCH&port=INDEX_OR_OUTLET[&delay=S]
       pdudaemon's HTTP API
  GET  /metrics                            Prometheus text
Answers: 200 confirmed; 409 sent but not confirmed in time (not_followed names the ports);
503 the switch's line is down, the requests ahead took the whole timeout, or the audit trail
cannot be written (nothing sent); 404 no such switch, outlet or bank; 400 malformed; 401 no
valid token (nothing sent in each case).

Logs go to standard error, one line per event. SIGTERM or SIGINT stops relayboxd after
answering the requests it holds.

Exit status: 0 stopped on a signal, or --check-config found nothing wrong; 1 the
configuration is wrong or something it names cannot be used; 2 usage error.)";

} // namespace

int main(int argc, char **argv)
{
    using namespace relaybox::daemon;
    CLI::App app(kDescription, "relayboxd");
    app.footer(kFooter);
    std::string configPath;
    bool check = false;
    bool version = false;
    app.add_option("--config", configPath, "the configuration file")->option_text("FILE");
    app.add_flag("--check-config", check, "check the configuration and the tokens, then exit");
    app.add_flag("--version", version, "print the version and exit");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp &help) {
        return app.exit(help);
    } catch (const CLI::ParseError &error) {
        std::fprintf(stderr, "relayboxd: %s\nTry 'relayboxd --help'.\n", error.what());
        return kExitUsage;
    }
    if (version) {
        std::printf("relayboxd %s\n", RELAYBOX_VERSION);
        return kExitDone;
    }
    if (configPath.empty()) {
        std::fprintf(stderr, "relayboxd: --config FILE is required\nTry 'relayboxd --help'.\n");
        return kExitUsage;
    }
    return check ? checkConfig(configPath) : runDaemon(configPath);
}
