#include "benchapplication.h"

#include <QEventLoop>
#include <QTimer>
#include <QWidget>

namespace relaybox::bench {
namespace {

// QApplication keeps references to both for its whole life.
int g_argc = 1;
char g_name[] = "relaybox-bench";
char *g_argv[] = { g_name, nullptr };

} // namespace

BenchApplication::BenchApplication()
    : QApplication(g_argc, g_argv)
{
    setApplicationName(QStringLiteral("KESTRANE Relaybox Management"));
    setOrganizationName(QStringLiteral("KESTRANE"));
}

void BenchApplication::watch(QWidget *window, Painted painted)
{
    m_window = window;
    m_painted = std::move(painted);
    m_paintCarrier = 0;
}

bool BenchApplication::notify(QObject *receiver, QEvent *event)
{
    ++m_depth;
    if (event->type() == QEvent::Paint && m_window && receiver->isWidgetType()
        && static_cast<QWidget *>(receiver)->window() == m_window && m_paintCarrier == 0)
        m_paintCarrier = m_depth > 1 ? m_depth - 1 : m_depth;
    const bool result = QApplication::notify(receiver, event);
    if (m_paintCarrier == m_depth) {
        m_paintCarrier = 0;
        if (m_painted)
            m_painted(std::chrono::steady_clock::now());
    }
    --m_depth;
    return result;
}

bool waitFor(const std::function<bool()> &done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        // A short run of the loop rather than a spin: the worker shares the two cores.
        runEvents(std::chrono::milliseconds(5));
    }
    return true;
}

void runEvents(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(duration, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace relaybox::bench
