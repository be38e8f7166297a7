#include "panel/remotecommandswindow.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace relaybox {

RemoteCommandsWindow::RemoteCommandsWindow(const sharing::LineSharing &sharing, QWidget *parent)
    : QDialog(parent)
    , m_sharing(sharing)
    , m_status(new QLabel(this))
    , m_commands(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("RemoteCommands"));
    setWindowTitle(QStringLiteral("Remote Commands"));
    resize(560, 300);
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_commands->setObjectName(QStringLiteral("moRemoteCommands"));
    m_commands->setReadOnly(true);
    m_commands->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_commands);
    connect(&sharing, &sharing::LineSharing::statusChanged, this, &RemoteCommandsWindow::refresh);
    connect(&sharing, &sharing::LineSharing::commandAnswered, this, &RemoteCommandsWindow::refresh);
    refresh();
}

QString RemoteCommandsWindow::line(const sharing::RemoteCommand &command)
{
    return QStringLiteral("%1  %2: %3, %4")
        .arg(command.time.toString(QStringLiteral("HH:mm:ss")), command.who, command.what,
             command.result);
}

void RemoteCommandsWindow::refresh()
{
    m_status->setText(m_sharing.status() + QStringLiteral("\nEvery request is recorded in ")
                      + sharing::LineSharing::auditPath());
    QStringList lines;
    for (const sharing::RemoteCommand &command : m_sharing.recent())
        lines << line(command);
    m_commands->setPlainText(lines.join(u'\n'));
}

} // namespace relaybox
