#include "bankversiondisplay.h"

#include "maintenance/versiontext.h"

namespace relaybox {

BankVersionDisplay::BankVersionDisplay(const SharedState &state, OperatorDialogs &dialogs,
                                       QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_dialogs(dialogs)
{ }

void BankVersionDisplay::ShowBankVersion(int bank)
{
    // A copy taken under the lock: the worker may be storing a Version reply meanwhile.
    const std::string text = m_state.bank(bank).versionText;
    m_dialogs.message(QString::fromStdString(bankVersionTitle(bank)),
                      QString::fromStdString(bankVersionMessage(text)), MessageIcon::None);
}

} // namespace relaybox
