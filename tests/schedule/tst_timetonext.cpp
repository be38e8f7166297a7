#include <QtTest>

#include "schedule/timetonext.h"

using namespace relaybox;

namespace {

constexpr int kSunday = 1;
constexpr int kMonday = 2;
constexpr int kWednesday = 4;
constexpr int kSaturday = 7;

LocalTime at(int weekday, int hour, int minute, int second)
{
    return LocalTime { 2026, 12, 7, hour, minute, second, weekday };
}

ScheduleEntry timer(int mode, int day, int hour, int minute)
{
    ScheduleEntry entry;
    entry.mode = mode;
    entry.day = day;
    entry.hour = hour;
    entry.minute = minute;
    return entry;
}

QString text(const TimeLeft &left)
{
    return QStringLiteral("%1:%2:%3").arg(left.hours).arg(left.minutes).arg(left.seconds);
}

} // namespace

Q_DECLARE_METATYPE(ScheduleEntry)
Q_DECLARE_METATYPE(LocalTime)

class TestTimeToNext : public QObject
{
    Q_OBJECT

private slots:
    void bothVariants_data()
    {
        QTest::addColumn<ScheduleEntry>("entry");
        QTest::addColumn<LocalTime>("now");
        QTest::addColumn<QString>("transfer");
        QTest::addColumn<QString>("probe");

        QTest::newRow("After 0:00 is six seconds")
            << timer(ModeAfter, 0, 0, 0) << at(kMonday, 10, 20, 30) << "0:0:6"
            << "0:0:6";
        QTest::newRow("After is its delay")
            << timer(ModeAfter, 0, 2, 30) << at(kMonday, 10, 20, 30) << "2:30:0"
            << "2:30:0";
        QTest::newRow("After ignores the day")
            << timer(ModeAfter, 5, 0, 45) << at(kMonday, 10, 20, 30) << "0:45:0"
            << "0:45:0";
        QTest::newRow("At 10:25 at 10:20:30")
            << timer(ModeAt, 0, 10, 25) << at(kMonday, 10, 20, 30) << "0:4:30"
            << "0:5:0";
        QTest::newRow("At 10:25 at 10:20:00")
            << timer(ModeAt, 0, 10, 25) << at(kMonday, 10, 20, 0) << "0:5:0"
            << "0:5:0";
        QTest::newRow("At 10:21 at 10:20:45")
            << timer(ModeAt, 0, 10, 21) << at(kMonday, 10, 20, 45) << "0:0:15"
            << "0:1:0";
        QTest::newRow("At 10:21 at 10:20:58 is never under six seconds")
            << timer(ModeAt, 0, 10, 21) << at(kMonday, 10, 20, 58) << "0:0:6"
            << "0:1:0";
        QTest::newRow("At this very minute")
            << timer(ModeAt, 0, 10, 20) << at(kMonday, 10, 20, 30) << "0:0:6"
            << "0:0:0";
        QTest::newRow("Every day this very minute")
            << timer(ModeEveryDay, 0, 10, 20) << at(kMonday, 10, 20, 30) << "0:0:6"
            << "0:0:0";
        QTest::newRow("At one minute ago is tomorrow")
            << timer(ModeAt, 0, 10, 19) << at(kMonday, 10, 20, 30) << "23:58:30"
            << "23:59:0";
        QTest::newRow("same hour, earlier minute")
            << timer(ModeAt, 0, 10, 5) << at(kMonday, 10, 20, 0) << "23:45:0"
            << "23:45:0";
        QTest::newRow("full hour ahead borrows a minute")
            << timer(ModeAt, 0, 11, 20) << at(kMonday, 10, 20, 30) << "0:59:30"
            << "1:0:0";
        QTest::newRow("earlier hour, later minute")
            << timer(ModeEveryDay, 0, 8, 40) << at(kMonday, 10, 20, 0) << "22:20:0"
            << "22:20:0";
        QTest::newRow("past midnight")
            << timer(ModeAt, 0, 0, 10) << at(kMonday, 23, 50, 20) << "0:19:40"
            << "0:20:0";
        QTest::newRow("midnight from 23:59:59")
            << timer(ModeEveryDay, 0, 0, 0) << at(kMonday, 23, 59, 59) << "0:0:6"
            << "0:1:0";
        QTest::newRow("Every week Monday 09:00 on Monday 10:00")
            << timer(ModeEveryWeek, kMonday, 9, 0) << at(kMonday, 10, 0, 0) << "167:0:0"
            << "167:0:0";
        QTest::newRow("Every week Wednesday 10:00 on Monday 10:00")
            << timer(ModeEveryWeek, kWednesday, 10, 0) << at(kMonday, 10, 0, 0) << "48:0:0"
            << "48:0:0";
        QTest::newRow("Every week later today")
            << timer(ModeEveryWeek, kMonday, 11, 15) << at(kMonday, 10, 0, 10) << "1:14:50"
            << "1:15:0";
        QTest::newRow("Every week this very minute today")
            << timer(ModeEveryWeek, kMonday, 10, 0) << at(kMonday, 10, 0, 40) << "0:0:6"
            << "0:0:0";
        QTest::newRow("Every week Sunday 01:00 from Saturday night")
            << timer(ModeEveryWeek, kSunday, 1, 0) << at(kSaturday, 23, 30, 0) << "1:30:0"
            << "1:30:0";
        QTest::newRow("Every week Saturday 23:00 from Sunday 00:30")
            << timer(ModeEveryWeek, kSaturday, 23, 0) << at(kSunday, 0, 30, 0) << "166:30:0"
            << "166:30:0";
        QTest::newRow("Every week with day NULL is daily")
            << timer(ModeEveryWeek, 0, 8, 0) << at(kMonday, 10, 0, 0) << "22:0:0"
            << "22:0:0";
    }

    void bothVariants()
    {
        QFETCH(ScheduleEntry, entry);
        QFETCH(LocalTime, now);
        QFETCH(QString, transfer);
        QFETCH(QString, probe);
        QCOMPARE(text(timeToNext(entry, TimeToNextVariant::Transfer, now)), transfer);
        QCOMPARE(text(timeToNext(entry, TimeToNextVariant::Probe, now)), probe);
    }

    void readsTheHostClock()
    {
        FixedClock clock(at(kMonday, 10, 20, 30));
        const ScheduleEntry entry = timer(ModeAt, 0, 10, 25);
        QCOMPARE(text(timeToNext(entry, TimeToNextVariant::Transfer, clock)),
                 QStringLiteral("0:4:30"));
        clock.set(at(kMonday, 10, 24, 0));
        QCOMPARE(text(timeToNext(entry, TimeToNextVariant::Transfer, clock)),
                 QStringLiteral("0:1:0"));
    }
};

QTEST_APPLESS_MAIN(TestTimeToNext)
#include "tst_timetonext.moc"
