#pragma once

#include "platform/operatordialogs.h"
#include "settings/settingsfile.h"

// Tells the operator that the settings file could not be created or written; silent on success.

namespace relaybox {

void reportSettingsResult(OperatorDialogs &dialogs, const SettingsResult &result);

} // namespace relaybox
