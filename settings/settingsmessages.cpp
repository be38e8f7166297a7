#include "settings/settingsmessages.h"

namespace relaybox {

void reportSettingsResult(OperatorDialogs &dialogs, const SettingsResult &result)
{
    switch (result.status) {
    case SettingsStatus::Ok:
        return;
    case SettingsStatus::CannotCreate:
        dialogs.message(QString(), QStringLiteral("Can not find configuration file !"),
                        MessageIcon::None);
        return;
    case SettingsStatus::CannotWrite:
        dialogs.message(QStringLiteral("KESTRANE Relaybox Management"),
                        QStringLiteral("Unable to write to %1")
                            .arg(QString::fromLocal8Bit(result.path.c_str())),
                        MessageIcon::Error);
        return;
    }
}

} // namespace relaybox
