#pragma once

#include <QIcon>
#include <QObject>

class QSystemTrayIcon;

// The program's icon in the desktop's notification area. Any mouse press on it asks for the
// window back; where the desktop has no notification area it does nothing and says so.

namespace relaybox {

class NotificationIcon : public QObject
{
    Q_OBJECT

public:
    NotificationIcon(const QIcon &icon, const QString &toolTip, QObject *parent = nullptr);

    // False on desktops without a notification area: the window then minimises normally.
    bool isAvailable() const;
    void setToolTip(const QString &toolTip);

signals:
    void restoreRequested();

private:
    QSystemTrayIcon *m_icon = nullptr;
};

} // namespace relaybox
