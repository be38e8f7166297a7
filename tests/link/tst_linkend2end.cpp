#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QtTest>

#include <atomic>
#include <fcntl.h>
#include <random>

#include "common/scripteddialogs.h"
#include "common/settle.h"
#include "common/sharedstateaccess.h"
#include "common/simhelpers.h"
#include "link/linkcontroller.h"
#include "link/probe.h"
#include "link/tform3.h"
#include "platform/pseudoterminal.h"

using namespace relaybox;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(relaybox::UpdateKind)

namespace {

constexpr SerialTimeouts kQuickProbe { 0, 0, 300, 0, 1000 };

struct LinesLog final : ProbeLog
{
    void append(const std::string &line) override { lines << QString::fromStdString(line); }
    void replaceLast(const std::string &line) override
    {
        lines.removeLast();
        append(line);
    }
    QStringList lines;
};

const QString kOpenPass = "Open                                   PASS";
const QString kSetupPass = "Setup                                  PASS";
const QString kDetectPass = "Detect KESTRANE Relaybox ............  PASS";
const QString kDetectFail = "Detect KESTRANE Relaybox ............  FAIL";
const QString kClosePass = "Close                                  PASS";

// A link controller of its own, with the timers a test gives it.
struct Link
{
    explicit Link(LinkTimings timings = {})
        : link(state, clock, dialogs, makeSerialPort, timings)
    { }

    SharedState state;
    FixedClock clock;
    testing::ScriptedDialogs dialogs;
    LinkController link;
};

LinkTimings shortWatchdog(std::chrono::milliseconds watchdog)
{
    LinkTimings timings;
    timings.poll = 100ms;
    timings.watchdog = watchdog;
    return timings;
}

} // namespace

class TestLinkEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<UpdateKind>(); }

    void probeFindsThreeBanksAndTheirVersions()
    {
        auto device = testing::banks(3);
        device.version = "1234";
        auto simulated = testing::startSwitch(device);
        QVERIFY(simulated);
        SharedState state;
        LinesLog log;
        auto port = makeSerialPort();
        QVERIFY(probePort(*port, simulated->path(), log, state, kQuickProbe));
        QCOMPARE(log.lines, (QStringList { kOpenPass, kSetupPass, kDetectPass }));
        for (int bank = 1; bank <= 3; ++bank)
            QCOMPARE(state.bank(bank).versionText, std::string("1234"));
        QCOMPARE(state.bank(4).versionText, std::string());
        QVERIFY(!state.loaderMode());
        QCOMPARE(testing::receivedFrames(*simulated), (QStringList { "/uni\\", "/VER\\" }));
    }

    void probeOfASilentPortFails()
    {
        auto device = testing::banks(1);
        device.silent = true;
        auto simulated = testing::startSwitch(device);
        QVERIFY(simulated);
        SharedState state;
        LinesLog log;
        auto port = makeSerialPort();
        QElapsedTimer timer;
        timer.start();
        // The real two-second limit, once.
        QVERIFY(!probePort(*port, simulated->path(), log, state));
        QVERIFY2(timer.elapsed() >= 1900 && timer.elapsed() < 4000,
                 qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(log.lines, (QStringList { kOpenPass, kSetupPass, kDetectFail, kClosePass }));
    }

    void probeOfGarbageFails()
    {
        auto simulated = testing::startSwitch(testing::banks(1));
        QVERIFY(simulated);
        simulated->command("silent on");
        SharedState state;
        LinesLog log;
        auto port = makeSerialPort();
        // Something answers, but not with the switch's five bytes.
        std::thread noise([&] {
            // While the probe waits for the answer to its first frame.
            simulated->waitForLine(
                [](const std::string &line) {
                    return line.find(" RX /uni\\") != std::string::npos;
                },
                5000ms);
            simulated->command("raw 2f78797a7a5c");
        });
        const bool found = probePort(*port, simulated->path(), log, state, kQuickProbe);
        noise.join();
        QVERIFY(!found);
        QCOMPARE(log.lines, (QStringList { kOpenPass, kSetupPass, kDetectFail, kClosePass }));
    }

    void probeFindsTheLoader()
    {
        auto device = testing::banks(2);
        device.loader = true;
        auto simulated = testing::startSwitch(device);
        QVERIFY(simulated);
        SharedState state;
        LinesLog log;
        auto port = makeSerialPort();
        QVERIFY(probePort(*port, simulated->path(), log, state, kQuickProbe));
        QCOMPARE(log.lines, (QStringList { kOpenPass, kSetupPass, kDetectPass }));
        QVERIFY(state.loaderMode());
        QCOMPARE(testing::receivedFrames(*simulated), QStringList { "/uni\\" });
    }

    // A device that answers and then sends without end, slowly enough that only time ends the
    // probe's reading, or so fast that the byte count does.
    void probeOfANoisyDeviceEnds_data()
    {
        QTest::addColumn<int>("pauseMs");
        QTest::newRow("at about line rate") << 70;
        QTest::newRow("as fast as it can") << 0;
    }

    void probeOfANoisyDeviceEnds()
    {
        QFETCH(int, pauseMs);
        PseudoTerminal terminal;
        QVERIFY(terminal.isValid());
        std::atomic<bool> stop = false;
        std::thread device([&] {
            while (!stop && terminal.receive(5, 50) != "/uni\\") { }
            terminal.send("/xyz\\");
            // A blocking write would hang here for good once the probe stops reading.
            ::fcntl(terminal.master(), F_SETFL, ::fcntl(terminal.master(), F_GETFL) | O_NONBLOCK);
            std::mt19937 random(7);
            std::string noise(64, ' ');
            while (!stop) {
                for (char &byte : noise)
                    byte = char(random());
                pollfd writable { terminal.master(), POLLOUT, 0 };
                if (::poll(&writable, 1, 20) > 0) [[maybe_unused]]
                    const auto sent = ::write(terminal.master(), noise.data(), noise.size());
                terminal.receive(4096, pauseMs); // keeps the port's output flowing
            }
        });
        SharedState state;
        LinesLog log;
        auto port = makeSerialPort();
        QElapsedTimer timer;
        timer.start();
        const bool found = probePort(*port, terminal.slavePath(), log, state);
        const qint64 took = timer.elapsed();
        stop = true;
        device.join();
        QVERIFY(found);
        QCOMPARE(log.lines, (QStringList { kOpenPass, kSetupPass, kDetectPass }));
        // Two reading loops of about 2 s at most each, with room for a loaded machine.
        QVERIFY2(took < 7000, qPrintable(QString::number(took)));
        qInfo("the probe took %lld ms", qlonglong(took));
    }

    void probeOfAMissingPortFails()
    {
        SharedState state;
        LinesLog log;
        auto port = makeSerialPort();
        QVERIFY(!probePort(*port, "/nonexistent/relaybox-port", log, state, kQuickProbe));
        QCOMPARE(log.lines, QStringList { "Open                                   FAIL" });
    }

    // Every port searched; the switch answers on the second of three.
    void detectionSearchesEveryPort()
    {
        auto silentDevice = testing::banks(1);
        silentDevice.silent = true;
        auto first = testing::startSwitch(silentDevice);
        auto second = testing::startSwitch(testing::banks(2));
        auto third = testing::startSwitch(silentDevice);
        QVERIFY(first && second && third);
        const HostPortTable ports(std::vector<HostPort> {
            { "one", first->path() }, { "two", second->path() }, { "three", third->path() } });
        SharedState state;
        TForm3::Options options;
        options.probeTimeouts = kQuickProbe;
        options.pause = [](std::chrono::milliseconds) {
        };
        TForm3 dialog(state, options);
        dialog.setSearch(&ports, 0, true);
        dialog.show();
        dialog.Timer1Timer();
        QCOMPARE(dialog.searchResult(), 2);
        const QString rule(44, '=');
        QCOMPARE(dialog.memo()->toPlainText().split('\n'),
                 (QStringList { "Check one", kOpenPass, kSetupPass, kDetectFail, kClosePass, rule,
                                "Check two", kOpenPass, kSetupPass, kDetectPass, rule,
                                "KESTRANE Relaybox Found!" }));
        QCOMPARE(dialog.label()->text(),
                 QStringLiteral("Checking two... KESTRANE Relaybox Found!"));
        QVERIFY(testing::receivedFrames(*third).isEmpty());
    }

    void detectionWithoutASwitch()
    {
        auto silentDevice = testing::banks(1);
        silentDevice.silent = true;
        auto only = testing::startSwitch(silentDevice);
        QVERIFY(only);
        const HostPortTable ports(std::vector<HostPort> { { "one", only->path() } });
        SharedState state;
        TForm3::Options options;
        options.probeTimeouts = kQuickProbe;
        options.pause = [](std::chrono::milliseconds) {
        };
        TForm3 dialog(state, options);
        dialog.setSearch(&ports, 1, false);
        dialog.show();
        dialog.Timer1Timer();
        QCOMPARE(dialog.searchResult(), int(TForm3::kNotFound));
        QVERIFY(dialog.memo()->isHidden());
        QVERIFY(dialog.memo()->toPlainText().endsWith(kLinkLostMessage));
    }

    void linkIdentifiesAnnouncesAndPolls()
    {
        auto simulated = testing::startSwitch(testing::banks(3, 4.5));
        QVERIFY(simulated);
        Link l;
        auto &[state, clock, dialogs, link] = l;
        QSignalSpy counts(&link, &LinkController::bankCountChanged);
        QElapsedTimer sinceStart;
        sinceStart.start();
        QVERIFY(link.startLink(simulated->path()));
        QTRY_COMPARE(counts.count(), 1);
        // The first poll follows the Identify answer at once.
        QVERIFY2(sinceStart.elapsed() < 1000, qPrintable(QString::number(sinceStart.elapsed())));
        QTRY_COMPARE(state.bank(3).current, 4.5f);
        QCOMPARE(testing::receivedFrames(*simulated).mid(0, 4),
                 (QStringList { "/uni\\", "/VER\\", "/EN001\\", "/C\\" }));
        QTRY_COMPARE(state.bank(2).versionText, std::string("1203"));

        simulated->command("current 2 7.5");
        link.tmQueryTimer();
        QTRY_COMPARE(state.bank(2).current, 7.5f);
        link.closeLink();
        QVERIFY(!link.isPortOpen());
        QCOMPARE(state.bankCount(), 0);
    }

    void switchingReachesTheSwitch()
    {
        auto simulated = testing::startSwitch(testing::banks(2));
        QVERIFY(simulated);
        Link l;
        auto &[state, clock, dialogs, link] = l;
        QVERIFY(link.startLink(simulated->path()));
        QTRY_COMPARE(state.bankCount(), 2);
        QVERIFY(link.sendFrame("/O023\\"));
        QTRY_VERIFY(testing::receivedFrames(*simulated).contains("/O023\\"));
        link.tmQueryTimer();
        QTRY_VERIFY(state.bank(2).isOn(2));
        QVERIFY(!state.bank(2).isOn(1));
    }

    // A silent switch is lost by the watchdog, with the message once.
    void silentSwitchIsLost()
    {
        auto simulated = testing::startSwitch(testing::banks(1));
        QVERIFY(simulated);
        Link l(shortWatchdog(400ms));
        auto &[state, clock, dialogs, link] = l;
        QVERIFY(link.startLink(simulated->path()));
        QTRY_COMPARE(state.bankCount(), 1);
        simulated->command("silent on");
        QTRY_VERIFY_WITH_TIMEOUT(!link.isPortOpen(), 3000);
        QCOMPARE(dialogs.messages, QStringList { "|" + kLinkLostMessage });
        testing::settle(300ms);
        QCOMPARE(dialogs.messages.size(), 1);
    }

    // The switch hangs up in the middle of a link: link lost, no crash, no hang, no thread left.
    void hangUpEndsInLinkLost()
    {
        auto simulated = testing::startSwitch(testing::banks(2));
        QVERIFY(simulated);
        Link l(shortWatchdog(500ms));
        auto &[state, clock, dialogs, link] = l;
        QVERIFY(link.startLink(simulated->path()));
        QTRY_COMPARE(state.bankCount(), 2);
        simulated->command("hangup");
        QTRY_VERIFY_WITH_TIMEOUT(!link.isPortOpen(), 3000);
        QCOMPARE(dialogs.messages.size(), 1);
    }

    void busyPortCannotBeLinkedTwice()
    {
        auto simulated = testing::startSwitch(testing::banks(1));
        QVERIFY(simulated);
        SharedState state;
        FixedClock clock;
        testing::ScriptedDialogs dialogs;
        LinkController first(state, clock, dialogs);
        SharedState otherState;
        LinkController second(otherState, clock, dialogs);
        QVERIFY(first.startLink(simulated->path()));
        QVERIFY(!second.startLink(simulated->path()));
        first.closeLink();
        QVERIFY(second.startLink(simulated->path()));
    }
};

QTEST_MAIN(TestLinkEndToEnd)
#include "tst_linkend2end.moc"
