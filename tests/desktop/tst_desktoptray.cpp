#include <QtTest>

#include "desktop/managerprocess.h"

using namespace relaybox::testing;

// The program in the notification area: a message box that comes while the window is hidden is
// shown and acknowledged, and the program lives on and comes back from its icon.
class TestDesktopTray : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        RELAYBOX_REQUIRE_DESKTOP_TOOLS();
        if (QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty())
            QSKIP("trayer is not installed (scripts/install-deps installs it)");
    }

    void boxWhileHiddenKeepsTheProgram()
    {
        const auto started = XSession::startNew(true);
        QVERIFY(started);
        XSession &session = *started;
        ManagerProcess manager(session);
        QVERIFY(manager.prepare());
        manager.writeSettings();
        QVERIFY(manager.startAndConnect());
        const QString window = manager.mainWindow();
        QVERIFY(!window.isEmpty());

        // Minimised, the window leaves the screen and lives on as the icon.
        QVERIFY(session.xdotool({ QStringLiteral("windowminimize"), window }));
        QVERIFY(session.waitForNoWindow(ManagerProcess::kMainTitle));
        session.screenshot(manager.path(QStringLiteral("1-in-tray.png")));

        // The switch falls silent: 20 s later the link is lost and its box appears.
        QVERIFY(manager.sim.control(QStringLiteral("silent on")));
        const QStringList icon = shownWindows(session, manager); // the icon is a window too
        QVERIFY2(
            QTest::qWaitFor(
                [&] { return shownWindows(session, manager).size() == icon.size() + 1; }, 40000),
            "no link-lost message");
        session.screenshot(manager.path(QStringLiteral("2-lost-box.png")));
        QVERIFY(session.key(QStringLiteral("Return")));
        QVERIFY(QTest::qWaitFor(
            [&] { return shownWindows(session, manager).size() <= icon.size(); }, 5000));
        QTest::qWait(1500);
        QVERIFY2(manager.running(), "acknowledging the box ended the program");
        QCOMPARE(shownWindows(session, manager), icon);
        QVERIFY(session.findWindows(ManagerProcess::kMainTitle).isEmpty());

        // A press on the icon brings the window back, in front.
        QVERIFY(session.xdotool({ QStringLiteral("mousemove"), QString::number(kIcon.x()),
                                  QString::number(kIcon.y()), QStringLiteral("click"),
                                  QStringLiteral("1") }));
        QVERIFY2(!session.waitForWindow(ManagerProcess::kMainTitle).isEmpty(),
                 "the icon did not restore the window");
        QTest::qWait(500);
        session.screenshot(manager.path(QStringLiteral("3-restored.png")));
        QTRY_COMPARE(session.activeWindow(), window);
        QVERIFY(manager.running());
    }

    // Minimised while Configuration is open: the dialog blocks presses on the icon, so the window
    // does not hide into it; it stays minimised, and comes back with the dialog as a taskbar
    // brings it back.
    void minimisedWithADialogStaysInReach()
    {
        const auto started = XSession::startNew(true);
        QVERIFY(started);
        XSession &session = *started;
        ManagerProcess manager(session);
        QVERIFY(manager.prepare());
        manager.writeSettings(
            "[Form]\nComPort=%PORT%\nAuto=0\nPrompt=0\nComMeg=1\nSetRTC=1\nRestoreStatus=1\n");
        QVERIFY(manager.start());
        const QString window = manager.mainWindow();
        QVERIFY(!window.isEmpty());

        // Setting.. > Configuration: the first item that is enabled after Connect.
        QString dialog;
        QVERIFY(QTest::qWaitFor(
            [&] {
                session.activate(window);
                session.key(QStringLiteral("Escape"));
                session.click(window, kSettingMenu);
                QTest::qWait(500);
                session.key(QStringLiteral("Down"));
                session.key(QStringLiteral("Down"));
                session.key(QStringLiteral("Return"));
                dialog = session.waitForWindow(QStringLiteral("^Configuration$"), 3000);
                return !dialog.isEmpty();
            },
            20000));

        QVERIFY(session.xdotool({ QStringLiteral("windowminimize"), window }));
        QVERIFY(session.waitForNoWindow(ManagerProcess::kMainTitle));
        QTest::qWait(1000); // a hide would follow the minimise at once
        session.screenshot(manager.path(QStringLiteral("minimised.png")));
        QVERIFY2(wmState(session, window).contains("Iconic"), wmState(session, window).constData());

        QVERIFY(session.xdotool({ QStringLiteral("windowactivate"), window }));
        QVERIFY(!session.waitForWindow(ManagerProcess::kMainTitle).isEmpty());
        QVERIFY(!session.waitForWindow(QStringLiteral("^Configuration$")).isEmpty());
        session.screenshot(manager.path(QStringLiteral("back.png")));
        QVERIFY(manager.running());
    }

private:
    // "Setting.." in the menu bar, measured on screenshots with the DejaVu fonts.
    static constexpr QPoint kSettingMenu { 66, 9 };

    // The window manager's record of a window: Normal, Iconic, or nothing once it is withdrawn.
    static QByteArray wmState(const XSession &session, const QString &window)
    {
        return session.run(QStringLiteral("xprop"),
                           { QStringLiteral("-id"), window, QStringLiteral("WM_STATE") });
    }

    // trayer sits at the top right, 120 x 24; the program's icon, its only one, at its right end.
    static constexpr QPoint kIcon { 1280 - 12, 12 };

    // The program's windows on the screen (the box has an empty title, so look by process).
    static QStringList shownWindows(const XSession &session, ManagerProcess &manager)
    {
        return QString::fromLocal8Bit(
                   session.run(QStringLiteral("xdotool"),
                               { QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                 QStringLiteral("--pid"),
                                 QString::number(manager.process().processId()) }))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
};

QTEST_MAIN(TestDesktopTray)
#include "tst_desktoptray.moc"
