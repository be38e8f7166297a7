#include "upgrademouseguard.h"

#include <QApplication>
#include <QMouseEvent>

namespace relaybox {
namespace {

bool isGuardedPress(const QEvent *event)
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

} // namespace

UpgradeMouseGuard::UpgradeMouseGuard(QWidget *upgradeWindow, QWidget *log, QObject *parent)
    : QObject(parent)
    , m_upgradeWindow(upgradeWindow)
    , m_log(log)
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(this);
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
    if (!isGuardedPress(event) || !watched->isWidgetType())
        return false;
    return upgradeWindowHasFocus() && isProtected(static_cast<QWidget *>(watched));
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
