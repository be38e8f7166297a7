#include <QtTest>

#include "common/fakeserialport.h"
#include "common/scripteddialogs.h"
#include "common/settle.h"
#include "common/sharedstateaccess.h"
#include "eventwait.h"
#include "maintenance/clocksync.h"
#include "maintenance/firmwareupgrade.h"
#include "maintenance/maintenancemessages.h"

using namespace relaybox;
using namespace std::chrono_literals;
using relaybox::testing::FakeLine;
using relaybox::testing::locked;

namespace {

QByteArray imageBytes(int size)
{
    QByteArray bytes;
    for (int i = 0; i < size; ++i)
        bytes += char((i * 31 + 7) & 0xff);
    return bytes;
}

// The program's side of an upgrade on a line in memory, with everything it does towards the
// window, the operator and the switch written into one ordered list of events.
struct Fixture
{
    explicit Fixture(UpgradeTimings timings = {})
        : upgrade(state, link, dialogs, timings)
    {
        QObject::connect(&link, &LinkController::updateArrived, &upgrade,
                         &FirmwareUpgrade::handleUpdate);
        QObject::connect(&link, &LinkController::linkResetRequested, &upgrade,
                         &FirmwareUpgrade::linkReset);
        QObject::connect(&upgrade, &FirmwareUpgrade::flashingStopRequested,
                         [this] { flashing = false; });
        QObject::connect(&upgrade, &FirmwareUpgrade::flashingRestartRequested,
                         [this] { flashing = true; });
        QObject::connect(&upgrade, &FirmwareUpgrade::progressChanged,
                         [this](int percent) { progress << percent; });
        QObject::connect(&upgrade, &FirmwareUpgrade::logLineAppended,
                         [this](const QString &line) { note("log " + line); });
        QObject::connect(&upgrade, &FirmwareUpgrade::logCleared, [this] { note("clear log"); });
        QObject::connect(&upgrade, &FirmwareUpgrade::windowShowRequested, [this] { note("show"); });
        QObject::connect(&upgrade, &FirmwareUpgrade::windowCloseRequested,
                         [this] { note("close"); });
        dialogs.onMessage = [this] {
            note("box " + dialogs.messages.back());
        };
    }

    // A link that is up and polling, as when the operator chooses Upgrade.
    void linkUp()
    {
        QVERIFY(link.startLink("fake"));
        link.restartPolling();
        flashing = true;
        startFrames = framesNoted = line->written().size();
    }

    QString imageFile(int size)
    {
        const QString path = dir.filePath(QStringLiteral("image%1.x").arg(size));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(imageBytes(size));
        return path;
    }

    // Frames and bytes written since the link came up.
    std::vector<std::string> sent() const
    {
        const auto all = line->written();
        return { all.begin() + std::ptrdiff_t(std::min(startFrames, all.size())), all.end() };
    }

    QByteArray imageSent() const
    {
        QByteArray bytes;
        for (const std::string &write : sent())
            if (write.size() == 1)
                bytes += write[0];
        return bytes;
    }

    void note(const QString &event)
    {
        const auto all = line->written();
        for (; framesNoted < all.size(); ++framesNoted)
            if (all[framesNoted].size() > 1)
                events << "frame " + QString::fromStdString(all[framesNoted]);
        events << event;
    }

    bool loaderMode() const { return state.loaderMode(); }

    bool rawReceive() const
    {
        return locked(state, [](const StateValues &v) { return v.link.rawReceive; });
    }

    void prompt()
    {
        line->feed("Kavtron Loader V2\r\nSerial port 9600 8N1\r\nPlease send firmware image\r\n");
    }

    QTemporaryDir dir;
    SharedState state;
    FixedClock clock { LocalTime { 2026, 12, 7, 10, 0, 0, 2 } };
    testing::ScriptedDialogs dialogs;
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    LinkController link { state, clock, dialogs, testing::fakePortFactory(line) };
    FirmwareUpgrade upgrade;
    bool flashing = false;
    QList<int> progress;
    QStringList events;
    std::size_t startFrames = 0;
    std::size_t framesNoted = 0;
};

const QString kTooLarge = "Caution|" + kImageTooLargeMessage;
const QString kEmpty = "Caution|" + kImageEmptyMessage;
const QString kUnreadable = "Caution|" + kImageUnreadableMessage;
const QString kReload = "Caution|Please re-load Firmware Code";
const QString kFailure =
    "KESTRANE Relaybox Management|Firmware Failure! Please re-upgrade firmware";
const QString kTimeoutMessage = "|Upgrade timeout. \rPlease try again.";
const QString kCompleted = "|Firmware Upgrade Completed";

} // namespace

class TestFirmwareUpgrade : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<UiUpdate>(); }

    // The Upgrade command during a normal link: with an image the switch is told to start its
    // loader and polling stays stopped; without one (cancelled, or refused before anything is
    // sent) polling, the watchdog and flashing resume.
    void upgradeCommand_data()
    {
        QTest::addColumn<int>("size"); // -2: cancelled, -1: no such file
        QTest::addColumn<bool>("upgradeSent");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("1,000 bytes") << 1000 << true << QStringList {};
        QTest::newRow("65,535 bytes") << 65535 << true << QStringList {};
        QTest::newRow("cancelled") << -2 << false << QStringList {};
        QTest::newRow("65,536 bytes") << 65536 << false << QStringList { kTooLarge };
        QTest::newRow("empty") << 0 << false << QStringList { kEmpty };
        QTest::newRow("unreadable") << -1 << false << QStringList { kUnreadable };
    }

    void upgradeCommand()
    {
        QFETCH(int, size);
        QFETCH(bool, upgradeSent);
        QFETCH(QStringList, messages);
        Fixture f;
        f.linkUp();
        if (size == -2)
            f.dialogs.files.push_back(std::nullopt);
        else if (size == -1)
            f.dialogs.files.push_back(f.dir.filePath("missing.x"));
        else
            f.dialogs.files.push_back(f.imageFile(size));

        f.upgrade.Upgrade1Click();

        QCOMPARE(f.dialogs.filters(), QStringList { "x files(*.x)|*.x" });
        QCOMPARE(f.sent(),
                 upgradeSent ? std::vector<std::string> { "/UPGRADE\\" }
                             : std::vector<std::string> {});
        QCOMPARE(f.dialogs.messages, messages);
        for (const MessageIcon icon : f.dialogs.icons)
            QCOMPARE(icon, MessageIcon::Error);
        QCOMPARE(f.link.tmQuery().isActive(), !upgradeSent);
        QCOMPARE(f.link.tmOpenComError().isActive(), !upgradeSent);
        QCOMPARE(f.flashing, !upgradeSent);
        QCOMPARE(f.upgrade.session().length(), upgradeSent ? size : 0);
        QVERIFY(f.link.isPortOpen());
    }

    // A 1,000-byte image: 20 bytes at the prompt, then one byte per spinner; the bar is 100 after
    // the 980th; later spinners send nothing and only restart the time-out.
    void uploadsByteByByte_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("spinners");
        QTest::addColumn<QList<int>>("lastProgress");
        QTest::newRow("1,000 bytes") << 1000 << 980 << QList<int> { 99, 99, 100 };
        QTest::newRow("10 bytes") << 10 << 0 << QList<int> { 0 };
        QTest::newRow("21 bytes") << 21 << 1 << QList<int> { 0, 100 };
    }

    void uploadsByteByByte()
    {
        QFETCH(int, size);
        QFETCH(int, spinners);
        QFETCH(QList<int>, lastProgress);
        Fixture f;
        f.linkUp();
        f.dialogs.files.push_back(f.imageFile(size));
        f.upgrade.Upgrade1Click();
        f.prompt();
        QTRY_COMPARE(f.imageSent().size(), 20);
        QCOMPARE(f.events,
                 (QStringList { "frame /UPGRADE\\", "log Kavtron Loader V2",
                                "log Serial port 9600 8N1", "show" }));
        QCOMPARE(f.progress, QList<int> { 0 });
        QVERIFY(f.upgrade.tmUpgradeTimeOut().isActive());

        QByteArray spins;
        for (int i = 0; i < spinners; ++i)
            spins += "|\b";
        f.line->feed(spins.toStdString());
        const int total = std::max(size, 20);
        QVERIFY(runUntil([&] { return f.imageSent().size() == total; }, 20s));
        QCOMPARE(f.progress.size(), spinners + 1);
        QCOMPARE(f.progress.mid(f.progress.size() - lastProgress.size()), lastProgress);

        // Every write is one byte; the image first, zero bytes after a short one.
        QByteArray expected = imageBytes(size);
        expected.append(QByteArray(std::max(0, 20 - size), '\0'));
        QCOMPARE(f.imageSent(), expected);
        QCOMPARE(f.sent().size(), std::size_t(1 + expected.size()));

        f.line->feed("/\b-\b\\\b");
        QTRY_VERIFY(f.upgrade.tmUpgradeTimeOut().isActive());
        testing::settle(50ms);
        QCOMPARE(f.imageSent(), expected);
        QCOMPARE(f.progress.size(), spinners + 1);
    }

    // The completion's steps, in their order; the box comes after the schedules were cleared and
    // the versions marked, and before the window closes.
    void completionSteps()
    {
        Fixture f;
        f.linkUp();
        f.line->feed("/M2\\");
        QTRY_COMPARE(f.state.bankCount(), 2);
        locked(f.state, [](StateValues &v) {
            v.schedules.committedOn[0][3].enabled = 1;
            v.schedules.editorOff[1][7].enabled = 1;
            v.schedules.committedOn[2][0].enabled = 1; // bank 3 is not in the chain
            v.banks[1].versionText = "1203";
            v.banks[2].versionText = "1203";
            v.link.loaderMode = true;
        });
        f.dialogs.files.push_back(f.imageFile(30));
        f.upgrade.Upgrade1Click();
        f.prompt();
        QTRY_COMPARE(f.imageSent().size(), 20);
        f.line->feed("|\b");
        QTRY_VERIFY(f.upgrade.tmUpgradeTimeOut().isActive());
        f.events.clear();

        bool clearedAtBox = false;
        f.dialogs.onMessage = [&] {
            f.note("box " + f.dialogs.messages.back());
            clearedAtBox = locked(f.state,
                                  [](StateValues &v) {
                                      const ScheduleTables &tables = v.schedules;
                                      return !tables.committedOn[0][3].enabled
                                          && !tables.editorOff[1][7].enabled
                                          && tables.committedOn[2][0].enabled
                                          && v.banks[1].versionText == "Wait a minute"
                                          && v.banks[2].versionText == "Wait a minute";
                                  })
                && !f.upgrade.tmUpgradeTimeOut().isActive();
        };
        f.line->feed("Version 1.2.4 loaded OK\n");
        QTRY_COMPARE(f.events.size(), 6);
        f.note("end");
        QCOMPARE(f.events,
                 (QStringList { "log Version 1.2.4 loaded OK", "frame /uni\\",
                                "box |Firmware Upgrade Completed", "close", "frame /VER\\",
                                "clear log", "frame /VER\\", "frame /EN001\\", "end" }));
        QCOMPARE(f.dialogs.icons.back(), MessageIcon::None);
        QVERIFY(clearedAtBox);
        const LinkVariables link = locked(f.state, [](StateValues &v) { return v.link; });
        QVERIFY(!link.linkAnnounced);
        QCOMPARE(link.pollCount, 0);
        QVERIFY(!link.rawReceive);
        QVERIFY(!link.loaderMode);
    }

    // The loader reports a failure: the message, the file dialog again, and a cancelled repair
    // ends the link a moment after "Please re-load Firmware Code".
    void failureThenCancelClosesTheLink()
    {
        Fixture f({ 10s, 100ms });
        f.linkUp();
        f.dialogs.files.push_back(std::nullopt);
        f.line->feed("/Fail\\");
        QTRY_COMPARE(f.dialogs.messages.size(), 2);
        QCOMPARE(f.dialogs.messages, (QStringList { kFailure, kReload }));
        QCOMPARE(f.dialogs.icons, (std::vector { MessageIcon::None, MessageIcon::Error }));
        QCOMPARE(f.dialogs.filters(), QStringList { kFirmwareFilter });
        QVERIFY(f.link.isPortOpen()); // the link waits before it ends
        // What the loader says meanwhile is dropped.
        f.line->feed("/abc\\");
        QTRY_VERIFY(!f.link.isPortOpen());
        QCOMPARE(f.dialogs.messages.size(), 2);
        QVERIFY(!f.loaderMode()); // link reset
        QVERIFY(!f.link.tmQuery().isActive());
        QVERIFY(f.sent().empty());
    }

    // A refused image during a repair ends the link like a cancelled one.
    void failureThenRefusedImage()
    {
        Fixture f({ 10s, 20ms });
        f.linkUp();
        f.dialogs.files.push_back(f.imageFile(0));
        f.line->feed("/abc\\");
        QTRY_VERIFY(!f.link.isPortOpen());
        QCOMPARE(f.dialogs.messages, (QStringList { kFailure, kEmpty, kReload }));
        QVERIFY(f.sent().empty());
    }

    // The repair path: after the failure the operator picks an image; nothing is sent until the
    // loader prompts by itself.
    void failureThenImageWaitsForTheLoader()
    {
        Fixture f;
        f.linkUp();
        f.dialogs.files.push_back(f.imageFile(25));
        f.line->feed("/Fail\\");
        QTRY_COMPARE(f.upgrade.session().length(), 25);
        QVERIFY(f.sent().empty());
        QVERIFY(!f.link.tmQuery().isActive());
        f.prompt();
        QTRY_COMPARE(f.imageSent().size(), 20);
        f.line->feed("|\b|\b|\b|\b|\b");
        QTRY_COMPARE(f.imageSent(), imageBytes(25));
    }

    // A failure during an upload stops the time-out: the operator may take their time.
    void failureStopsTheTimeout()
    {
        Fixture f({ 200ms, 100ms });
        f.linkUp();
        f.dialogs.files.push_back(f.imageFile(100));
        f.upgrade.Upgrade1Click();
        f.prompt();
        QTRY_COMPARE(f.imageSent().size(), 20);
        f.line->feed("|\b");
        QTRY_VERIFY(f.upgrade.tmUpgradeTimeOut().isActive());
        f.dialogs.files.push_back(f.imageFile(100));
        f.line->feed("Fail\n");
        QTRY_COMPARE(f.dialogs.messages, QStringList { kFailure });
        QVERIFY(!f.upgrade.tmUpgradeTimeOut().isActive());
        testing::settle(300ms);
        QVERIFY(f.link.isPortOpen());
        QCOMPARE(f.dialogs.messages.size(), 1);
    }

    void timeoutClosesWindowAndLink()
    {
        Fixture f({ 100ms, 100ms });
        f.linkUp();
        f.dialogs.files.push_back(f.imageFile(100));
        f.upgrade.Upgrade1Click();
        f.prompt();
        QTRY_COMPARE(f.imageSent().size(), 20);
        f.events.clear();
        f.line->feed("|\b");
        QTRY_VERIFY(!f.link.isPortOpen());
        QCOMPARE(f.events, (QStringList { "box |Upgrade timeout. \rPlease try again.", "close" }));
        QCOMPARE(f.dialogs.icons, std::vector { MessageIcon::Error });
        QCOMPARE(f.state.bankCount(), 0);
        QVERIFY(!f.upgrade.uploading());
    }

    // The line goes dead right after the burst: no byte request ever comes, and polling is off,
    // so only the time-out can end the upgrade, whether the burst held the whole image or not.
    void silentAfterTheBurstTimesOut_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("100 bytes") << 100;
        QTest::newRow("20 bytes") << 20;
        QTest::newRow("10 bytes") << 10;
    }

    void silentAfterTheBurstTimesOut()
    {
        QFETCH(int, size);
        Fixture f({ 100ms, 100ms });
        f.linkUp();
        f.dialogs.files.push_back(f.imageFile(size));
        f.upgrade.Upgrade1Click();
        f.prompt();
        QTRY_VERIFY(!f.link.isPortOpen());
        QCOMPARE(f.dialogs.messages, QStringList { "|Upgrade timeout. \rPlease try again." });
    }

    // While the time-out or the failure box is open a clock set falls due: the loader may only
    // be slow, or takes any frame for image bytes, so the set waits for the firmware. Nothing
    // but the image goes to the loader.
    void clockSetWaitsForTheFirmware_data()
    {
        QTest::addColumn<bool>("loaderFails");
        QTest::newRow("upgrade timeout") << false;
        QTest::newRow("firmware failure") << true;
    }

    void clockSetWaitsForTheFirmware()
    {
        QFETCH(bool, loaderFails);
        Fixture f({ 200ms, 100ms });
        ClockSync clock(f.state, f.link, f.clock, f.dialogs, [] { return true; },
                        { 20ms, 20ms, 10ms });
        QObject::connect(&f.link, &LinkController::linkResetRequested, &clock, &ClockSync::stop);
        f.linkUp();
        f.dialogs.files.push_back(f.imageFile(100));
        f.upgrade.Upgrade1Click();
        f.prompt();
        QTRY_COMPARE(f.imageSent().size(), 20);
        clock.mlStartSetRTC_PeriodClick(); // falls due during the upload, then every 20 ms
        // The operator takes a moment over each box.
        f.dialogs.onMessage = [] {
            QTest::qWait(150);
        };
        if (loaderFails)
            f.line->feed("Fail\n");
        QTRY_VERIFY_WITH_TIMEOUT(!f.link.isPortOpen(), 5000);
        QCOMPARE(f.dialogs.messages.first(), loaderFails ? kFailure : kTimeoutMessage);
        for (const std::string &write : f.sent())
            QVERIFY2(write.size() == 1 || write == "/UPGRADE\\", write.c_str());
    }

    // What the loader said while the failure box was open (a completion line, a second failure)
    // is not the repair's outcome: the repair waits for the prompt and ends with its own image.
    void repairIgnoresWhatCameBeforeIt()
    {
        Fixture f;
        f.linkUp();
        f.dialogs.files.push_back(f.imageFile(25));
        f.dialogs.onMessage = [&] {
            if (f.dialogs.messages.size() == 1)
                f.line->feed("Version 1.2.4 loaded OK\nFail\n");
        };
        f.line->feed("/Fail\\");
        QTRY_COMPARE(f.upgrade.session().length(), 25);
        f.prompt(); // read after the lines that queued

        QTRY_COMPARE(f.imageSent().size(), 20);
        f.line->feed("|\b|\b|\b|\b|\bVersion 1.2.4 loaded OK\n");
        QTRY_COMPARE(f.dialogs.messages, (QStringList { kFailure, kCompleted }));
        QCOMPARE(f.imageSent(), imageBytes(25));
    }

    // A schedule reply during the upload leaves the Transfer queue as it is (its next frame could
    // not go out), and the completed upgrade, which clears the timers, empties it.
    void transferQueueEndsWithTheUpgrade()
    {
        Fixture f;
        f.linkUp();
        locked(f.state, [](StateValues &v) {
            v.transferQueue = { "/Q0111\\", "/T0121 0010000\\" };
        });
        f.dialogs.files.push_back(f.imageFile(21));
        f.upgrade.Upgrade1Click();
        f.line->feed("/Q0111\\"); // the switch answers the head before its loader starts
        f.prompt();
        QTRY_COMPARE(f.imageSent().size(), 20);
        const auto queued = [&] {
            return locked(f.state, [](StateValues &v) { return v.transferQueue.size(); });
        };
        QCOMPARE(queued(), std::size_t(2));
        f.line->feed("|\bVersion 1.2.4 loaded OK\n");
        QTRY_COMPARE(f.dialogs.messages, QStringList { kCompleted });
        QCOMPARE(queued(), std::size_t(0));
    }

    void linkResetStopsTheTimeout()
    {
        Fixture f;
        f.linkUp();
        f.dialogs.files.push_back(f.imageFile(100));
        f.upgrade.Upgrade1Click();
        f.prompt();
        QTRY_COMPARE(f.imageSent().size(), 20);
        f.line->feed("|\b");
        QTRY_VERIFY(f.upgrade.tmUpgradeTimeOut().isActive());
        f.link.closeLink();
        QVERIFY(!f.upgrade.tmUpgradeTimeOut().isActive());
        QVERIFY(!f.upgrade.uploading());
    }

    // An image serves only the link and the upload it was chosen for: after completion, the
    // failure path or a new link, a loader that prompts and asks for bytes gets nothing. A second
    // Upgrade during the upload is ignored (it would restart the image from its first byte).
    void imageServesOnlyItsUpload_data()
    {
        QTest::addColumn<QString>("end");
        QTest::newRow("completed") << "completed";
        QTest::newRow("loader failed, repair cancelled") << "failed";
        QTest::newRow("new link") << "new link";
    }

    void imageServesOnlyItsUpload()
    {
        QFETCH(QString, end);
        Fixture f({ 10s, 20ms });
        f.linkUp();
        f.dialogs.files.push_back(f.imageFile(25));
        f.upgrade.Upgrade1Click();
        f.prompt();
        QTRY_COMPARE(f.imageSent().size(), 20);
        f.upgrade.Upgrade1Click();
        QCOMPARE(f.dialogs.filters().size(), 1);
        if (end == "completed") {
            f.line->feed("|\b|\b|\b|\b|\b");
            QTRY_COMPARE(f.imageSent(), imageBytes(25));
            f.line->feed("Version 1.2.4 loaded OK\n");
            QTRY_COMPARE(f.dialogs.messages, QStringList { "|Firmware Upgrade Completed" });
            f.startFrames = f.line->written().size();
            f.line->feed("/abc\\"); // the switch falls back to its loader; no image is chosen
            QTRY_COMPARE(f.dialogs.messages.size(), 3);
            f.linkUp();
        } else if (end == "failed") {
            f.line->feed("Fail\n");
            QTRY_VERIFY(!f.link.isPortOpen());
            // The cancelled repair leaves no Upgrade Process window behind.
            QCOMPARE(f.events.mid(f.events.indexOf("show")).last(), "close");
            f.linkUp();
        } else {
            f.link.closeLink();
            f.linkUp();
        }
        locked(f.state, [](StateValues &v) { v.link.loaderMode = true; });
        f.prompt();
        f.line->feed("|\b|\b|\b");
        testing::settle(100ms);
        QVERIFY(f.sent().empty());
        QVERIFY(!f.link.uploadHoldsLine());
        QVERIFY(!f.upgrade.tmUpgradeTimeOut().isActive());
    }

    // Loader lines outside an upload: a prompt without an image and a stray spinner send
    // nothing and start no time-out.
    void loaderLinesWithoutAnUpload()
    {
        Fixture f;
        f.linkUp();
        f.line->feed("Please send firmware image\r|\b");
        QTRY_VERIFY(f.rawReceive());
        testing::settle(50ms);
        QVERIFY(f.sent().empty());
        QVERIFY(f.events.isEmpty());
        QVERIFY(!f.upgrade.tmUpgradeTimeOut().isActive());
    }
};

QTEST_MAIN(TestFirmwareUpgrade)
#include "tst_firmwareupgrade.moc"
