#include <QtTest>

#include "common/sharedstateaccess.h"
#include "link/frames.h"
#include "link/receiver.h"

using namespace relaybox;
using relaybox::testing::unguarded;

namespace {

const LocalTime kMonday10 { 2026, 12, 7, 10, 0, 50, 2 };

QString updateName(const UiUpdate &update)
{
    return QStringLiteral("%1:%2").arg(int(update.kind)).arg(update.bank);
}

// Runs a byte stream through a receiver, optionally in two reads split at `cut`, and returns
// the updates asked for, with "up" where the Identify answer arrived.
QStringList receive(SharedState &state, const QByteArray &bytes, int cut = -1)
{
    static const FixedClock clock(kMonday10);
    Receiver receiver(state, clock);
    QStringList updates;
    const auto sink = [&](const ReplyEffects &effects) {
        if (effects.identified)
            updates << QStringLiteral("up");
        for (int i = 0; i < effects.updateCount; ++i)
            updates << updateName(effects.updates[i]);
        return true;
    };
    if (cut < 0)
        cut = int(bytes.size());
    receiver.feed(std::string_view(bytes.constData(), std::size_t(cut)), sink);
    receiver.feed(std::string_view(bytes.constData() + cut, std::size_t(bytes.size() - cut)), sink);
    return updates;
}

QString bankSummary(const SharedState &state, int bank)
{
    const BankRecord record = state.bank(bank);
    return QStringLiteral("%1 %2 %3 %4 [%5]")
        .arg(record.bankNumber)
        .arg(QString::fromStdString(record.timerLetters))
        .arg(QString::fromStdString(record.switchLetters))
        .arg(double(record.current))
        .arg(QString::fromStdString(record.versionText));
}

} // namespace

class TestLinkState : public QObject
{
    Q_OBJECT

private slots:
    void freshTableHoldsResetValues()
    {
        const SharedState state;
        for (int bank = 0; bank < kBankRecordCount; ++bank)
            QCOMPARE(bankSummary(state, bank),
                     QStringLiteral("%1 GGGGGGGG CCCCCCCC 0 []").arg(bank));
        QCOMPARE(unguarded(state).link.replyBank, 1);
        QCOMPARE(state.bankCount(), 0);
    }

    void effects_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("bank");
        QTest::addColumn<QString>("record");
        QTest::addColumn<QStringList>("updates");

        QTest::newRow("switch letters") << QByteArray("/S01 CCOOCCCC\\") << 1
                                        << "1 GGGGGGGG CCOOCCCC 0 []" << QStringList { "2:1" };
        QTest::newRow("timer letters") << QByteArray("/S01 GGFGGGGG\\") << 1
                                       << "1 GGFGGGGG CCCCCCCC 0 []" << QStringList { "2:1" };
        QTest::newRow("full status") << QByteArray("/S02 GGGGGGGG OOOOCCCC 3.5\\") << 2
                                     << "2 GGGGGGGG OOOOCCCC 3.5 []" << QStringList { "3:2" };
        QTest::newRow("current only") << QByteArray("/C03 12.3\\") << 3
                                      << "3 GGGGGGGG CCCCCCCC 12.3 []" << QStringList { "1:3" };
        QTest::newRow("bad current keeps the value")
            << QByteArray("/C03 12.5\\/C03 x\\") << 3 << "3 GGGGGGGG CCCCCCCC 12.5 []"
            << QStringList { "1:3", "1:3" };
        QTest::newRow("version") << QByteArray("/V01 1203\\") << 1 << "1 GGGGGGGG CCCCCCCC 0 [1203]"
                                 << QStringList { "13:1" };
        QTest::newRow("letters cut to eight")
            << QByteArray("/S04 OOOOOOOOOOOO\\") << 4 << "4 GGGGGGGG OOOOOOOO 0 []"
            << QStringList { "2:4" };
        QTest::newRow("no bank number goes to the previous bank")
            << QByteArray("/C05 1.0\\/S CCCCCCCO\\") << 5 << "5 GGGGGGGG CCCCCCCO 1 []"
            << QStringList { "1:5", "2:5" };
        QTest::newRow("bank 17 dropped")
            << QByteArray("/S17 OOOOOOOO\\") << 17 << "17 GGGGGGGG CCCCCCCC 0 []" << QStringList {};
        QTest::newRow("bank 0 dropped")
            << QByteArray("/S00 OOOOOOOO\\") << 0 << "0 GGGGGGGG CCCCCCCC 0 []" << QStringList {};
        QTest::newRow("bank 99 version dropped")
            << QByteArray("/V99 1203\\") << 1 << "1 GGGGGGGG CCCCCCCC 0 []" << QStringList {};
        QTest::newRow("other banks untouched")
            << QByteArray("/S02 OOOOOOOO\\") << 1 << "1 GGGGGGGG CCCCCCCC 0 []"
            << QStringList { "2:2" };
        QTest::newRow("identify and loader lines")
            << QByteArray("/xyz\\Kavtron Loader V2\r\nCPU at 40 MHz\r\n") << 1
            << "1 GGGGGGGG CCCCCCCC 0 []" << QStringList { "up", "11:0", "11:0" };
        QTest::newRow("clock error and failure")
            << QByteArray("/err\\/abc\\") << 1 << "1 GGGGGGGG CCCCCCCC 0 []"
            << QStringList { "12:0", "10:0" };
    }

    // The same result whether the stream arrives whole or split anywhere.
    void effects()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, bank);
        QFETCH(QString, record);
        QFETCH(QStringList, updates);
        for (int cut = 0; cut <= bytes.size(); ++cut) {
            SharedState state;
            QCOMPARE(receive(state, bytes, cut), updates);
            QCOMPARE(bankSummary(state, bank), record);
        }
    }

    void bankCount_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("count");
        QTest::newRow("three") << QByteArray("/M3\\") << 3;
        QTest::newRow("no digits keeps the count") << QByteArray("/M3\\/Mx\\") << 3;
        QTest::newRow("above 16 clamped") << QByteArray("/M40\\") << 16;
        QTest::newRow("negative is none") << QByteArray("/M-2\\") << 0;
        QTest::newRow("overflow clamped") << QByteArray("/M99999999999999\\") << 16;
    }

    void bankCount()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, count);
        SharedState state;
        receive(state, bytes);
        QCOMPARE(state.bankCount(), count);
    }

    // The loader prompt switches to raw line ends until the closing "Version" line.
    void rawModeFollowsTheLoader()
    {
        SharedState state;
        const QByteArray stream(
            "Please send firmware image\r\n|\b/\b-\b\\\bVersion 1.2.4 loaded OK\n"
            "/M2\\");
        for (int cut = 0; cut <= stream.size(); ++cut) {
            SharedState fresh;
            QCOMPARE(receive(fresh, stream, cut),
                     (QStringList { "4:0", "7:0", "7:0", "7:0", "7:0", "5:0", "0:1" }));
            QCOMPARE(fresh.bankCount(), 2);
            QVERIFY(!unguarded(fresh).link.rawReceive);
        }
    }

    void twoWordCompletionLeavesRawMode()
    {
        SharedState state;
        QCOMPARE(receive(state, "Please send firmware image\r|\bUpload OK\n/xyz\\"),
                 (QStringList { "4:0", "7:0", "5:0", "up" }));
    }

    void successLeavesLoaderMode()
    {
        SharedState state;
        receive(state, "/abc\\");
        QVERIFY(state.loaderMode());
        receive(state, "/OK\\");
        QVERIFY(!state.loaderMode());
    }

    void lastLineIsEveryLine()
    {
        SharedState state;
        receive(state, "/M2\\/nothing we know\\");
        QCOMPARE(QString::fromStdString(state.lastLine()), QStringLiteral("nothing we know"));
    }

    // A set reply releases the head it answers; the receiver drops the last node itself and
    // asks the UI thread to send the next one otherwise.
    void queueAdvance_data()
    {
        QTest::addColumn<QStringList>("queue");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QStringList>("updates");
        QTest::addColumn<int>("left");

        const QString entry = QString::fromStdString(frames::scheduleEntry('T', 2, 3, 1, 0, 4, 30));
        const QString clear = QString::fromStdString(frames::scheduleClear(2, 3, 1));
        QTest::newRow("set answers the only node")
            << QStringList { entry } << QByteArray("/E0231\\") << QStringList { "6:1" } << 0;
        QTest::newRow("set answers the head of two")
            << QStringList { entry, clear } << QByteArray("/E0231\\")
            << QStringList { "9:0", "6:1" } << 2;
        QTest::newRow("set for another port waits")
            << QStringList { entry } << QByteArray("/E0241\\") << QStringList { "6:1" } << 1;
        QTest::newRow("port 1 always advances")
            << QStringList { entry } << QByteArray("/E0511\\") << QStringList { "6:4" } << 0;
        QTest::newRow("whole bank always advances")
            << QStringList { clear, entry } << QByteArray("/Q0700\\")
            << QStringList { "8:0", "6:6" } << 2;
        QTest::newRow("clear answers its head")
            << QStringList { clear } << QByteArray("/Q0231\\") << QStringList { "6:1" } << 0;
        QTest::newRow("clear with other selector waits")
            << QStringList { clear } << QByteArray("/Q0230\\") << QStringList { "6:1" } << 1;
        QTest::newRow("bank 17 ignored")
            << QStringList { entry } << QByteArray("/E1701\\") << QStringList {} << 1;
        QTest::newRow("port 9 ignored")
            << QStringList { entry } << QByteArray("/E0291\\") << QStringList {} << 1;
        QTest::newRow("empty queue")
            << QStringList {} << QByteArray("/E0231\\") << QStringList { "6:1" } << 0;
    }

    void queueAdvance()
    {
        QFETCH(QStringList, queue);
        QFETCH(QByteArray, reply);
        QFETCH(QStringList, updates);
        QFETCH(int, left);
        SharedState state;
        for (const QString &frame : queue)
            unguarded(state).transferQueue.push_back(frame.toStdString());
        QCOMPARE(receive(state, reply), updates);
        QCOMPARE(int(unguarded(state).transferQueue.size()), left);
    }

    void scheduleRepliesReachBothTables()
    {
        SharedState state;
        receive(state, "/M2\\/E0231\\");
        QCOMPARE(int(unguarded(state).schedules.committedOn[1][2].enabled), 1);
        QCOMPARE(int(unguarded(state).schedules.editorOn[1][2].enabled), 1);
        receive(state, "/Q0231\\");
        QCOMPARE(int(unguarded(state).schedules.committedOn[1][2].enabled), 0);
        QCOMPARE(int(unguarded(state).schedules.editorOn[1][2].enabled), 0);

        receive(state, "/T0110 002 30 15\\");
        const ScheduleEntry &off = unguarded(state).schedules.committedOff[0][0];
        QCOMPARE(off.mode, int(ModeAt));
        QCOMPARE(off.hour, 12);
        QCOMPARE(off.minute, 31);
        QCOMPARE(off.appliedSecond, 5);
        QCOMPARE(unguarded(state).schedules.editorOff[0][0], off);
    }

    void negativeEntryReportIgnored()
    {
        SharedState state;
        receive(state, "/T011-1 -5 00\\");
        QCOMPARE(unguarded(state).schedules.committedOn[0][0], ScheduleEntry {});
    }

    void linkResetForgetsTheKnownBanks()
    {
        SharedState state;
        receive(state,
                "/M5\\/S05 GGGGGGGG OOOOOOOO 2.5\\/V05 1203\\/E0511\\/abc\\Please send it now\r\n");
        unguarded(state).transferQueue.push_back("/Q0000\\");
        unguarded(state).link.pollCount = 7;
        state.resetLink();

        QCOMPARE(state.bankCount(), 0);
        QCOMPARE(bankSummary(state, 5), QStringLiteral("5 GGGGGGGG CCCCCCCC 0 []"));
        QCOMPARE(unguarded(state).schedules.committedOn[4][0], ScheduleEntry {});
        QVERIFY(unguarded(state).transferQueue.empty());
        QVERIFY(!state.loaderMode());
        QVERIFY(!unguarded(state).link.rawReceive);
        QCOMPARE(unguarded(state).link.pollCount, 0);
        QCOMPARE(unguarded(state).link.shownBankCount, 0);
    }
};

QTEST_APPLESS_MAIN(TestLinkState)
#include "tst_linkstate.moc"
