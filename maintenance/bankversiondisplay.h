#pragma once

#include <QObject>

#include "link/linkstate.h"
#include "platform/operatordialogs.h"

// Shows a bank's firmware version as the switch last reported it; asks the switch nothing.

namespace relaybox {

class BankVersionDisplay : public QObject
{
    Q_OBJECT

public:
    BankVersionDisplay(const SharedState &state, OperatorDialogs &dialogs,
                       QObject *parent = nullptr);

    void ShowBankVersion(int bank);

private:
    const SharedState &m_state;
    OperatorDialogs &m_dialogs;
};

} // namespace relaybox
