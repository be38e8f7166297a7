#include <QtTest>

#include "desktop/managerprocess.h"

using namespace relaybox::testing;

// A device that answers the Identify command and then keeps sending, as noise on the line or a
// chatty device would: the detection dialog still ends its search and takes OK while it sends.
class TestDesktopNoisyProbe : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { RELAYBOX_REQUIRE_DESKTOP_TOOLS(); }

    void searchEndsWhileTheDeviceSends()
    {
        XSession session;
        QVERIFY(session.start());
        ManagerProcess manager(session);
        QVERIFY(manager.prepare());
        manager.writeSettings();
        QVERIFY(manager.start());
        QVERIFY(!session.waitForWindow(ManagerProcess::kDetectionTitle, 15000).isEmpty());
        QVERIFY(manager.sim.waitFor(QStringLiteral(" RX /uni\\"), 10000));

        // 64 random bytes every 70 ms or so, about what the line carries, for as long as the
        // dialog stays; Return presses OK once the search has ended.
        QElapsedTimer noisy;
        noisy.start();
        bool closed = false;
        while (!closed && noisy.elapsed() < 30000) {
            QVERIFY(manager.sim.control(QStringLiteral("garbage 64")));
            QTest::qWait(70);
            const QStringList open = session.findWindows(ManagerProcess::kDetectionTitle);
            closed = open.isEmpty();
            if (!closed) {
                session.activate(open.first());
                session.key(QStringLiteral("Return"));
            }
        }
        QVERIFY2(closed, "the detection dialog stayed while the device kept sending");
        qInfo("the dialog took OK %lld ms into the noise", qlonglong(noisy.elapsed()));
    }
};

QTEST_MAIN(TestDesktopNoisyProbe)
#include "tst_desktopnoisyprobe.moc"
