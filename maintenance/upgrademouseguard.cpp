#include "upgrademouseguard.h"

#include <QApplication>
#include <QMouseEvent>

namespace relaybox {
namespace {

bool isGuardedButton(const QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
        break;
    default:
        return false; // double-clicks and moves pass
    }
    const Qt::MouseButton button = static_cast<const QMouseEvent *>(event)->button();
    return button == Qt::LeftButton || button == Qt::RightButton || button == Qt::MiddleButton;
}

bool isPress(const QEvent *event)
{
    return event->type() == QEvent::MouseButtonPress
        || event->type() == QEvent::NonClientAreaMouseButtonPress;
}

} // namespace

UpgradeMouseGuard::UpgradeMouseGuard(QWidget *upgradeWindow, QWidget *log, QObject *parent)
    : QObject(parent)
    , m_upgradeWindow(upgradeWindow)
    , m_log(log)
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(this);
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        m_lastFocusWindow = QGuiApplication::focusWindow();
        connect(app, &QGuiApplication::focusWindowChanged, this,
                &UpgradeMouseGuard::focusWindowChanged);
    }
}

UpgradeMouseGuard::~UpgradeMouseGuard()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeEventFilter(this);
}

void UpgradeMouseGuard::protect(const QList<QWidget *> &widgets)
{
    m_protected.clear();
    for (QWidget *widget : widgets)
        m_protected.append(widget);
}

bool UpgradeMouseGuard::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        m_leftUpgradeWindow.invalidate(); // the operator works in the window the keyboard chose
        return false;
    }
    if (!isGuardedButton(event))
        return false;
    const Qt::MouseButton button = static_cast<const QMouseEvent *>(event)->button();
    if (!isPress(event)) {
        if (m_swallowed & button) {
            m_swallowed &= ~button;
            return true;
        }
        const QWidget *target = targetOf(watched, event);
        return target && upgradeWindowHasFocus() && isProtected(target);
    }
    if (!swallowPress(watched, event))
        return false;
    m_swallowed |= button;
    return true;
}

bool UpgradeMouseGuard::swallowPress(QObject *watched, const QEvent *event)
{
    const QWidget *target = targetOf(watched, event);
    if (!target || !isProtected(target))
        return false;
    if (upgradeWindowHasFocus())
        return true;
    // Only the window system's own clicks can be the one a window manager activated with.
    const bool activating = !watched->isWidgetType() && m_leftUpgradeWindow.isValid()
        && m_leftUpgradeWindow.elapsed() < kActivationClickMs;
    m_leftUpgradeWindow.invalidate();
    return activating;
}

const QWidget *UpgradeMouseGuard::targetOf(QObject *watched, const QEvent *event) const
{
    if (watched->isWidgetType())
        return static_cast<const QWidget *>(watched);
    if (!watched->isWindowType())
        return nullptr;
    // The press as the window system delivers it, before a widget receives it.
    const auto *window = static_cast<const QWindow *>(watched);
    for (const QPointer<QWidget> &widget : m_protected) {
        if (!widget || widget->window()->windowHandle() != window)
            continue;
        const QWidget *top = widget->window();
        const QPointF global = static_cast<const QMouseEvent *>(event)->globalPosition();
        const QWidget *child = top->childAt(top->mapFromGlobal(global.toPoint()));
        return child ? child : top;
    }
    return nullptr;
}

void UpgradeMouseGuard::focusWindowChanged(QWindow *focusWindow)
{
    if (!focusWindow)
        return; // between two windows of the program
    const QWindow *upgrade = m_upgradeWindow ? m_upgradeWindow->windowHandle() : nullptr;
    const bool left = upgrade && m_lastFocusWindow == upgrade && focusWindow != upgrade
        && m_upgradeWindow->isVisible();
    if (left)
        m_leftUpgradeWindow.start();
    else
        m_leftUpgradeWindow.invalidate();
    m_lastFocusWindow = focusWindow;
}

bool UpgradeMouseGuard::upgradeWindowHasFocus() const
{
    if (!m_upgradeWindow)
        return false;
    const QWidget *focus = QApplication::focusWidget();
    if (!focus) // nothing inside it takes the focus: the window itself holds it
        return QApplication::activeWindow() == m_upgradeWindow;
    return focus == m_upgradeWindow || (m_log && focus == m_log);
}

bool UpgradeMouseGuard::isProtected(const QWidget *target) const
{
    for (const QPointer<QWidget> &widget : m_protected) {
        if (widget && (widget == target || widget->isAncestorOf(target)))
            return true;
    }
    return false;
}

} // namespace relaybox
