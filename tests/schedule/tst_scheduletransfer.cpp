#include <QtTest>

#include "schedule/schedulereplies.h"
#include "schedule/scheduletransfer.h"

using namespace relaybox;

namespace {

constexpr int kMonday = 2;
const LocalTime kMonday1020 { 2026, 12, 7, 10, 20, 30, kMonday };
const LocalTime kMonday1000 { 2026, 12, 7, 10, 0, 0, kMonday };

ScheduleEntry edited(int mode, int hour, int minute, int day = 0)
{
    ScheduleEntry entry;
    entry.pending = 1;
    entry.enabled = 1;
    entry.mode = mode;
    entry.day = day;
    entry.hour = hour;
    entry.minute = minute;
    return entry;
}

ScheduleEntry removed(int scope = PortScope)
{
    ScheduleEntry entry;
    entry.pending = 1;
    entry.scope = scope;
    return entry;
}

QStringList transfer(ScheduleTables &tables, int bankCount, const LocalTime &now)
{
    QStringList frames;
    for (const std::string &frame : returnToTransfer(tables, bankCount, now))
        frames << QString::fromStdString(frame);
    return frames;
}

} // namespace

class TestScheduleTransfer : public QObject
{
    Q_OBJECT

private slots:
    void singleChanges_data()
    {
        QTest::addColumn<int>("example");
        QTest::addColumn<QStringList>("frames");
        QTest::newRow("At 10:25 power-on, bank 2 port 3")
            << 0 << QStringList { "/T0231 0000430\\" };
        QTest::newRow("Every week Wednesday power-off, bank 1 port 1")
            << 1 << QStringList { "/W0110 0480000\\" };
        QTest::newRow("bank timer After 2:30, bank 3") << 2 << QStringList { "/T0301 0023000\\" };
        QTest::newRow("Every day, bank 1 port 8") << 3 << QStringList { "/D0181 0013930\\" };
        QTest::newRow("unticked port") << 4 << QStringList { "/Q0231\\" };
        QTest::newRow("unticked bank row, ports pending too") << 5 << QStringList { "/Q0201\\" };
        QTest::newRow("unticked all-banks row") << 6 << QStringList { "/Q0000\\" };
        QTest::newRow("nothing changed") << 7 << QStringList {};
        QTest::newRow("ticked but unchanged") << 8 << QStringList {};
    }

    void singleChanges()
    {
        QFETCH(int, example);
        QFETCH(QStringList, frames);
        ScheduleTables tables;
        LocalTime now = kMonday1020;
        switch (example) {
        case 0:
            tables.editorOn[1][2] = edited(ModeAt, 10, 25);
            break;
        case 1:
            tables.editorOff[0][0] = edited(ModeEveryWeek, 10, 0, 4);
            now = kMonday1000;
            break;
        case 2:
            tables.editorOn[2][0] = edited(ModeAfter, 2, 30);
            tables.editorOn[2][0].scope = BankScope;
            break;
        case 3:
            tables.editorOn[0][7] = edited(ModeEveryDay, 12, 0);
            break;
        case 4:
            tables.editorOn[1][2] = removed();
            break;
        case 5:
            tables.editorOn[1][0] = removed(ClearBank);
            tables.editorOn[1][3] = removed();
            break;
        case 6:
            tables.editorOff[0][0] = removed(ClearAllBanks);
            break;
        case 8:
            tables.editorOn[0][4] = edited(ModeAt, 11, 0);
            tables.editorOn[0][4].pending = 0;
            break;
        default:
            break;
        }
        QCOMPARE(transfer(tables, 3, now), frames);
    }

    void mixedChangesGoOutInOrder()
    {
        ScheduleTables tables;
        // Power-on: bank 1 clears all banks and then sets its port 1; bank 2 gets a bank timer;
        // bank 3 loses port 5 and gets port 7.
        tables.editorOn[0][0] = edited(ModeAt, 11, 0);
        tables.editorOn[0][0].scope = ClearAllBanksThenPort;
        tables.editorOn[0][3] = removed(); // covered by the all-banks clear
        tables.editorOn[1][0] = edited(ModeEveryDay, 6, 0);
        tables.editorOn[1][0].scope = BankScope;
        tables.editorOn[2][4] = removed();
        tables.editorOn[2][6] = edited(ModeAfter, 0, 45);
        tables.editorOn[2][1] = removed();
        // Power-off: bank 2 is cleared, bank 1 port 2 is set, and an all-banks timer.
        tables.editorOff[1][0] = removed(ClearBank);
        tables.editorOff[0][1] = edited(ModeEveryWeek, 10, 20, 3);
        tables.editorOff[2][0] = edited(ModeAt, 10, 50);
        tables.editorOff[2][0].scope = AllBanksScope;

        const QStringList expected {
            "/Q0001\\",         "/Q0321\\",
            "/Q0351\\", // power-on clears, by bank then port
            "/T0111 0003930\\", "/D0201 0193930\\",
            "/T0371 0004500\\", // power-on entries
            "/Q0200\\", // power-off clears
            "/W0120 0240000\\", "/T0000 0002930\\", // power-off entries
        };
        QCOMPARE(transfer(tables, 3, kMonday1020), expected);
        // Each change went out once: the editor now holds what was committed, nothing pending.
        QCOMPARE(tables.editorOn, tables.committedOn);
        QCOMPARE(tables.editorOff, tables.committedOff);
        QCOMPARE(transfer(tables, 3, kMonday1020), QStringList {});
    }

    void committedEntriesAreStampedAndWaitForConfirmation()
    {
        ScheduleTables tables;
        tables.editorOn[1][2] = edited(ModeAfter, 1, 30);
        tables.editorOn[1][3] = edited(ModeAt, 11, 0);
        tables.editorOff[0][0] = removed(ClearBank);
        transfer(tables, 2, kMonday1020);

        const ScheduleEntry &after = tables.committedOn[1][2];
        QCOMPARE(after.appliedDate, std::string("2026/12/7"));
        QCOMPARE(after.appliedWeekday, kMonday);
        QCOMPARE(after.appliedHour, 10);
        QCOMPARE(after.appliedMinute, 20);
        QCOMPARE(after.appliedSecond, 30);
        QCOMPARE(tables.committedOn[1][3].appliedSecond, 0);
        for (const ScheduleEntry *sent : { &tables.committedOn[1][2], &tables.committedOn[1][3] }) {
            QCOMPARE(sent->enabled, std::uint8_t(0));
            QCOMPARE(sent->pending, std::uint8_t(0));
            QCOMPARE(sent->scope, std::int32_t(PortScope));
        }
        QCOMPARE(tables.committedOff[0][0].scope, std::int32_t(PortScope));
        QCOMPARE(tables.committedOff[0][0].pending, std::uint8_t(0));
        // The switch confirms: the countdown may start.
        applySetReply(tables, *scheduleTarget(2, 3), true);
        QCOMPARE(tables.committedOn[1][2].enabled, std::uint8_t(1));
    }

    void allBanksTimerIsSentOnceAndCopiedToEveryBank()
    {
        ScheduleTables tables;
        ScheduleEntry all = edited(ModeAt, 12, 0);
        all.scope = AllBanksScope;
        for (int bank = 0; bank < 3; ++bank) {
            tables.editorOn[bank][0] = all;
            tables.editorOn[bank][0].pending = bank == 0 ? 1 : 0;
        }
        QCOMPARE(transfer(tables, 3, kMonday1000), QStringList { "/T0001 0020000\\" });
        for (int bank = 0; bank < 3; ++bank) {
            const ScheduleEntry &copy = tables.committedOn[bank][0];
            QCOMPARE(copy.scope, std::int32_t(AllBanksScope));
            QCOMPARE(copy.enabled, std::uint8_t(0));
            QCOMPARE(copy.pending, std::uint8_t(0));
            QCOMPARE(copy.hour, 12);
        }
        QCOMPARE(tables.committedOn[3][0], ScheduleEntry {});

        applySetReply(tables, *scheduleTarget(0, 0), true);
        QCOMPARE(tables.committedOn[0][0].enabled, std::uint8_t(1));
        QCOMPARE(tables.committedOn[1][0].enabled, std::uint8_t(0));
        QCOMPARE(tables.committedOn[2][0].enabled, std::uint8_t(0));
    }

    void onlyConnectedBanksAreCommitted()
    {
        ScheduleTables tables;
        tables.editorOn[0][0] = edited(ModeAt, 11, 0);
        tables.editorOn[5][0] = edited(ModeAt, 11, 0);
        QCOMPARE(transfer(tables, 0, kMonday1000), QStringList {});
        QCOMPARE(tables.committedOn[0][0], ScheduleEntry {});
        QCOMPARE(transfer(tables, 2, kMonday1000).size(), 1);
        QCOMPARE(tables.committedOn[5][0], ScheduleEntry {});
        QCOMPARE(transfer(tables, 99, kMonday1000), QStringList { "/T0611 0010000\\" });
    }
};

QTEST_APPLESS_MAIN(TestScheduleTransfer)
#include "tst_scheduletransfer.moc"
