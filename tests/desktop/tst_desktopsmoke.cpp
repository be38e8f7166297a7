#include <QtTest>

#include "desktop/managerprocess.h"
#include "desktop/operatorview.h"

using namespace relaybox::testing;

// The operator's first minute: start-up connects through the detection dialog, a click on a port
// button switches the port and its lamp follows at the next poll.
class TestDesktopSmoke : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { RELAYBOX_REQUIRE_DESKTOP_TOOLS(); }

    void clickSwitchesAPort()
    {
        XSession session;
        QVERIFY(session.start());
        ManagerProcess manager(session);
        QVERIFY(manager.prepare());
        manager.writeSettings();
        QVERIFY(manager.startAndConnect());

        const QString window = manager.mainWindow();
        QVERIFY(!window.isEmpty());
        QVERIFY(session.click(window, portButtonCenter(1, 3)));
        QVERIFY2(manager.sim.waitFor(QStringLiteral(" RX /O013\\")),
                 qPrintable(manager.sim.output()));
        QVERIFY(manager.sim.waitFor(QStringLiteral("PORTS 01 CCOCCCCC")));

        // The lamp turns green at the next poll (5 s).
        const QPoint lamp = onLampCenter(1, 3);
        QColor colour;
        const bool lit = QTest::qWaitFor(
            [&] {
                colour = session.windowImage(window, manager.path(QStringLiteral("switched.png")))
                             .pixelColor(lamp);
                return colour.green() > 150 && colour.red() < 120;
            },
            8000);
        QVERIFY2(lit,
                 qPrintable(QStringLiteral("lamp at %1,%2 is %3")
                                .arg(lamp.x())
                                .arg(lamp.y())
                                .arg(colour.name())));
    }
};

QTEST_MAIN(TestDesktopSmoke)
#include "tst_desktopsmoke.moc"
