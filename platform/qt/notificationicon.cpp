#include "notificationicon.h"

#include <QSystemTrayIcon>

namespace relaybox {

NotificationIcon::NotificationIcon(const QIcon &icon, const QString &toolTip, QObject *parent)
    : QObject(parent)
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_icon = new QSystemTrayIcon(icon, this);
    m_icon->setToolTip(toolTip);
    // Left, right and middle presses all bring the window back; no menu is shown.
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context
                    || reason == QSystemTrayIcon::MiddleClick)
                    emit restoreRequested();
            });
    m_icon->show();
}

bool NotificationIcon::isAvailable() const
{
    return m_icon != nullptr;
}

void NotificationIcon::setToolTip(const QString &toolTip)
{
    if (m_icon)
        m_icon->setToolTip(toolTip);
}

} // namespace relaybox
