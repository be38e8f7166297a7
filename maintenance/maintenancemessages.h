#pragma once

#include <QString>

// The operator's messages of clock synchronisation and the firmware upgrade. A carriage return
// breaks the line in a message box.

namespace relaybox {

inline const QString kWarningTitle = QStringLiteral("Warning");
inline const QString kCautionTitle = QStringLiteral("Caution");
inline const QString kApplicationTitle = QStringLiteral("KESTRANE Relaybox Management");

inline const QString kTimersAffectedMessage =
    QStringLiteral("Existing Timer Settings might be affected. \rPlease check.");
inline const QString kClockFailureMessage = QStringLiteral("Battery no power or RTC failure");

inline const QString kFirmwareFilter = QStringLiteral("x files(*.x)|*.x");
inline const QString kReloadFirmwareMessage = QStringLiteral("Please re-load Firmware Code");
inline const QString kUpgradeCompletedMessage = QStringLiteral("Firmware Upgrade Completed");
inline const QString kFirmwareFailureMessage =
    QStringLiteral("Firmware Failure! Please re-upgrade firmware");
inline const QString kUpgradeTimeoutMessage =
    QStringLiteral("Upgrade timeout. \rPlease try again.");

// Firmware files the upload cannot take; nothing has been sent to the switch.
inline const QString kImageUnreadableMessage =
    QStringLiteral("The firmware file cannot be read. \rNothing was sent to the switch.");
inline const QString kImageEmptyMessage =
    QStringLiteral("The firmware file is empty. \rNothing was sent to the switch.");
inline const QString kImageTooLargeMessage = QStringLiteral(
    "The firmware file is larger than 65535 bytes. \rNothing was sent to the switch.");

} // namespace relaybox
