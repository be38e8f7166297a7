#include <QtTest>

#include "link/frames.h"

using namespace relaybox;

class TestFrames : public QObject
{
    Q_OBJECT

private slots:
    void frames_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QString>("expected");

        auto row = [](const char *name, const std::string &frame, const char *expected) {
            QTest::newRow(name) << QString::fromStdString(frame) << QString::fromLatin1(expected);
        };
        row("identify", frames::identify(), "/uni\\");
        row("status poll", frames::statusPoll(), "/C\\");
        row("version query", frames::versionQuery(), "/VER\\");
        row("restore on", frames::restoreStatus(true), "/EN001\\");
        row("restore off", frames::restoreStatus(false), "/DS001\\");
        row("port on", frames::portSwitch(true, 5, 8), "/O058\\");
        row("port off", frames::portSwitch(false, 3, 7), "/F037\\");
        row("bank on", frames::bankSwitch(true, 12), "/O120\\");
        row("bank off", frames::bankSwitch(false, 1), "/F010\\");
        row("all on", frames::allBanksSwitch(true), "/O000\\");
        row("all off", frames::allBanksSwitch(false), "/F000\\");
        row("clear port", frames::scheduleClear(2, 3, 1), "/Q0231\\");
        row("clear all banks", frames::scheduleClear(0, 0, 0), "/Q0000\\");
        row("entry at", frames::scheduleEntry('T', 2, 3, 1, 0, 4, 30), "/T0231 0000430\\");
        row("entry bank", frames::scheduleEntry('T', 3, 0, 1, 2, 30, 0), "/T0301 0023000\\");
        row("entry weekly", frames::scheduleEntry('W', 1, 1, 0, 48, 0, 0), "/W0110 0480000\\");
        row("entry 167 hours", frames::scheduleEntry('W', 16, 8, 0, 167, 59, 6),
            "/W1680 1675906\\");
        row("clock", frames::clockSet({ 2026, 12, 6, 21, 30, 5, 1 }),
            "/SETTIME2026-12-06 21:30:05\\");
        row("clock 2099", frames::clockSet({ 2099, 12, 31, 23, 59, 59, 5 }),
            "/SETTIME2099-12-31 23:59:59\\");
        row("clock 2100 wraps", frames::clockSet({ 2100, 1, 1, 0, 0, 0, 6 }),
            "/SETTIME2000-01-01 00:00:00\\");
        row("upgrade", frames::upgradeStart(), "/UPGRADE\\");
    }

    void frames()
    {
        QFETCH(QString, frame);
        QFETCH(QString, expected);
        QCOMPARE(frame, expected);
    }
};

QTEST_APPLESS_MAIN(TestFrames)
#include "tst_frames.moc"
