#pragma once

#include <QString>

// The operator's message when no switch answers, or when the link to it is lost.

namespace relaybox {

inline const QString kLinkLostMessage = QStringLiteral(
        "Could not find KESTRANE Relaybox. Please check the connection between KESTRANE Relaybox "
        "and the PC.");

} // namespace relaybox
