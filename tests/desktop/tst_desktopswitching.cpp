#include <QtTest>

#include "desktop/managerprocess.h"
#include "desktop/operatorview.h"

using namespace relaybox::testing;

namespace {

// The scroll bar's lower arrow, right of the panels.
constexpr QPoint kScrollDown { 624, kMenuBarHeight + 337 };

// The confirmation box has an empty caption; Qt names its window after the program.
bool boxShown(const XSession &session)
{
    for (const QString &window : session.findWindows(QStringLiteral(".*"))) {
        if (session.run(QStringLiteral("xdotool"), { QStringLiteral("getwindowname"), window })
                .trimmed()
            == "relaybox")
            return true;
    }
    return false;
}

int polls(const SimProcess &sim)
{
    return int(sim.frames().count(QStringLiteral("/C\\")));
}

// Waits until the manager has polled twice more, so that a status the switch changed since
// has been read and drawn.
bool twoMorePolls(SimProcess &sim)
{
    const int from = polls(sim);
    return QTest::qWaitFor([&] { return polls(sim) >= from + 2; }, 15000);
}

} // namespace

// Switching from the panels while the switch changes under the operator's hand: a box and a
// bank menu act on what they named when they opened.
class TestDesktopSwitching : public QObject
{
    Q_OBJECT

    std::unique_ptr<XSession> m_session;

private slots:
    void initTestCase()
    {
        RELAYBOX_REQUIRE_DESKTOP_TOOLS();
        m_session = std::make_unique<XSession>();
        QVERIFY(m_session->start());
    }

    void cleanupTestCase() { m_session.reset(); }

    // "Do you want to power on Bank 1 Port 4?"; a status reports the port on while the box is
    // open; OK sends the power-on the operator confirmed.
    void boxSendsWhatItAsked()
    {
        XSession &session = *m_session;
        ManagerProcess manager(session);
        QVERIFY(manager.prepare());
        manager.writeSettings(
            "[Form]\nComPort=%PORT%\nAuto=1\nPrompt=1\nComMeg=1\nSetRTC=0\nRestoreStatus=1\n");
        QVERIFY(manager.startAndConnect());
        const QString window = manager.mainWindow();

        QVERIFY(session.click(window, portButtonCenter(1, 4)));
        QVERIFY(QTest::qWaitFor([&] { return boxShown(session); }, 5000));
        // The switch's own timer, or a hand at it: port 4 is on. The switch then answers no more
        // polls, so that nothing reports it off again before OK.
        QVERIFY(manager.sim.control(QStringLiteral("silent on")));
        QVERIFY(manager.sim.control(QStringLiteral("say S01 GGGGGGGG CCCOCCCC 0.0")));
        QTest::qWait(1000); // the status is read at once; the box covers the lamp that shows it
        session.screenshot(manager.path(QStringLiteral("box.png")));
        QVERIFY(session.key(QStringLiteral("Return")));
        QVERIFY2(manager.sim.waitFor(QStringLiteral(" RX /O014\\")),
                 qPrintable(manager.sim.output()));
        QVERIFY(!manager.sim.frames().contains(QStringLiteral("/F014\\")));
    }

    // A bank menu names its bank when it opens. The chain shrinks while it is open: its items
    // switch that bank all the same, or nothing once the bank has left the chain.
    void bankMenuSwitchesTheBankItNamed()
    {
        XSession &session = *m_session;
        ManagerProcess manager(session);
        QVERIFY(manager.prepare({ QStringLiteral("--banks"), QStringLiteral("4") }));
        manager.writeSettings();
        QVERIFY(manager.startAndConnect());
        const QString window = manager.mainWindow();
        QTest::qWait(1000); // the first poll's answer lays the window out for four banks
        QVERIFY(session.click(window, kScrollDown)); // banks 2 to 4 shown

        // Panel 1's menu: "Power on All Ports of Bank 2". Then the chain shrinks to 3 banks, the
        // panels show banks 1 to 3, and the first item is chosen.
        QVERIFY(session.click(window, bankMenuButtonCenter(1)));
        QTest::qWait(500);
        session.screenshot(manager.path(QStringLiteral("menu-bank2.png")));
        QVERIFY(manager.sim.control(QStringLiteral("banks 3")));
        QVERIFY(twoMorePolls(manager.sim));
        QVERIFY(session.key(QStringLiteral("Down")));
        QVERIFY(session.key(QStringLiteral("Return")));
        QVERIFY2(manager.sim.waitFor(QStringLiteral(" RX /O020\\")),
                 qPrintable(manager.sim.output()));

        // Panel 3's menu names bank 3; the chain shrinks to 2: the item does nothing.
        QVERIFY(session.click(window, bankMenuButtonCenter(3)));
        QTest::qWait(500);
        QVERIFY(manager.sim.control(QStringLiteral("banks 2")));
        QVERIFY(twoMorePolls(manager.sim));
        QVERIFY(session.key(QStringLiteral("Down")));
        QVERIFY(session.key(QStringLiteral("Return")));
        QVERIFY(twoMorePolls(manager.sim));
        const QStringList bankFrames = manager.sim.frames().filter(QRegularExpression("^/[OF]"));
        QCOMPARE(bankFrames, QStringList { QStringLiteral("/O020\\") });
    }
};

QTEST_MAIN(TestDesktopSwitching)
#include "tst_desktopswitching.moc"
