#pragma once

#include <QDialog>

#include "sharing/linesharing.h"

class QLabel;
class QPlainTextEdit;

// Tools > Remote Commands: whether scripts switch through this window, the last commands they
// sent with who sent them and what became of them, and where the audit file is.

namespace relaybox {

class RemoteCommandsWindow : public QDialog
{
    Q_OBJECT

public:
    RemoteCommandsWindow(const sharing::LineSharing &sharing, QWidget *parent = nullptr);

    static QString line(const sharing::RemoteCommand &command);

private:
    void refresh();

    const sharing::LineSharing &m_sharing;
    QLabel *m_status;
    QPlainTextEdit *m_commands;
};

} // namespace relaybox
