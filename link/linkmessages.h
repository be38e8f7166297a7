#pragma once

#include <QString>
#include <optional>
#include <string>

#include "platform/portqueue.h"

// The operator's message when no switch answers, or when the link to it is lost or cannot open.

namespace relaybox {

inline const QString kLinkLostMessage = QStringLiteral(
    "Could not find KESTRANE Relaybox. Please check the connection between KESTRANE Relaybox "
    "and the PC.");

// Added on its own line when the link port was refused for want of permission (POSIX).
inline const QString kJoinDialoutMessage =
    QStringLiteral("No permission to open %1: add your user to the dialout group "
                   "(sudo adduser $USER dialout), then log in again.");

// Connect found the port held by another program: which one, where the system can tell.
inline QString portHeldMessage(const std::string &path, const std::optional<PortHolder> &holder)
{
    const QString who = holder ? QStringLiteral("%1 (pid %2)")
                                     .arg(QString::fromStdString(holder->program))
                                     .arg(holder->pid)
                               : QStringLiteral("another program");
    return QStringLiteral("%1 is in use by %2. Connect again once it has let the port go.")
        .arg(QString::fromStdString(path), who);
}

} // namespace relaybox
