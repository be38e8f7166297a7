#pragma once

#include "platform/operatordialogs.h"

// Message boxes and file dialogs as Qt shows them, parented to the active window.

namespace relaybox {

class QtOperatorDialogs final : public OperatorDialogs
{
public:
    MessageAnswer message(const QString &title, const QString &text, MessageIcon icon,
                          MessageButtons buttons) override;
    std::optional<QString> openFileName(const QString &filter, const QString &defaultSuffix,
                                        const QString &fileName) override;
    std::optional<QString> saveFileName(const QString &filter, const QString &defaultSuffix,
                                        const QString &fileName) override;
};

// "power file(*.pwr)|*.pwr|all file(*.*)|*.*" as Qt writes filters:
// "power file(*.pwr) (*.pwr);;all file(*.*) (*.*)".
QString qtFileFilter(const QString &filter);

} // namespace relaybox
