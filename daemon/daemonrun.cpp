#include "daemon/daemonrun.h"

#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <pthread.h>
#include <variant>
#include <vector>

#include "daemon/serialswitchbackend.h"
#include "service/accesstokens.h"
#include "service/daemonconfig.h"
#include "service/relayservice.h"
#include "service/serviceapi.h"
#include "service/servicetransport.h"

namespace relaybox::daemon {

namespace {

using namespace relaybox::service;

void logLine(const std::string &text)
{
    std::fputs(("relayboxd: " + text + "\n").c_str(), stderr);
}

// The configuration and, when it names them, the tokens; nullopt after saying what is wrong.
struct Loaded
{
    DaemonConfig config;
    std::optional<AccessTokens> tokens;
};

std::optional<Loaded> load(const std::string &path)
{
    auto parsed = readDaemonConfig(path);
    if (const auto *error = std::get_if<ConfigError>(&parsed)) {
        logLine(error->text());
        return std::nullopt;
    }
    Loaded loaded { std::get<DaemonConfig>(std::move(parsed)), std::nullopt };
    if (!loaded.config.tokens.empty()) {
        std::string error;
        loaded.tokens = AccessTokens::read(loaded.config.tokens, error);
        if (!loaded.tokens) {
            logLine("tokens: " + error);
            return std::nullopt;
        }
    }
    return loaded;
}

std::string count(std::size_t n, const char *one, const char *many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string listenText(const DaemonConfig &config)
{
    std::string text;
    for (const ListenAddress &address : config.listen)
        text += (text.empty() ? "" : ", ") + address.text()
            + (address.isLocal() ? "" : " (token required)");
    if (config.pdudaemon)
        text += ", pdudaemon protocol on " + config.pdudaemon->text();
    return text;
}

} // namespace

int checkConfig(const std::string &configPath)
{
    const auto loaded = load(configPath);
    if (!loaded)
        return kExitFailed;
    const DaemonConfig &config = loaded->config;
    std::printf("%s: configuration OK: %s, %s; listening on %s\n", configPath.c_str(),
                count(config.switches.size(), "switch", "switches").c_str(),
                count(config.outlets.size(), "outlet", "outlets").c_str(),
                listenText(config).c_str());
    return kExitDone;
}

int runDaemon(const std::string &configPath)
{
    // Every thread started from here on leaves these signals to the sigwait below.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    const auto loaded = load(configPath);
    if (!loaded)
        return kExitFailed;
    const DaemonConfig &config = loaded->config;

    std::string error;
    auto audit = AuditTrail::open(config.audit, error);
    if (!audit) {
        logLine("audit: " + error);
        return kExitFailed;
    }

    SerialSwitchBackend::Timing timing;
    timing.poll = config.poll;
    std::vector<std::unique_ptr<SerialSwitchBackend>> backends;
    std::vector<RelayService::Switch> switches;
    for (const SwitchConfig &entry : config.switches) {
        backends.push_back(
            std::make_unique<SerialSwitchBackend>(entry.name, entry.port, timing, logLine));
        switches.push_back({ entry.name, entry.port, *backends.back() });
    }
    RelayService service(switches, config.outlets, std::move(audit));
    service.setLog(logLine);
    const ServiceApi api(service, loaded->tokens ? &*loaded->tokens : nullptr);
    ServiceTransport transport(api);
    for (const ListenAddress &address : config.listen) {
        if (!transport.listenHttp(address, !address.isLocal(), error)) {
            logLine("cannot listen on " + address.text() + ": " + error);
            return kExitFailed;
        }
    }
    if (config.pdudaemon && !transport.listenPdudaemon(*config.pdudaemon, error)) {
        logLine("cannot listen on " + config.pdudaemon->text() + ": " + error);
        return kExitFailed;
    }

    for (const auto &backend : backends)
        backend->start();
    transport.start();
    logLine("listening on " + listenText(config) + "; " + std::to_string(switches.size())
            + (switches.size() == 1 ? " switch" : " switches") + ", audit trail " + config.audit);

    for (;;) {
        int received = 0;
        if (sigwait(&signals, &received) != 0 || received != SIGHUP)
            break;
        logLine("SIGHUP: nothing to reload; restart relayboxd to read its configuration");
    }
    logLine("stopping");
    // Waiting requests are answered first, then their connections end, then the lines close.
    service.stop();
    transport.stop();
    for (const auto &backend : backends)
        backend->stop();
    return kExitDone;
}

} // namespace relaybox::daemon
