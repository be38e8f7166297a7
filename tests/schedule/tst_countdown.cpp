#include <QtTest>

#include "schedule/countdown.h"

using namespace relaybox;

namespace {

constexpr int kMonday = 2;
constexpr int kTuesday = 3;
constexpr int kSunday = 1;
constexpr int kSaturday = 7;

LocalTime at(int weekday, int hour, int minute, int second)
{
    return LocalTime { 2026, 12, 7, hour, minute, second, weekday };
}

ScheduleEntry confirmed(int mode, int hour, int minute, int day = 0)
{
    ScheduleEntry entry;
    entry.enabled = 1;
    entry.mode = mode;
    entry.day = day;
    entry.hour = hour;
    entry.minute = minute;
    return entry;
}

ScheduleEntry applied(ScheduleEntry entry, const LocalTime &when)
{
    entry.appliedWeekday = when.weekday;
    entry.appliedHour = when.hour;
    entry.appliedMinute = when.minute;
    entry.appliedSecond = entry.mode == ModeAfter ? when.second : 0;
    return entry;
}

QString shown(const PortCountdown &countdown)
{
    switch (countdown.state) {
    case PortCountdown::State::Flagged:
        return QStringLiteral("flagged");
    case PortCountdown::State::Idle:
        return QStringLiteral("idle");
    case PortCountdown::State::Expired:
        return QStringLiteral("expired");
    case PortCountdown::State::Running:
        break;
    }
    return QString::fromStdString(countdown.text());
}

struct Port
{
    ScheduleBank on {};
    ScheduleBank off {};
};

} // namespace

Q_DECLARE_METATYPE(LocalTime)
Q_DECLARE_METATYPE(Port)

class TestCountdown : public QObject
{
    Q_OBJECT

private slots:
    void afterDelayWithSecondsCorrection_data()
    {
        QTest::addColumn<LocalTime>("now");
        QTest::addColumn<QString>("expected");
        QTest::newRow("10:05:10, applied second not below") << at(kMonday, 10, 5, 10) << " 1:25";
        QTest::newRow("10:05:30, applied second passed") << at(kMonday, 10, 5, 30) << " 1:24";
        QTest::newRow("11:29:20") << at(kMonday, 11, 29, 20) << " 0: 1";
        QTest::newRow("11:29:21") << at(kMonday, 11, 29, 21) << "expired";
        QTest::newRow("an hour late") << at(kMonday, 12, 40, 0) << "expired";
    }

    void afterDelayWithSecondsCorrection()
    {
        QFETCH(LocalTime, now);
        QFETCH(QString, expected);
        Port port;
        port.on[3] = applied(confirmed(ModeAfter, 1, 30), at(kMonday, 10, 0, 20));
        QCOMPARE(shown(portCountdown(port.on, port.off, 3, now)), expected);
    }

    void delayRemaining_data()
    {
        QTest::addColumn<LocalTime>("appliedAt");
        QTest::addColumn<int>("hour");
        QTest::addColumn<int>("minute");
        QTest::addColumn<LocalTime>("now");
        QTest::addColumn<QString>("left");
        QTest::newRow("across midnight")
            << at(kMonday, 23, 50, 0) << 0 << 30 << at(kTuesday, 0, 10, 0) << "0:10";
        QTest::newRow("across the week's end")
            << at(kSaturday, 23, 0, 0) << 2 << 0 << at(kSunday, 0, 30, 0) << "0:30";
        QTest::newRow("a week later starts again")
            << at(kMonday, 10, 0, 0) << 1 << 30 << at(kMonday, 10, 30, 0) << "1:0";
        QTest::newRow("days into a long delay")
            << at(kSunday, 8, 0, 0) << 99 << 0 << at(kTuesday, 9, 15, 0) << "49:45";
    }

    void delayRemaining()
    {
        QFETCH(LocalTime, appliedAt);
        QFETCH(int, hour);
        QFETCH(int, minute);
        QFETCH(LocalTime, now);
        QFETCH(QString, left);
        const TimeLeft remaining =
            relaybox::delayRemaining(applied(confirmed(ModeAfter, hour, minute), appliedAt), now);
        QCOMPARE(QStringLiteral("%1:%2").arg(remaining.hours).arg(remaining.minutes), left);
    }

    void choiceAndWraps_data()
    {
        QTest::addColumn<Port>("port");
        QTest::addColumn<LocalTime>("now");
        QTest::addColumn<QString>("expected");
        const LocalTime ten = at(kMonday, 10, 0, 0);

        Port sooner;
        sooner.on[2] = confirmed(ModeAt, 12, 10);
        sooner.off[2] = confirmed(ModeAt, 10, 45);
        QTest::newRow("sooner of the two") << sooner << ten << " 0:45";

        Port onSooner;
        onSooner.on[2] = confirmed(ModeAt, 10, 44);
        onSooner.off[2] = confirmed(ModeAt, 10, 45);
        QTest::newRow("on strictly sooner") << onSooner << ten << " 0:44";

        Port equal;
        equal.on[2] = applied(confirmed(ModeAfter, 1, 0), ten);
        equal.off[2] = confirmed(ModeAt, 11, 0);
        QTest::newRow("equal shows off") << equal << ten << " 1: 0";

        Port onlyOff;
        onlyOff.on[2] = confirmed(ModeAt, 10, 5);
        onlyOff.on[2].enabled = 0;
        onlyOff.off[2] = confirmed(ModeEveryDay, 13, 30);
        QTest::newRow("only off enabled") << onlyOff << ten << " 3:30";

        const LocalTime late = at(kMonday, 10, 20, 30);
        Port daily;
        daily.on[2] = confirmed(ModeEveryDay, 10, 20);
        QTest::newRow("daily wraps to 23:59") << daily << late << "23:59";
        Port weekly;
        weekly.on[2] = confirmed(ModeEveryWeek, 10, 20, kMonday);
        QTest::newRow("weekly wraps to 167:59") << weekly << late << "167:59";
        Port once;
        once.on[2] = confirmed(ModeAt, 10, 20);
        QTest::newRow("At this minute has expired") << once << late << "expired";
        QTest::newRow("At this minute, second not yet passed")
            << once << at(kMonday, 10, 20, 0) << "expired";

        Port bank;
        bank.on[0] = confirmed(ModeAt, 12, 0);
        bank.on[0].scope = BankScope;
        QTest::newRow("bank timer on another port") << bank << ten << " 2: 0";
        Port allBanks;
        allBanks.off[0] = confirmed(ModeAt, 11, 15);
        allBanks.off[0].scope = AllBanksScope;
        allBanks.off[2] = confirmed(ModeAt, 10, 5);
        QTest::newRow("all-banks timer hides the port's own") << allBanks << ten << " 1:15";

        Port disabled;
        disabled.on[2] = confirmed(ModeAt, 11, 0);
        disabled.off[2] = confirmed(ModeAt, 12, 0);
        disabled.on[2].enabled = 0;
        disabled.off[2].enabled = 0;
        QTest::newRow("both disabled") << disabled << ten << "idle";

        Port flagged = sooner;
        flagged.on[2].invalid = 1;
        QTest::newRow("flagged port is left alone") << flagged << ten << "flagged";
    }

    void choiceAndWraps()
    {
        QFETCH(Port, port);
        QFETCH(LocalTime, now);
        QFETCH(QString, expected);
        QCOMPARE(shown(portCountdown(port.on, port.off, 2, now)), expected);
    }

    void portOutsideTheBankIsIdle()
    {
        Port port;
        port.on.fill(confirmed(ModeAt, 11, 0));
        QCOMPARE(shown(portCountdown(port.on, port.off, 8, at(kMonday, 10, 0, 0))),
                 QStringLiteral("idle"));
        QCOMPARE(shown(portCountdown(port.on, port.off, -1, at(kMonday, 10, 0, 0))),
                 QStringLiteral("idle"));
    }

    void text_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("hours");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<QString>("expected");
        const int running = int(PortCountdown::State::Running);
        QTest::newRow("one hour five") << running << 1 << 5 << " 1: 5";
        QTest::newRow("twelve thirty") << running << 12 << 30 << "12:30";
        QTest::newRow("a week") << running << 167 << 59 << "167:59";
        QTest::newRow("expired") << int(PortCountdown::State::Expired) << 0 << 0 << " 0: 0";
        QTest::newRow("idle") << int(PortCountdown::State::Idle) << 3 << 3 << "";
        QTest::newRow("flagged") << int(PortCountdown::State::Flagged) << 3 << 3 << "";
    }

    void text()
    {
        QFETCH(int, state);
        QFETCH(int, hours);
        QFETCH(int, minutes);
        QFETCH(QString, expected);
        const PortCountdown countdown { PortCountdown::State(state), hours, minutes };
        QCOMPARE(QString::fromStdString(countdown.text()), expected);
    }
};

QTEST_APPLESS_MAIN(TestCountdown)
#include "tst_countdown.moc"
