#pragma once

#include <QString>

// The operator's message when no switch answers, or when the link to it is lost or cannot open.

namespace relaybox {

inline const QString kLinkLostMessage = QStringLiteral(
    "Could not find KESTRANE Relaybox. Please check the connection between KESTRANE Relaybox "
    "and the PC.");

// Added on its own line when the link port was refused for want of permission (POSIX).
inline const QString kJoinDialoutMessage =
    QStringLiteral("No permission to open %1: add your user to the dialout group "
                   "(sudo adduser $USER dialout), then log in again.");

} // namespace relaybox
