#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "service/relayservice.h"

// The JSON the service answers and records, in relaybox-cli's shapes and key names.

namespace relaybox::service {

using Json = nlohmann::ordered_json;

// One line; text that is not UTF-8 (a client's path) is written with replacement characters.
std::string dumpJson(const Json &json);

// Seconds rounded to the millisecond.
double secondsOf(std::chrono::milliseconds duration);

// relaybox-cli's status shape: [{"bank", "current", "version", "ports": [{"port", "on",
// "timer_flag"}]}] for banks 1..bankCount.
Json banksJson(const SwitchState &state);

// relaybox-cli's switching shape: {"command", "switch", "bank", "port", "confirmed", "seconds",
// "not_followed", "banks" (those covered), "error"}, a cycle's "delay_seconds" and "steps"; an
// outlet's members as steps.
Json reportJson(const SwitchingRequest &request, const SwitchingReport &report);

// One line of the audit trail.
Json auditRecordJson(const std::string &time, const SwitchingRequest &request,
                     const ClientIdentity &client, const SwitchingReport &report);

} // namespace relaybox::service
