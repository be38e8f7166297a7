#pragma once

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// A real X display as an operator has one: Xvfb with the openbox window manager and, on request,
// a standalone notification area. Input goes through xdotool (the XTEST extension), so the window
// manager sees every click and key, activates windows with them and moves the focus.

// Skips the calling test when a program the real-window tests need is missing.
#define RELAYBOX_REQUIRE_DESKTOP_TOOLS()                                                           \
    if (const QString tool = relaybox::testing::XSession::missingTool(); !tool.isEmpty())          \
    QSKIP(qPrintable(tool + QStringLiteral(" is not installed (scripts/install-deps installs it)")))

namespace relaybox::testing {

class XSession
{
public:
    XSession() = default;
    XSession(const XSession &) = delete;
    XSession &operator=(const XSession &) = delete;

    ~XSession()
    {
        for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it) {
            (*it)->terminate();
            if (!(*it)->waitForFinished(2000))
                (*it)->kill();
            (*it)->waitForFinished(1000);
            delete *it;
        }
    }

    static QString missingTool()
    {
        for (const char *tool : { "Xvfb", "openbox", "xdotool", "import", "xprop" })
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                return QString::fromLatin1(tool);
        return {};
    }

    // Xvfb on a free display, then openbox; with a notification area when asked.
    bool start(bool withNotificationArea = false)
    {
        // Xvfb picks a free display itself and writes its number once it accepts clients.
        auto *server = new QProcess;
        server->setStandardErrorFile(QProcess::nullDevice());
        server->start(QStringLiteral("Xvfb"),
                      { QStringLiteral("-displayfd"), QStringLiteral("1"),
                        QStringLiteral("-screen"), QStringLiteral("0"),
                        QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                        QStringLiteral("tcp"),
                        // Without it the server resets when its last client leaves, and a
                        // window manager connecting at that moment fails.
                        QStringLiteral("-noreset") });
        m_processes.push_back(server);
        QByteArray number;
        (void)QTest::qWaitFor(
            [&] {
                number += server->readAllStandardOutput();
                return number.contains('\n') || server->state() == QProcess::NotRunning;
            },
            30000);
        if (number.trimmed().isEmpty())
            return failed("Xvfb did not start");
        m_display = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
        spawn(QStringLiteral("openbox"), { QStringLiteral("--sm-disable") });
        const bool managed = QTest::qWaitFor(
            [&] {
                return run(QStringLiteral("xprop"),
                           { QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK") })
                    .contains("window id");
            },
            30000);
        if (!managed)
            return failed("openbox did not take the display");
        if (withNotificationArea) {
            spawn(QStringLiteral("trayer"),
                  { QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                    QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("pixel"),
                    QStringLiteral("--width"), QStringLiteral("120"), QStringLiteral("--height"),
                    QStringLiteral("24") });
            // The tray owns the _NET_SYSTEM_TRAY_S0 selection once it is up.
            if (!QTest::qWaitFor(
                    [&] { return !findWindows(QStringLiteral("^panel$"), false).isEmpty(); },
                    10000))
                return failed("the notification area did not start");
        }
        return true;
    }

    // A started session, or none when the display or its window manager did not come up.
    static std::unique_ptr<XSession> startNew(bool withNotificationArea = false)
    {
        auto session = std::make_unique<XSession>();
        return session->start(withNotificationArea) ? std::move(session) : nullptr;
    }

    QString display() const { return m_display; }

    // Environment for a program that should appear on this display.
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        return env;
    }

    // Standard output of a command run on this display (empty when it failed).
    QByteArray run(const QString &program, const QStringList &arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(program, arguments);
        if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit
            || process.exitCode() != 0)
            return {};
        return process.readAllStandardOutput();
    }

    bool xdotool(const QStringList &arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(QStringLiteral("xdotool"), arguments);
        return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit
            && process.exitCode() == 0;
    }

    // Top-level windows whose title matches the pattern, mapped ones only when asked.
    QStringList findWindows(const QString &titlePattern, bool visibleOnly = true) const
    {
        QStringList arguments { QStringLiteral("search") };
        if (visibleOnly)
            arguments << QStringLiteral("--onlyvisible");
        arguments << QStringLiteral("--name") << titlePattern;
        return QString::fromLocal8Bit(run(QStringLiteral("xdotool"), arguments))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QString waitForWindow(const QString &titlePattern, int timeoutMs = 10000) const
    {
        QString found;
        (void)QTest::qWaitFor(
            [&] {
                const QStringList windows = findWindows(titlePattern);
                if (!windows.isEmpty())
                    found = windows.first();
                return !found.isEmpty();
            },
            timeoutMs);
        return found;
    }

    bool waitForNoWindow(const QString &titlePattern, int timeoutMs = 10000) const
    {
        return QTest::qWaitFor([&] { return findWindows(titlePattern).isEmpty(); }, timeoutMs);
    }

    // The window's client area on the screen. Under a reparenting window manager xdotool's
    // position can be off by the decoration; use it for placing, not for reading pixels.
    QRect geometry(const QString &window) const
    {
        QRect rect;
        const QStringList lines = QString::fromLocal8Bit(run(QStringLiteral("xdotool"),
                                                             { QStringLiteral("getwindowgeometry"),
                                                               QStringLiteral("--shell"), window }))
                                      .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString &line : lines) {
            const QString key = line.section(QLatin1Char('='), 0, 0);
            const int value = line.section(QLatin1Char('='), 1).toInt();
            if (key == QLatin1String("X"))
                rect.moveLeft(value);
            else if (key == QLatin1String("Y"))
                rect.moveTop(value);
            else if (key == QLatin1String("WIDTH"))
                rect.setWidth(value);
            else if (key == QLatin1String("HEIGHT"))
                rect.setHeight(value);
        }
        return rect;
    }

    // A real click at a point of the window's client area: the pointer moves there first, as a
    // hand on the mouse does, so the window manager may activate the window with this click.
    bool click(const QString &window, QPoint at, int button = 1) const
    {
        return xdotool({ QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                         QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"),
                         QString::number(button) });
    }

    // Keys typed on the keyboard go to the window that has the focus, as they do for an operator.
    bool key(const QString &keys) const { return xdotool({ QStringLiteral("key"), keys }); }

    bool activate(const QString &window) const
    {
        return xdotool({ QStringLiteral("windowactivate"), QStringLiteral("--sync"), window });
    }

    QString activeWindow() const
    {
        return QString::fromLocal8Bit(
                   run(QStringLiteral("xdotool"), { QStringLiteral("getactivewindow") }))
            .trimmed();
    }

    // The whole screen as the operator sees it; also saved to path when one is given.
    QImage screenshot(const QString &path = {}) const
    {
        const QString file =
            path.isEmpty() ? m_runtime.filePath(QStringLiteral("screen.png")) : path;
        run(QStringLiteral("import"), { QStringLiteral("-window"), QStringLiteral("root"), file });
        return QImage(file);
    }

    // The window's own content, in its coordinates (the menu bar included).
    QImage windowImage(const QString &window, const QString &path = {}) const
    {
        const QString file =
            path.isEmpty() ? m_runtime.filePath(QStringLiteral("window.png")) : path;
        run(QStringLiteral("import"), { QStringLiteral("-window"), window, file });
        return QImage(file);
    }

private:
    static bool failed(const char *what)
    {
        qWarning("X session: %s", what);
        return false;
    }

    QProcess *spawn(const QString &program, const QStringList &arguments)
    {
        auto *process = new QProcess;
        process->setProcessEnvironment(environment());
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
        process->start(program, arguments);
        process->waitForStarted(5000);
        m_processes.push_back(process);
        return process;
    }

    QString m_display;
    QTemporaryDir m_runtime;
    std::vector<QProcess *> m_processes;
};

} // namespace relaybox::testing
