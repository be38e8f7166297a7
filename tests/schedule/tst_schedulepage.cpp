#include <QtTest>

#include "schedule/schedulepage.h"

using namespace relaybox;

namespace {

constexpr int kMonday = 2;
const LocalTime kMonday1000 { 2026, 12, 7, 10, 0, 0, kMonday };

RowSetting row(bool ticked, bool changed, int mode = ModeAt, int hour = 8, int minute = 30,
               int day = 0)
{
    return RowSetting { ticked, changed, mode, day, hour, minute };
}

ScheduleEntry confirmed(int scope = PortScope)
{
    ScheduleEntry entry;
    entry.enabled = 1;
    entry.scope = scope;
    entry.mode = ModeEveryDay;
    entry.hour = 7;
    entry.appliedDate = "2026/12/1";
    return entry;
}

// One letter per entry of a bank: 0 zero, p pending, e enabled, b both, . neither; then port 1's
// scope.
QString summary(const ScheduleBank &bank)
{
    QString text;
    for (const ScheduleEntry &entry : bank) {
        if (entry == ScheduleEntry {})
            text += u'0';
        else if (entry.pending && entry.enabled)
            text += u'b';
        else if (entry.pending)
            text += u'p';
        else if (entry.enabled)
            text += u'e';
        else
            text += u'.';
    }
    return text + u'/' + QString::number(bank[0].scope);
}

QStringList summaries(const ScheduleTable &table, int banks)
{
    QStringList list;
    for (int bank = 0; bank < banks; ++bank)
        list << summary(table[bank]);
    return list;
}

// Three banks, each with enabled entries on ports 1 and 4.
ScheduleTable filledTable()
{
    ScheduleTable table;
    for (int bank = 0; bank < 3; ++bank) {
        table[bank][0] = confirmed();
        table[bank][3] = confirmed();
    }
    return table;
}

} // namespace

Q_DECLARE_METATYPE(PageSettings)

class TestSchedulePage : public QObject
{
    Q_OBJECT

private slots:
    void collect_data()
    {
        QTest::addColumn<PageSettings>("rows");
        QTest::addColumn<int>("shownBank");
        QTest::addColumn<QStringList>("banks");

        PageSettings nothing {};
        QTest::newRow("nothing changed")
            << nothing << 1 << QStringList { "e00e0000/0", "e00e0000/0", "e00e0000/0" };

        PageSettings ports {};
        ports[kFirstPortRow + 3] = row(false, true);
        ports[kFirstPortRow + 5] = row(true, true);
        ports[kFirstPortRow + 6] = row(true, false);
        QTest::newRow("port rows")
            << ports << 1 << QStringList { "e00e0000/0", "e00p0b00/0", "e00e0000/0" };

        PageSettings bankRemoved {};
        bankRemoved[kBankRow] = row(false, true);
        bankRemoved[kFirstPortRow + 3] = row(false, true);
        QTest::newRow("bank row unticked")
            << bankRemoved << 1 << QStringList { "e00e0000/0", "p0000000/4", "e00e0000/0" };

        PageSettings bankThenPort = bankRemoved;
        bankThenPort[kFirstPortRow] = row(true, true);
        QTest::newRow("bank row unticked, then port 1 set")
            << bankThenPort << 1 << QStringList { "e00e0000/0", "b0000000/6", "e00e0000/0" };

        PageSettings allRemoved {};
        allRemoved[kAllBanksRow] = row(false, true);
        allRemoved[kBankRow] = row(false, true);
        QTest::newRow("all-banks row unticked")
            << allRemoved << 2 << QStringList { "00000000/0", "00000000/0", "p0000000/3" };

        PageSettings allThenPort = allRemoved;
        allThenPort[kFirstPortRow + 2] = row(true, true);
        QTest::newRow("all-banks row unticked, then port 3 set")
            << allThenPort << 2 << QStringList { "00000000/0", "00000000/0", "p0b00000/3" };

        PageSettings allSet {};
        allSet[kAllBanksRow] = row(true, true);
        allSet[kBankRow] = row(true, true);
        allSet[kFirstPortRow] = row(true, true);
        QTest::newRow("all-banks row ticked: one pending copy")
            << allSet << 2 << QStringList { "b0000000/1", "e0000000/1", "e0000000/1" };

        PageSettings bankSet {};
        bankSet[kBankRow] = row(true, true);
        bankSet[kFirstPortRow + 4] = row(true, true);
        QTest::newRow("bank row ticked")
            << bankSet << 0 << QStringList { "b0000000/2", "e00e0000/0", "e00e0000/0" };
    }

    void collect()
    {
        QFETCH(PageSettings, rows);
        QFETCH(int, shownBank);
        QFETCH(QStringList, banks);
        ScheduleTable table = filledTable();
        collectPage(table, 3, shownBank, rows);
        QCOMPARE(summaries(table, 3), banks);
        QCOMPARE(summary(table[3]), QStringLiteral("00000000/0"));
    }

    void collectCopiesTheRow()
    {
        ScheduleTable table = filledTable();
        PageSettings rows {};
        rows[kFirstPortRow + 1] = row(true, true, ModeEveryWeek, 21, 5, 6);
        collectPage(table, 3, 0, rows);
        const ScheduleEntry &entry = table[0][1];
        QCOMPARE(entry.mode, std::int32_t(ModeEveryWeek));
        QCOMPARE(entry.day, 6);
        QCOMPARE(entry.hour, 21);
        QCOMPARE(entry.minute, 5);

        // A single bank gets no copies, and a bank outside the tables is ignored.
        ScheduleTable one = filledTable();
        PageSettings all {};
        all[kAllBanksRow] = row(true, true);
        collectPage(one, 1, 0, all);
        QCOMPARE(summaries(one, 2), (QStringList { "b0000000/1", "e00e0000/0" }));
        ScheduleTable untouched = filledTable();
        collectPage(untouched, 3, 16, all);
        QCOMPARE(untouched, filledTable());
    }

    void clearAllMarksEnabledEntries()
    {
        ScheduleTable table = filledTable();
        table[0][0].scope = AllBanksScope;
        table[1][0].scope = BankScope;
        table[2][5].pending = 1; // disabled and pending stays as it is
        markEnabledForClearing(table, 2);
        QCOMPARE(summaries(table, 3), (QStringList { "p00p0000/3", "p00p0000/4", "e00e0p00/0" }));
    }

    void identicalTimes_data()
    {
        QTest::addColumn<RowSetting>("first");
        QTest::addColumn<RowSetting>("second");
        QTest::addColumn<bool>("same");
        QTest::newRow("At 08:00 twice")
            << row(true, true, ModeAt, 8, 0) << row(true, true, ModeAt, 8, 0) << true;
        QTest::newRow("After 1:00 and At one hour from now")
            << row(true, true, ModeAfter, 1, 0) << row(true, true, ModeAt, 11, 0) << true;
        QTest::newRow("At and Every day at the same time")
            << row(true, true, ModeAt, 9, 15) << row(true, true, ModeEveryDay, 9, 15) << true;
        QTest::newRow("a minute apart")
            << row(true, true, ModeAt, 8, 0) << row(true, true, ModeAt, 8, 1) << false;
        QTest::newRow("Every week on another day") << row(true, true, ModeEveryWeek, 8, 0, 5)
                                                   << row(true, true, ModeEveryDay, 8, 0) << false;
    }

    void identicalTimes()
    {
        QFETCH(RowSetting, first);
        QFETCH(RowSetting, second);
        QFETCH(bool, same);
        QCOMPARE(sameTimeLeft(first, second, kMonday1000), same);
        QCOMPARE(sameTimeLeft(second, first, kMonday1000), same);
    }

    void fieldRules_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<bool>("whileTyping");
        QTest::addColumn<bool>("onLeaving");
        QTest::addColumn<int>("value");
        QTest::newRow("in range") << "7" << 23 << true << true << 7;
        QTest::newRow("the maximum") << "23" << 23 << true << true << 23;
        QTest::newRow("above") << "75" << 23 << false << false << 23;
        QTest::newRow("leading zero") << "05" << 59 << true << true << 5;
        QTest::newRow("empty") << "" << 59 << true << false << 59;
        QTest::newRow("a point") << "." << 99 << false << false << 99;
        QTest::newRow("digit and point") << "1." << 99 << false << false << 99;
        QTest::newRow("minus") << "-1" << 99 << false << false << 99;
        QTest::newRow("very long") << "99999999999" << 99 << false << false << 99;
    }

    void fieldRules()
    {
        QFETCH(QString, text);
        QFETCH(int, maximum);
        QFETCH(bool, whileTyping);
        QFETCH(bool, onLeaving);
        QFETCH(int, value);
        const std::string field = text.toStdString();
        QCOMPARE(acceptableWhileTyping(field, maximum), whileTyping);
        QCOMPARE(acceptableOnLeaving(field, maximum), onLeaving);
        QCOMPARE(fieldValue(field, maximum), value);
    }
};

QTEST_APPLESS_MAIN(TestSchedulePage)
#include "tst_schedulepage.moc"
