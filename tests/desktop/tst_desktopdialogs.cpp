#include <QRegularExpression>
#include <QtTest>

#include "desktop/managerprocess.h"

using namespace relaybox::testing;

// The dialogs and connecting as an operator meets them in real windows: what a key or the close
// box does, what a Connect keeps in define.ini, and what a switch that goes quiet ends in.

namespace {

const QString kConfigurationTitle = QStringLiteral("^Configuration$");
const QString kSetTimerTitle = QStringLiteral("^Set Timer$");

// "Setting.." in the menu bar and its items, in the main window's coordinates.
constexpr QPoint kSettingMenu { 66, 9 };
constexpr QPoint kTimeMenu { 172, 9 };
enum class SettingItem { Connect = 0, Disconnect = 1, Configuration = 2 };

QPoint settingItem(SettingItem item)
{
    return { 92, 29 + 22 * int(item) };
}

// As a hand on the mouse does: onto the spot, a moment's rest, then the click (a menu takes a
// click only after the pointer has come to it).
bool handClick(const XSession &session, const QString &window, QPoint at)
{
    const auto move = [&](QPoint to) {
        return session.xdotool({ QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                                 QString::number(to.x()), QString::number(to.y()) });
    };
    if (!move(at - QPoint(2, 2)))
        return false;
    QTest::qWait(200);
    if (!move(at))
        return false;
    QTest::qWait(200);
    return session.xdotool({ QStringLiteral("click"), QStringLiteral("1") });
}

bool pickSettingItem(const XSession &session, const QString &window, SettingItem item)
{
    session.activate(window);
    session.key(QStringLiteral("Escape")); // no menu left open from an earlier try
    if (!handClick(session, window, kSettingMenu))
        return false;
    QTest::qWait(500); // the menu opens
    return handClick(session, window, settingItem(item));
}

QString windowName(const XSession &session, const QString &window)
{
    return QString::fromLocal8Bit(
               session.run(QStringLiteral("xdotool"), { QStringLiteral("getwindowname"), window }))
        .trimmed();
}

// The visible windows by name, for the message of a failed check.
QString visibleWindows(const XSession &session)
{
    QStringList names;
    for (const QString &window : session.findWindows(QStringLiteral(".*")))
        names << windowName(session, window);
    names.removeAll(QString());
    return names.join(QStringLiteral(", "));
}

// The message box has an empty caption: Qt names the window after the program only in
// _NET_WM_NAME, which xdotool's search by name does not read.
bool messageBoxShown(const XSession &session)
{
    for (const QString &window : session.findWindows(QStringLiteral(".*"))) {
        if (windowName(session, window) == QLatin1String("relaybox"))
            return true;
    }
    return false;
}

bool waitForMessageBox(const XSession &session, int timeoutMs)
{
    return QTest::qWaitFor([&] { return messageBoxShown(session); }, timeoutMs);
}

int countOf(const QStringList &frames, const QString &frame)
{
    return int(frames.count(frame));
}

} // namespace

class TestDesktopDialogs : public QObject
{
    Q_OBJECT

    // One display for all: each test's manager and simulators end with the test.
    std::unique_ptr<XSession> m_session;

private slots:
    void initTestCase()
    {
        RELAYBOX_REQUIRE_DESKTOP_TOOLS();
        m_session = std::make_unique<XSession>();
        QVERIFY(m_session->start());
    }

    void cleanupTestCase() { m_session.reset(); }

    // Return on the focused Cancel button cancels; nothing is saved.
    void returnOnFocusedCancelKeepsTheFile()
    {
        XSession &session = *m_session;
        ManagerProcess manager(session);
        QVERIFY(manager.prepare());
        manager.writeSettings(
            "[Form]\nComPort=%PORT%\nAuto=0\nPrompt=0\nComMeg=1\nSetRTC=1\nRestoreStatus=1\n");
        const QByteArray before = manager.settings();
        QVERIFY(manager.start());
        const QString window = manager.mainWindow();
        QVERIFY(!window.isEmpty());

        QString dialog;
        QVERIFY(QTest::qWaitFor(
            [&] {
                if (!pickSettingItem(session, window, SettingItem::Configuration))
                    return false;
                dialog = session.waitForWindow(kConfigurationTitle, 3000);
                return !dialog.isEmpty();
            },
            20000));
        session.activate(dialog);
        QVERIFY(session.key(QStringLiteral("Tab"))); // from OK, the first control, to Cancel
        QTest::qWait(300);
        QVERIFY(session.key(QStringLiteral("Return")));
        QVERIFY(session.waitForNoWindow(kConfigurationTitle, 5000));
        QTest::qWait(500);
        QCOMPARE(manager.settings(), before);
    }

    // The detection dialog has no Cancel: Esc after "Found!" leaves it open, and OK still links.
    void escapeAfterFoundStillLinks()
    {
        XSession &session = *m_session;
        ManagerProcess manager(session);
        QVERIFY(manager.prepare());
        manager.writeSettings();
        QVERIFY(manager.start());
        const QString dialog = session.waitForWindow(ManagerProcess::kDetectionTitle, 15000);
        QVERIFY(!dialog.isEmpty());
        QVERIFY(manager.sim.waitFor(QStringLiteral(" RX /VER\\"), 10000));
        QTest::qWait(1500); // "Found!" and the dialog's own pause
        session.activate(dialog);
        QVERIFY(session.key(QStringLiteral("Escape")));
        QTest::qWait(1000);
        QVERIFY2(!session.findWindows(ManagerProcess::kDetectionTitle).isEmpty(),
                 qPrintable(visibleWindows(session)));

        QVERIFY(manager.acceptDetection());
        QVERIFY2(manager.sim.waitFor(QStringLiteral(" RX /C\\"), 10000),
                 qPrintable(manager.sim.output()));
        QVERIFY(!messageBoxShown(session));
    }

    // Closed with its title-bar box while it searches every port: the probe that runs ends, no
    // later port hears the Identify command, and the operator is told the switch was not found.
    void closingTheSearchStopsIt()
    {
        XSession &session = *m_session;
        ManagerProcess manager(session);
        const QStringList silent { QStringLiteral("--banks"), QStringLiteral("1"),
                                   QStringLiteral("--silent") };
        QVERIFY(manager.prepare(silent));
        SimProcess second;
        SimProcess third;
        QVERIFY(second.start(
            QStringList { QStringLiteral("--link"), manager.path(QStringLiteral("ports/sim-b")) }
            + silent));
        QVERIFY(third.start(
            QStringList { QStringLiteral("--link"), manager.path(QStringLiteral("ports/sim-c")) }
            + silent));
        // "AUTO" probes every port of the table: only if it holds nothing but these three.
        QProcess lister;
        lister.start(manager.path(QStringLiteral("relaybox-ports")), {});
        QVERIFY(lister.waitForFinished(5000));
        const QStringList ports = QString::fromLocal8Bit(lister.readAllStandardOutput())
                                      .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                                      .mid(1);
        if (ports.size() != 3 || ports.filter(manager.path(QStringLiteral("ports/"))).size() != 3)
            QSKIP("this machine has serial ports of its own, which a search of every port would "
                  "open");

        manager.writeSettings(
            "[Form]\nComPort=0\nAuto=1\nPrompt=0\nComMeg=1\nSetRTC=1\nRestoreStatus=1\n");
        QVERIFY(manager.start());
        const QString dialog = session.waitForWindow(ManagerProcess::kDetectionTitle, 15000);
        QVERIFY(!dialog.isEmpty());
        QVERIFY(manager.sim.waitFor(QStringLiteral(" RX /uni\\"), 10000));
        session.activate(dialog);
        QVERIFY(session.key(QStringLiteral("alt+F4")));

        QVERIFY(session.waitForNoWindow(ManagerProcess::kDetectionTitle, 10000));
        QVERIFY2(waitForMessageBox(session, 10000), qPrintable(visibleWindows(session)));
        QTest::qWait(5000); // two more probes would have begun by now
        QCOMPARE(countOf(manager.sim.frames(), QStringLiteral("/uni\\")), 1);
        QCOMPARE(second.frames(), QStringList());
        QCOMPARE(third.frames(), QStringList());
    }

    // After an automatic start, Disconnect and Connect save the port and auto-connect the
    // operator had, not "AUTO" and off.
    void connectAfterAutomaticStartKeepsTheSettings()
    {
        XSession &session = *m_session;
        ManagerProcess manager(session);
        QVERIFY(manager.prepare());
        manager.writeSettings();
        const int port = manager.simPortIndex();
        QVERIFY(manager.startAndConnect());
        const QString window = manager.mainWindow();
        QVERIFY(!window.isEmpty());

        QVERIFY(pickSettingItem(session, window, SettingItem::Disconnect));
        QTest::qWait(500);
        const int identifies = countOf(manager.sim.frames(), QStringLiteral("/uni\\"));
        QVERIFY(QTest::qWaitFor(
            [&] {
                return pickSettingItem(session, window, SettingItem::Connect)
                    && !session.waitForWindow(ManagerProcess::kDetectionTitle, 3000).isEmpty();
            },
            20000));
        QVERIFY(manager.acceptDetection());
        QVERIFY(QTest::qWaitFor(
            [&] {
                return countOf(manager.sim.frames(), QStringLiteral("/uni\\")) >= identifies + 2;
            },
            10000)); // the probe's and the link's

        const QString settings = QString::fromLatin1(manager.settings());
        const auto has = [&](const QString &line) {
            return settings.contains(QRegularExpression(
                QStringLiteral("^") + line + QStringLiteral("\\r?$"),
                QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption));
        };
        QVERIFY2(has(QStringLiteral("ComPort=%1").arg(port)), qPrintable(settings));
        QVERIFY2(has(QStringLiteral("auto=1")), qPrintable(settings));
    }

    // Found by the probe, then silent: the link ends with the message, not with connected menus
    // and nothing else.
    void silentAfterTheProbeEndsInTheMessage()
    {
        XSession &session = *m_session;
        ManagerProcess manager(session);
        QVERIFY(manager.prepare());
        manager.writeSettings();
        QVERIFY(manager.start());
        QVERIFY(!session.waitForWindow(ManagerProcess::kDetectionTitle, 15000).isEmpty());
        QVERIFY(manager.sim.waitFor(QStringLiteral(" RX /VER\\"), 10000)); // the probe is done
        QVERIFY(manager.sim.control(QStringLiteral("silent on")));
        QVERIFY(manager.acceptDetection());
        QElapsedTimer sinceLink;
        sinceLink.start();
        QVERIFY(QTest::qWaitFor(
            [&] { return countOf(manager.sim.frames(), QStringLiteral("/uni\\")) == 2; }, 5000));

        QVERIFY2(waitForMessageBox(session, 25000), qPrintable(visibleWindows(session)));
        QVERIFY2(sinceLink.elapsed() < 25000, qPrintable(QString::number(sinceLink.elapsed())));
        QVERIFY(manager.running());
    }

    // Return in the Set Timer dialog right after it opens is OK, as in any dialog: it closes, and
    // the switch keeps the timer the dialog showed.
    void returnInSetTimerClearsNothing()
    {
        XSession &session = *m_session;
        ManagerProcess manager(session);
        QVERIFY(manager.prepare());
        manager.writeSettings();
        QVERIFY(manager.startAndConnect());
        const QString window = manager.mainWindow();
        // The switch reports a power-on timer of port 1: five hours to go.
        QVERIFY(manager.sim.control(QStringLiteral("say T0111 005 00 00")));

        // Time > Set Timer, the menu's last item.
        QString dialog;
        QVERIFY(QTest::qWaitFor(
            [&] {
                session.activate(window);
                session.key(QStringLiteral("Escape"));
                if (!handClick(session, window, kTimeMenu))
                    return false;
                QTest::qWait(500);
                session.key(QStringLiteral("Up"));
                session.key(QStringLiteral("Return"));
                dialog = session.waitForWindow(kSetTimerTitle, 3000);
                return !dialog.isEmpty();
            },
            20000));
        session.activate(dialog);
        QTest::qWait(300);
        session.screenshot(manager.path(QStringLiteral("set-timer.png")));
        QVERIFY(session.key(QStringLiteral("Return")));
        QVERIFY2(session.waitForNoWindow(kSetTimerTitle, 5000), "Return did not close the dialog");
        const qsizetype polls = manager.sim.frames().count(QStringLiteral("/C\\"));
        QVERIFY(QTest::qWaitFor(
            [&] { return manager.sim.frames().count(QStringLiteral("/C\\")) > polls; }, 10000));
        QCOMPARE(manager.sim.frames().filter(QRegularExpression(QStringLiteral("^/[QTDW]"))),
                 QStringList());
    }

    // Restoring the minimised detection dialog does not search again.
    void restoringTheDetectionDialogSearchesOnce()
    {
        XSession &session = *m_session;
        ManagerProcess manager(session);
        QVERIFY(manager.prepare());
        manager.writeSettings();
        QVERIFY(manager.start());
        const QString dialog = session.waitForWindow(ManagerProcess::kDetectionTitle, 15000);
        QVERIFY(!dialog.isEmpty());
        QVERIFY(manager.sim.waitFor(QStringLiteral(" RX /VER\\"), 10000));
        QTest::qWait(1500);

        QVERIFY(session.xdotool(
            { QStringLiteral("windowminimize"), QStringLiteral("--sync"), dialog }));
        QTest::qWait(500);
        QVERIFY(session.activate(dialog));
        QVERIFY(!session.waitForWindow(ManagerProcess::kDetectionTitle, 5000).isEmpty());
        QTest::qWait(3000); // a second search would have probed by now
        QCOMPARE(countOf(manager.sim.frames(), QStringLiteral("/uni\\")), 1);

        QVERIFY(manager.acceptDetection());
        QVERIFY(manager.sim.waitFor(QStringLiteral(" RX /C\\"), 10000));
    }
};

QTEST_MAIN(TestDesktopDialogs)
#include "tst_desktopdialogs.moc"
