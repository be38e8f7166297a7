#include <QtTest>

#include "schedule/schedulereplies.h"

using namespace relaybox;

namespace {

constexpr int kMonday = 2;

LocalTime at(int weekday, int hour, int minute, int second)
{
    return LocalTime { 2026, 12, 7, hour, minute, second, weekday };
}

ScheduleEntry confirmed(int scope = PortScope)
{
    ScheduleEntry entry;
    entry.enabled = 1;
    entry.scope = scope;
    entry.mode = ModeAt;
    entry.hour = 9;
    return entry;
}

// Every entry of both power-on tables enabled, with all-banks timers in banks 1 and 3.
ScheduleTables busyTables()
{
    ScheduleTables tables;
    for (ScheduleTable *table :
         { &tables.committedOn, &tables.editorOn, &tables.committedOff, &tables.editorOff }) {
        for (ScheduleBank &bank : *table)
            bank.fill(confirmed());
        (*table)[0][0].scope = AllBanksScope;
        (*table)[2][0].scope = AllBanksScope;
    }
    return tables;
}

QString marks(const ScheduleTable &table, int bank)
{
    QString text;
    for (const ScheduleEntry &entry : table[bank])
        text += QString::number(entry.enabled);
    return text + QLatin1Char('/') + QString::number(table[bank][0].scope);
}

QString report(const ScheduleEntry &entry)
{
    return QStringLiteral("mode %1 day %2 %3:%4 second %5")
        .arg(entry.mode)
        .arg(entry.day)
        .arg(entry.hour)
        .arg(entry.minute)
        .arg(entry.appliedSecond);
}

} // namespace

Q_DECLARE_METATYPE(LocalTime)

class TestScheduleReplies : public QObject
{
    Q_OBJECT

private slots:
    void targets_data()
    {
        QTest::addColumn<int>("bank");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("target");
        QTest::newRow("one port") << 2 << 3 << "0 1 2";
        QTest::newRow("whole bank") << 2 << 0 << "2 1 0";
        QTest::newRow("all banks") << 0 << 0 << "1 0 0";
        QTest::newRow("bank 16 port 8") << 16 << 8 << "0 15 7";
        QTest::newRow("bank 17") << 17 << 1 << "none";
        QTest::newRow("port 9") << 1 << 9 << "none";
        QTest::newRow("a port of all banks") << 0 << 3 << "none";
        QTest::newRow("negative") << -1 << 0 << "none";
    }

    void targets()
    {
        QFETCH(int, bank);
        QFETCH(int, port);
        QFETCH(QString, target);
        const auto found = scheduleTarget(bank, port);
        QCOMPARE(found ? QStringLiteral("%1 %2 %3")
                             .arg(int(found->scope))
                             .arg(found->bankIndex)
                             .arg(found->portIndex)
                       : QStringLiteral("none"),
                 target);
    }

    void clearReplies_data()
    {
        QTest::addColumn<int>("bank");
        QTest::addColumn<int>("port");
        QTest::addColumn<QStringList>("powerOnBanks"); // committed marks of banks 1 to 3
        QTest::newRow("port 3 of bank 2")
            << 2 << 3 << QStringList { "11111111/1", "11011111/0", "11111111/1" };
        QTest::newRow("whole bank 2")
            << 2 << 0 << QStringList { "11111111/2", "00000000/0", "11111111/2" };
        QTest::newRow("all banks")
            << 0 << 0 << QStringList { "00000000/0", "11111111/0", "11111111/2" };
    }

    void clearReplies()
    {
        QFETCH(int, bank);
        QFETCH(int, port);
        QFETCH(QStringList, powerOnBanks);
        ScheduleTables tables = busyTables();
        applyClearReply(tables, 3, *scheduleTarget(bank, port), isPowerOnSelector(1));
        for (int index = 0; index < 3; ++index) {
            QCOMPARE(marks(tables.committedOn, index), powerOnBanks[index]);
            QCOMPARE(marks(tables.editorOn, index), powerOnBanks[index]);
        }
        // The power-off tables and the banks beyond the count are not touched.
        QCOMPARE(marks(tables.committedOff, 1), QStringLiteral("11111111/0"));
        QCOMPARE(marks(tables.committedOn, 3), QStringLiteral("11111111/0"));
    }

    void setReplyEnablesOneEntry_data()
    {
        QTest::addColumn<int>("bank");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("selector");
        QTest::addColumn<QString>("bank2On");
        QTest::addColumn<QString>("bank2Off");
        QTest::newRow("port 3, power-on") << 2 << 3 << 1 << "00100000/0"
                                          << "00000000/0";
        QTest::newRow("whole bank, power-off") << 2 << 0 << 0 << "00000000/0"
                                               << "10000000/2";
        QTest::newRow("selector 7 is power-on") << 2 << 8 << 7 << "00000001/0"
                                                << "00000000/0";
    }

    void setReplyEnablesOneEntry()
    {
        QFETCH(int, bank);
        QFETCH(int, port);
        QFETCH(int, selector);
        QFETCH(QString, bank2On);
        QFETCH(QString, bank2Off);
        ScheduleTables tables;
        applySetReply(tables, *scheduleTarget(bank, port), isPowerOnSelector(selector));
        QCOMPARE(marks(tables.committedOn, 1), bank2On);
        QCOMPARE(marks(tables.editorOn, 1), bank2On);
        QCOMPARE(marks(tables.committedOff, 1), bank2Off);
        QCOMPARE(marks(tables.editorOff, 1), bank2Off);
    }

    void entryReports_data()
    {
        QTest::addColumn<char>("letter");
        QTest::addColumn<int>("hours");
        QTest::addColumn<int>("minutes");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<LocalTime>("now");
        QTest::addColumn<QString>("entry");
        const LocalTime ten = at(kMonday, 10, 0, 0);
        QTest::newRow("T 002 30 15 at 10:00:50 is At 12:31")
            << 'T' << 2 << 30 << 15 << at(kMonday, 10, 0, 50) << "mode 1 day 0 12:31 second 5";
        QTest::newRow("T 030 00 00 is After 30:00")
            << 'T' << 30 << 0 << 0 << ten << "mode 0 day 0 30:0 second 0";
        QTest::newRow("T 023 59 30 at 10:00:40 becomes a 24 hour delay")
            << 'T' << 23 << 59 << 30 << at(kMonday, 10, 0, 40) << "mode 0 day 0 24:0 second 10";
        QTest::newRow("W 050 00 00 on Monday 10:00 is Wednesday 12:00")
            << 'W' << 50 << 0 << 0 << ten << "mode 3 day 4 12:0 second 0";
        QTest::newRow("W 110 00 00 on Monday 10:00 is Saturday 00:00")
            << 'W' << 110 << 0 << 0 << ten << "mode 3 day 7 0:0 second 0";
        QTest::newRow("W later today")
            << 'W' << 3 << 15 << 0 << ten << "mode 3 day 2 13:15 second 0";
        QTest::newRow("D past midnight has no day")
            << 'D' << 15 << 0 << 0 << ten << "mode 2 day 0 1:0 second 0";
        QTest::newRow("minutes carry into the hour")
            << 'D' << 1 << 45 << 0 << at(kMonday, 10, 30, 0) << "mode 2 day 0 12:15 second 0";
    }

    void entryReports()
    {
        QFETCH(char, letter);
        QFETCH(int, hours);
        QFETCH(int, minutes);
        QFETCH(int, seconds);
        QFETCH(LocalTime, now);
        QFETCH(QString, entry);
        ScheduleTables tables;
        const bool powerOn = letter != 'T' || hours == 30;
        applyEntryReport(tables, *scheduleTarget(1, 1), powerOn,
                         EntryReport { letter, hours, minutes, seconds }, now);
        const ScheduleEntry &rebuilt = tables.committed(powerOn)[0][0];
        QCOMPARE(report(rebuilt), entry);
        QCOMPARE(rebuilt.enabled, std::uint8_t(1));
        QCOMPARE(rebuilt.scope, std::int32_t(PortScope));
        QCOMPARE(rebuilt.appliedDate, std::string("2026/12/7"));
        QCOMPARE(rebuilt.appliedHour, now.hour);
        QCOMPARE(rebuilt.appliedMinute, now.minute);
        QCOMPARE(tables.editor(powerOn)[0][0], rebuilt);
        QCOMPARE(tables.committed(!powerOn)[0][0], ScheduleEntry {});
    }
};

QTEST_APPLESS_MAIN(TestScheduleReplies)
#include "tst_schedulereplies.moc"
