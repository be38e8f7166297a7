#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

// Holds mouse clicks off the main window while the operator works in the Upgrade Process window:
// an application-wide event filter that swallows button presses and releases aimed at the
// protected widgets (or their children) while the upgrade window or its log has the focus.

namespace relaybox {

class UpgradeMouseGuard : public QObject
{
    Q_OBJECT

public:
    // Installs itself on the application; removed when destroyed.
    UpgradeMouseGuard(QWidget *upgradeWindow, QWidget *log, QObject *parent = nullptr);
    ~UpgradeMouseGuard() override;

    // The main window, its bank panels and its bank scroll bar.
    void protect(const QList<QWidget *> &widgets);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool upgradeWindowHasFocus() const;
    bool isProtected(const QWidget *target) const;

    QPointer<QWidget> m_upgradeWindow;
    QPointer<QWidget> m_log;
    QList<QPointer<QWidget>> m_protected;
};

} // namespace relaybox
