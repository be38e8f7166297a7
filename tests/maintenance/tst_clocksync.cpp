#include <QtTest>

#include "common/fakeserialport.h"
#include "common/scripteddialogs.h"
#include "common/settle.h"
#include "common/sharedstateaccess.h"
#include "link/frames.h"
#include "maintenance/clocksync.h"

using namespace relaybox;
using namespace std::chrono_literals;
using relaybox::testing::FakeLine;
using relaybox::testing::locked;

Q_DECLARE_METATYPE(relaybox::LocalTime)

namespace {

QStringList clockFrames(const FakeLine &line)
{
    QStringList frames;
    for (const std::string &frame : line.written())
        if (frame.rfind("/SETTIME", 0) == 0)
            frames << QString::fromStdString(frame);
    return frames;
}

struct Fixture
{
    explicit Fixture(ClockSyncIntervals intervals = {})
        : sync(
            state, link, clock, dialogs, [this] { return setRtc; }, intervals)
    {
        QObject::connect(&link, &LinkController::updateArrived, &sync, &ClockSync::handleUpdate);
        QObject::connect(&link, &LinkController::linkResetRequested, &sync, &ClockSync::stop);
    }

    void enableTimer(int bankIndex, int port, bool powerOn)
    {
        locked(state, [&](StateValues &v) {
            v.schedules.committed(powerOn)[bankIndex][port].enabled = 1;
        });
    }

    void setBankCount(int count)
    {
        locked(state, [&](StateValues &v) { v.link.bankCount = v.link.shownBankCount = count; });
    }

    SharedState state;
    FixedClock clock { LocalTime { 2026, 12, 6, 21, 30, 5, 1 } };
    testing::ScriptedDialogs dialogs;
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    LinkController link { state, clock, dialogs, testing::fakePortFactory(line) };
    bool setRtc = false;
    ClockSync sync;
};

const QString kTimerWarning = "Warning|Existing Timer Settings might be affected. \rPlease check.";
const QString kClockFailure = "Warning|Battery no power or RTC failure";

} // namespace

class TestClockSync : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<UiUpdate>(); }

    void frameCarriesTheHostTime_data()
    {
        QTest::addColumn<LocalTime>("time");
        QTest::addColumn<QString>("frame");
        QTest::newRow("evening") << LocalTime { 2026, 12, 6, 21, 30, 5, 1 }
                                 << "/SETTIME2026-12-06 21:30:05\\";
        QTest::newRow("first second of 2000")
            << LocalTime { 2000, 1, 1, 0, 0, 0, 7 } << "/SETTIME2000-01-01 00:00:00\\";
        QTest::newRow("last second of 2099")
            << LocalTime { 2099, 12, 31, 23, 59, 59, 5 } << "/SETTIME2099-12-31 23:59:59\\";
        // The switch takes the century as fixed: 2100 goes out as 2000.
        QTest::newRow("2100") << LocalTime { 2100, 1, 1, 0, 0, 0, 6 }
                              << "/SETTIME2000-01-01 00:00:00\\";
    }

    void frameCarriesTheHostTime()
    {
        QFETCH(LocalTime, time);
        QFETCH(QString, frame);
        Fixture f;
        f.clock.set(time);
        QVERIFY(f.link.startLink("fake"));
        f.sync.mlSetRTCNowClick();
        QCOMPARE(clockFrames(*f.line), QStringList { frame });
    }

    // The warning follows the frame, only on the first clock set of a link, and only when the
    // switch holds a timer of a known bank.
    void timerWarningOncePerLink_data()
    {
        QTest::addColumn<int>("timerBank"); // bank index; -1: no timer
        QTest::addColumn<bool>("powerOn");
        QTest::addColumn<bool>("timerBeforeFirst"); // else only before the second set
        QTest::addColumn<int>("warnings");
        QTest::newRow("no timers") << -1 << true << true << 0;
        QTest::newRow("power-on entry") << 0 << true << true << 1;
        QTest::newRow("power-off entry") << 1 << false << true << 1;
        QTest::newRow("bank not reported") << 2 << true << true << 0;
        QTest::newRow("timer only for the second set") << 0 << true << false << 0;
    }

    void timerWarningOncePerLink()
    {
        QFETCH(int, timerBank);
        QFETCH(bool, powerOn);
        QFETCH(bool, timerBeforeFirst);
        QFETCH(int, warnings);
        Fixture f;
        f.link.startLink("fake");
        f.setBankCount(2);
        std::vector<QStringList> framesAtBox;
        f.dialogs.onMessage = [&] {
            framesAtBox.push_back(clockFrames(*f.line));
        };
        if (timerBank >= 0 && timerBeforeFirst)
            f.enableTimer(timerBank, 5, powerOn);
        f.sync.SetDeviceClock();
        if (timerBank >= 0)
            f.enableTimer(timerBank, 5, powerOn);
        f.sync.SetDeviceClock();

        QCOMPARE(clockFrames(*f.line).size(), 2);
        QCOMPARE(f.dialogs.messages, QStringList(warnings, kTimerWarning));
        if (warnings) {
            QCOMPARE(framesAtBox.front().size(), 1); // the frame went out before the box
            QCOMPARE(f.dialogs.icons.front(), MessageIcon::Information);
        }
        QVERIFY(!locked(f.state, [](StateValues &v) { return v.link.firstClockSet; }));
    }

    void newLinkWarnsAgain()
    {
        Fixture f;
        f.link.startLink("fake");
        f.setBankCount(1);
        f.enableTimer(0, 0, false);
        f.sync.SetDeviceClock();
        f.link.closeLink();
        f.link.startLink("fake");
        f.setBankCount(1);
        f.enableTimer(0, 0, false);
        f.sync.SetDeviceClock();
        QCOMPARE(f.dialogs.messages, QStringList(2, kTimerWarning));
    }

    // Without a link the frame is lost and nothing is reported.
    void noLinkNoMessage()
    {
        Fixture f;
        f.enableTimer(0, 0, true);
        f.setBankCount(1);
        f.sync.mlSetRTCNowClick();
        QVERIFY(f.line->written().empty());
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    void clockFailureOncePerLink()
    {
        Fixture f({ 1s, 1h, 10ms });
        f.link.startLink("fake");
        f.line->feed("/err\\");
        QTRY_COMPARE(f.dialogs.messages.size(), 1);
        f.line->feed("/err\\");
        testing::settle(100ms);
        QCOMPARE(f.dialogs.messages, QStringList { kClockFailure });
        QCOMPARE(f.dialogs.icons.front(), MessageIcon::Information);

        // Disconnect and a new link: the warning may show again.
        f.link.closeLink();
        f.link.startLink("fake");
        f.line->feed("/err\\");
        QTRY_COMPARE(f.dialogs.messages.size(), 2);
        QCOMPARE(f.dialogs.messages.back(), kClockFailure);
    }

    void clockFailureWaitsItsDelay()
    {
        Fixture f;
        f.link.startLink("fake");
        f.sync.handleUpdate({ UpdateKind::ClockError, 0 });
        QVERIFY(f.sync.tmRTCErr().isActive());
        QCOMPARE(f.sync.tmRTCErr().interval(), 100);
        QVERIFY(f.dialogs.messages.isEmpty());
        f.sync.tmRTCErrTimer();
        QVERIFY(!f.sync.tmRTCErr().isActive());
        QCOMPARE(f.dialogs.messages, QStringList { kClockFailure });
    }

    // Arming sets the one-second start; its tick re-arms for an hour and sets the clock; a new
    // arming starts over; a stop ends it.
    void armingAndHourlyRhythm()
    {
        Fixture f;
        f.link.startLink("fake");
        QTimer &timer = f.sync.tmSetRTC();
        QVERIFY(!timer.isActive());

        f.sync.mlStartSetRTC_PeriodClick();
        QVERIFY(timer.isActive());
        QCOMPARE(timer.interval(), 1000);
        QVERIFY(clockFrames(*f.line).isEmpty());

        f.sync.tmSetRTCTimer();
        QVERIFY(timer.isActive());
        QCOMPARE(timer.interval(), 3600000);
        QCOMPARE(clockFrames(*f.line).size(), 1);

        f.sync.tmSetRTCTimer();
        QCOMPARE(clockFrames(*f.line).size(), 2);

        f.setRtc = true;
        f.sync.handleUpdate({ UpdateKind::Version, 1 });
        QCOMPARE(timer.interval(), 1000);
        QVERIFY(timer.isActive());

        f.link.closeLink(); // link reset stops it
        QVERIFY(!timer.isActive());
    }

    void versionReplyArmsOnlyWithSetRtc_data()
    {
        QTest::addColumn<bool>("setRtc");
        QTest::newRow("SetRTC on") << true;
        QTest::newRow("SetRTC off") << false;
    }

    void versionReplyArmsOnlyWithSetRtc()
    {
        QFETCH(bool, setRtc);
        Fixture f;
        f.setRtc = setRtc;
        f.sync.handleUpdate({ UpdateKind::Version, 2 });
        QCOMPARE(f.sync.tmSetRTC().isActive(), setRtc);
        f.sync.handleUpdate({ UpdateKind::Spinner, 0 }); // not ours
        QCOMPARE(f.sync.tmSetRTC().isActive(), setRtc);
        QVERIFY(!f.sync.tmRTCErr().isActive());
    }

    // SetRTC on and three banks answering the Version query: one clock set shortly after the
    // last reply (every reply restarts the count), then the hourly rhythm.
    // A clock set that falls due while a firmware upload holds the line waits for its end, and
    // goes out a second after it; a link reset drops it.
    void clockSetWaitsForTheUpload_data()
    {
        QTest::addColumn<bool>("linkReset");
        QTest::newRow("upload ends") << false;
        QTest::newRow("link reset") << true;
    }

    void clockSetWaitsForTheUpload()
    {
        QFETCH(bool, linkReset);
        Fixture f({ 50ms, 1h, 100ms });
        QVERIFY(f.link.startLink("fake"));
        f.link.beginUpload();
        f.sync.mlStartSetRTC_PeriodClick();
        QTRY_COMPARE(f.sync.tmSetRTC().interval(), 3600000);
        QVERIFY(clockFrames(*f.line).isEmpty());
        if (linkReset) {
            f.link.closeLink();
            testing::settle(150ms);
            QVERIFY(!f.sync.tmSetRTC().isActive());
            QVERIFY(clockFrames(*f.line).isEmpty());
            return;
        }
        f.link.endUpload();
        QCOMPARE(f.sync.tmSetRTC().interval(), 50);
        QTRY_COMPARE(clockFrames(*f.line).size(), 1);
        QCOMPARE(f.sync.tmSetRTC().interval(), 3600000);
    }

    void versionRepliesLeadToOneClockSet()
    {
        Fixture f({ 150ms, 250ms, 100ms });
        f.setRtc = true;
        f.link.startLink("fake");
        f.line->feed("/V01 1203\\/V02 1203\\/V03 1203\\");
        QTRY_COMPARE(clockFrames(*f.line).size(), 1);
        QCOMPARE(f.sync.tmSetRTC().interval(), 250);
        QTRY_COMPARE(clockFrames(*f.line).size(), 2);
        QCOMPARE(f.state.bank(3).versionText, std::string("1203"));
    }
};

QTEST_MAIN(TestClockSync)
#include "tst_clocksync.moc"
