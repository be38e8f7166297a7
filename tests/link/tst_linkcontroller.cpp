#include <QSignalSpy>
#include <QtTest>

#include "common/fakeserialport.h"
#include "common/scripteddialogs.h"
#include "common/settle.h"
#include "common/sharedstateaccess.h"
#include "link/frames.h"
#include "link/linkcontroller.h"

using namespace relaybox;
using namespace std::chrono_literals;
using relaybox::testing::FakeLine;
using relaybox::testing::locked;
using relaybox::testing::unguarded;

Q_DECLARE_METATYPE(relaybox::UpdateKind)
Q_DECLARE_METATYPE(relaybox::UiUpdate)

namespace {

QStringList toList(const std::vector<std::string> &frames)
{
    QStringList list;
    for (const std::string &frame : frames)
        list << QString::fromStdString(frame);
    return list;
}

} // namespace

class TestLinkController : public QObject
{
    Q_OBJECT

    struct Fixture
    {
        SharedState state;
        FixedClock clock { LocalTime { 2026, 12, 7, 10, 0, 0, 2 } };
        testing::ScriptedDialogs dialogs;
        std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
        LinkController link { state, clock, dialogs, testing::fakePortFactory(line) };
    };

private slots:
    void initTestCase()
    {
        qRegisterMetaType<UpdateKind>();
        qRegisterMetaType<UiUpdate>();
    }

    void startLinkSendsIdentifyAndAnnouncement_data()
    {
        QTest::addColumn<bool>("restore");
        QTest::addColumn<bool>("loader");
        QTest::addColumn<QStringList>("frames");
        QTest::newRow("restore on")
            << true << false << QStringList { "/uni\\", "/VER\\", "/EN001\\" };
        QTest::newRow("restore off")
            << false << false << QStringList { "/uni\\", "/VER\\", "/DS001\\" };
        QTest::newRow("loader") << true << true << QStringList { "/uni\\" };
    }

    void startLinkSendsIdentifyAndAnnouncement()
    {
        QFETCH(bool, restore);
        QFETCH(bool, loader);
        QFETCH(QStringList, frames);
        Fixture f;
        unguarded(f.state).link.loaderMode = loader;
        f.link.setRestoreStatusSource([restore] { return restore; });
        QVERIFY(f.link.startLink("fake"));
        QCOMPARE(toList(f.line->written()), frames);
        const LinkVariables link = locked(f.state, [](StateValues &v) { return v.link; });
        QVERIFY(link.rtcWarningArmed);
        QVERIFY(link.firstClockSet);
        QVERIFY(!link.linkAnnounced);
    }

    void failedOpenStartsNothing()
    {
        Fixture f;
        f.line->refuseOpen = true;
        QVERIFY(!f.link.startLink("fake"));
        QVERIFY(!f.link.isPortOpen());
        QVERIFY(f.line->written().empty());
    }

    // A switch (or loader) found by the probe that then never answers Identify must not leave a
    // half-open link behind; the loader's "abc" answer hands over to the upgrade instead.
    void watchdogGuardsTheIdentifyWait_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("lost");
        QTest::newRow("silent") << QByteArray() << true;
        QTest::newRow("loader answers") << QByteArray("/abc\\") << false;
    }

    void watchdogGuardsTheIdentifyWait()
    {
        QFETCH(QByteArray, answer);
        QFETCH(bool, lost);
        Fixture f;
        LinkController link { f.state, f.clock, f.dialogs, testing::fakePortFactory(f.line),
                              LinkTimings { std::chrono::milliseconds(10),
                                            std::chrono::milliseconds(5000),
                                            std::chrono::milliseconds(100) } };
        QSignalSpy updates(&link, &LinkController::updateArrived);
        QVERIFY(link.startLink("fake"));
        QVERIFY(link.tmOpenComError().isActive());
        if (!answer.isEmpty()) {
            f.line->feed(answer.toStdString());
            QTRY_COMPARE(updates.count(), 1);
        }
        if (lost)
            QTRY_VERIFY(!link.isPortOpen());
        else
            testing::settle(300ms);
        QCOMPARE(link.isPortOpen(), !lost);
        QCOMPARE(f.dialogs.messages,
                 lost ? QStringList { "|" + kLinkLostMessage } : QStringList {});
    }

    void identifyAnswerStartsPolling()
    {
        Fixture f;
        QSignalSpy up(&f.link, &LinkController::linkUp);
        f.link.startLink("fake");
        f.line->feed("/xyz\\");
        QTRY_COMPARE(up.count(), 1);
        QVERIFY(f.state.linkUp());
        // The first poll, 10 ms later, settles the rhythm and arms the watchdog.
        QTRY_VERIFY(toList(f.line->written()).contains("/C\\"));
        QCOMPARE(f.link.tmQuery().interval(), 5000);
        QVERIFY(f.link.tmQuery().isActive());
        QVERIFY(f.link.tmOpenComError().isActive());
    }

    void identifyAnswerPollsAfterTenMilliseconds()
    {
        Fixture f;
        int interval = 0;
        connect(&f.link, &LinkController::linkUp, &f.link, [&] {
            QTimer::singleShot(0, &f.link, [&] { interval = f.link.tmQuery().interval(); });
        });
        f.link.startLink("fake");
        f.line->feed("/xyz\\");
        QTRY_COMPARE(interval, 10);
    }

    void sixthPollAnnouncesAgain()
    {
        Fixture f;
        f.link.startLink("fake");
        for (int poll = 0; poll < 6; ++poll)
            f.link.tmQueryTimer();
        QCOMPARE(toList(f.line->written()),
                 (QStringList { "/uni\\", "/VER\\", "/EN001\\", "/C\\", "/C\\", "/C\\", "/C\\",
                                "/C\\", "/VER\\", "/EN001\\", "/C\\" }));
        f.link.tmQueryTimer();
        QCOMPARE(f.line->written().size(), std::size_t(12));
    }

    void statusRepliesReachTheState()
    {
        Fixture f;
        QSignalSpy counts(&f.link, &LinkController::bankCountChanged);
        QSignalSpy refreshes(&f.link, &LinkController::panelRefresh);
        f.link.startLink("fake");
        f.link.tmOpenComError().start();
        // The first update after a new count only lays the window out.
        f.line->feed("/M3\\/S02 GGGGGGGG OOCCOOCC 4.5\\/C03 1.5\\");
        QTRY_COMPARE(refreshes.count(), 2);
        QCOMPARE(counts.count(), 1);
        QCOMPARE(counts.at(0).at(0).toInt(), 0);
        QCOMPARE(counts.at(0).at(1).toInt(), 3);
        QCOMPARE(refreshes.at(0).at(0).value<UpdateKind>(), UpdateKind::FullStatus);
        QCOMPARE(refreshes.at(0).at(1).toInt(), 2);
        QCOMPARE(refreshes.at(1).at(0).value<UpdateKind>(), UpdateKind::Current);
        QCOMPARE(f.state.bank(2).switchLetters, std::string("OOCCOOCC"));
        QCOMPARE(locked(f.state, [](StateValues &v) { return v.link.shownBankCount; }), 3);
        QVERIFY(!f.link.tmOpenComError().isActive());
    }

    void fewerBanksResetTheVanishedOnes()
    {
        Fixture f;
        QSignalSpy counts(&f.link, &LinkController::bankCountChanged);
        f.link.startLink("fake");
        f.line->feed("/M5\\/S05 GGGGGGGG OOOOOOOO 2.0\\/E0511\\/M2\\/S01 CCCCCCCC\\");
        QTRY_COMPARE(counts.count(), 2);
        QCOMPARE(counts.at(1).at(0).toInt(), 5);
        QCOMPARE(counts.at(1).at(1).toInt(), 2);
        QCOMPARE(f.state.bank(5).switchLetters, std::string("CCCCCCCC"));
        QCOMPARE(
            locked(f.state, [](StateValues &v) { return v.schedules.committedOn[4][0].enabled; }),
            std::uint8_t(0));
    }

    void watchdogLosesTheLinkOnce()
    {
        Fixture f;
        QSignalSpy hidden(&f.link, &LinkController::hidePanelsRequested);
        QSignalSpy dialogs(&f.link, &LinkController::dialogsCloseRequested);
        QSignalSpy resets(&f.link, &LinkController::linkResetRequested);
        QSignalSpy closed(&f.link, &LinkController::portClosed);
        f.link.startLink("fake");
        f.line->feed("/xyz\\/M2\\");
        QTRY_VERIFY(f.state.linkUp());
        f.link.tmOpenComErrorTimer();
        QCOMPARE(f.dialogs.messages, QStringList { "|" + kLinkLostMessage });
        QCOMPARE(hidden.count(), 1);
        QCOMPARE(dialogs.count(), 1);
        QCOMPARE(resets.count(), 1);
        QCOMPARE(closed.count(), 1);
        QVERIFY(!f.link.isPortOpen());
        QVERIFY(!f.state.linkUp());
        QCOMPARE(f.state.bankCount(), 0);
        QVERIFY(!f.link.tmQuery().isActive());
        QVERIFY(!f.link.tmOpenComError().isActive());
    }

    // The UI thread ends the link while the worker waits for it: neither may wait for the other.
    void closeFromInsideAnUpdate()
    {
        Fixture f;
        connect(&f.link, &LinkController::panelRefresh, &f.link, [&] { f.link.closeLink(); });
        f.link.startLink("fake");
        f.line->feed("/M1\\/S01 OOOOOOOO\\/S01 CCCCCCCC\\/S01 OOOOOOOO\\");
        QTRY_VERIFY(!f.link.isPortOpen());
        QCOMPARE(f.state.bankCount(), 0);
    }

    void disconnectWhileIdle()
    {
        Fixture f;
        QSignalSpy hidden(&f.link, &LinkController::hidePanelsRequested);
        f.link.closeLink();
        QCOMPARE(hidden.count(), 1);
        f.link.startLink("fake");
        f.link.closeLink();
        QVERIFY(!f.link.isPortOpen());
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    // A hung-up line fails every wait at once; the worker must not spin on it.
    void hangUpDoesNotSpin()
    {
        Fixture f;
        f.link.startLink("fake");
        f.line->hangUp();
        testing::settle(500ms);
        QVERIFY2(f.line->waits() <= 15, qPrintable(QString::number(f.line->waits())));
        f.link.closeLink();
    }

    void transferQueueAdvancesOnReplies()
    {
        Fixture f;
        f.link.startLink("fake");
        const std::string first = frames::scheduleEntry('T', 2, 3, 1, 0, 4, 30);
        const std::string second = frames::scheduleClear(2, 4, 1);
        locked(f.state, [&](StateValues &v) {
            v.link.bankCount = v.link.shownBankCount = 2;
            v.transferQueue = { first, second };
        });
        f.line->feed("/E0231\\");
        QTRY_VERIFY(toList(f.line->written()).contains(QString::fromStdString(second)));
        const auto queued = [&] {
            return locked(f.state, [](StateValues &v) { return v.transferQueue.size(); });
        };
        QCOMPARE(queued(), std::size_t(1));
        f.line->feed("/Q0241\\");
        QTRY_COMPARE(queued(), std::size_t(0));
    }

    // What the UI thread discards while it handles a line includes what the worker already holds.
    void purgeDropsBytesAlreadyRead()
    {
        Fixture f;
        QList<UpdateKind> kinds;
        connect(&f.link, &LinkController::updateArrived, &f.link, [&](UiUpdate update) {
            kinds << update.kind;
            if (update.kind == UpdateKind::LoaderPrompt)
                f.link.purgeInput();
        });
        f.link.startLink("fake");
        f.line->feed("Please send firmware image\r|\b|\b");
        QTRY_COMPARE(kinds.size(), 1);
        testing::settle(50ms);
        QCOMPARE(kinds, QList<UpdateKind> { UpdateKind::LoaderPrompt });
        f.line->feed("|\b");
        QTRY_COMPARE(kinds.size(), 2);
        QCOMPARE(kinds.at(1), UpdateKind::Spinner);
    }
};

QTEST_MAIN(TestLinkController)
#include "tst_linkcontroller.moc"
