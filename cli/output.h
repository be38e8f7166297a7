#pragma once

#include <string>

#include "cli/callreport.h"
#include "cli/switching.h"
#include "platform/hostports.h"

// What relaybox-cli prints on standard output: a small table for people, or with --json one
// JSON object per call.

namespace relaybox::cli {

struct PortSetting;

std::string statusText(const SwitchReport &report);
Json statusJson(const SwitchReport &report); // the "banks" array

std::string versionText(const SwitchReport &report);
Json versionJson(const SwitchReport &report);

std::string portsText(const HostPortTable &table, const PortSetting &setting);
Json portsJson(const HostPortTable &table); // the "ports" array, AUTO first

Json notFollowedJson(const SwitchOutcome &outcome); // [{"bank": 2, "port": 4}]
Json banksJson(const SwitchOutcome &outcome); // [1, 2, 3]
// {"step": "off", "confirmed", "seconds", "not_followed", and "error" when not confirmed}
Json stepJson(const std::string &step, const SwitchOutcome &outcome);

} // namespace relaybox::cli
