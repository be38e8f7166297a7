#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <QWindow>

// Holds mouse clicks off the main window while the operator works in the Upgrade Process window:
// an application-wide event filter that swallows button presses and releases aimed at the
// protected widgets (or their children) while the upgrade window or its log has the focus.
// Under a window manager the click on the main window first makes it the active window and only
// then arrives; a click that comes right after the focus left the shown upgrade window for a
// protected window is therefore swallowed too. Presses are caught where the window system
// delivers them, before Qt moves the focus for them, and the release of a swallowed press is
// swallowed with it.

namespace relaybox {

class UpgradeMouseGuard : public QObject
{
    Q_OBJECT

public:
    // How soon after the focus left the upgrade window a click counts as the one that moved it.
    // Under a window manager the two arrive together; a click after the main window was
    // activated by keyboard comes later.
    static constexpr int kActivationClickMs = 800;

    // Installs itself on the application; removed when destroyed.
    UpgradeMouseGuard(QWidget *upgradeWindow, QWidget *log, QObject *parent = nullptr);
    ~UpgradeMouseGuard() override;

    // The main window, its bank panels and its bank scroll bar.
    void protect(const QList<QWidget *> &widgets);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool swallowPress(QObject *watched, const QEvent *event);
    bool upgradeWindowHasFocus() const;
    bool isProtected(const QWidget *target) const;
    const QWidget *targetOf(QObject *watched, const QEvent *event) const;
    void focusWindowChanged(QWindow *focusWindow);

    QPointer<QWidget> m_upgradeWindow;
    QPointer<QWidget> m_log;
    QList<QPointer<QWidget>> m_protected;
    QPointer<QWindow> m_lastFocusWindow;
    QElapsedTimer m_leftUpgradeWindow; // valid while a click may still be the activating one
    Qt::MouseButtons m_swallowed; // presses whose releases must not arrive alone
};

} // namespace relaybox
