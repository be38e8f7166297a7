#include <QSignalSpy>
#include <QtTest>

#include "common/scripteddialogs.h"
#include "eventwait.h"
#include "maintenance/firmwareupgrade.h"
#include "maintenance/maintenancemessages.h"
#include "sim/simulatedswitch.h"

using namespace relaybox;
using namespace std::chrono_literals;

namespace {

QByteArray imageBytes(int size)
{
    QByteArray bytes;
    for (int i = 0; i < size; ++i)
        bytes += char((i * 131 + i / 256 + 3) & 0xff);
    return bytes;
}

QString checksum(const QByteArray &bytes)
{
    quint32 sum = 0;
    for (const char c : bytes)
        sum += quint8(c);
    return QStringLiteral("%1").arg(sum, 8, 16, QChar('0'));
}

// An event line of the simulator without its time stamp starts with the text.
sim::EventLog::Predicate simEvent(const std::string &text)
{
    return [text](const std::string &line) {
        const auto space = line.find(' ');
        return space != std::string::npos && line.compare(space + 1, text.size(), text) == 0;
    };
}

const QString kCompleted = "|" + kUpgradeCompletedMessage;
const QString kFailure = kApplicationTitle + "|" + kFirmwareFailureMessage;
const QString kTimeout = "|" + kUpgradeTimeoutMessage;
constexpr auto kLongWait = 240s; // a 65,535-byte upload on a loaded machine

// The simulated switch on a pseudo-terminal, and the program's link and upgrade on the real
// serial port layer.
struct Bench
{
    Bench(int banks, const QByteArray &expected, bool loader, UpgradeTimings timings = {})
        : upgrade(state, link, dialogs, timings)
    {
        sim::SimOptions options;
        options.device.banks = banks;
        options.device.loader = loader;
        options.device.expectedImage = std::vector<std::uint8_t>(expected.begin(), expected.end());
        options.linkPath = dir.filePath("switch").toStdString();
        std::string error;
        device = sim::SimulatedSwitch::start(options, error);
        if (!device)
            qWarning("simulator: %s", error.c_str());

        QObject::connect(&link, &LinkController::updateArrived, &upgrade,
                         &FirmwareUpgrade::handleUpdate);
        QObject::connect(&link, &LinkController::linkResetRequested, &upgrade,
                         &FirmwareUpgrade::linkReset);
        QObject::connect(&upgrade, &FirmwareUpgrade::progressChanged,
                         [this](int percent) { progress << percent; });
        imagePath = dir.filePath("image.x");
        QFile file(imagePath);
        if (file.open(QIODevice::WriteOnly))
            file.write(expected);
    }

    bool start()
    {
        // As the detection probe leaves it when the switch answered as its loader.
        if (loaderAtConnect)
            state.noteIdentifyAnswer(true);
        return device && link.startLink(device->path());
    }

    std::string version(int bank) const { return state.bank(bank).versionText; }

    bool loaderAtConnect = false;
    QTemporaryDir dir;
    std::unique_ptr<sim::SimulatedSwitch> device;
    QString imagePath;
    SharedState state;
    SystemClock clock;
    testing::ScriptedDialogs dialogs;
    LinkController link { state, clock, dialogs };
    FirmwareUpgrade upgrade;
    QList<int> progress;
};

} // namespace

class TestUpgradeSwitch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<UiUpdate>(); }

    // Every byte checked by the switch; the bar at 100 after the last one; the completion and the
    // switch answering the Identify command again, then its new version.
    void uploadsAnImage_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("received"); // bytes the switch takes, padding included
        QTest::newRow("1,000 bytes") << 1000 << 1000;
        QTest::newRow("65,535 bytes") << 65535 << 65535;
        QTest::newRow("10 bytes") << 10 << 20;
    }

    void uploadsAnImage()
    {
        QFETCH(int, size);
        QFETCH(int, received);
        const QByteArray image = imageBytes(size);
        Bench bench(2, image, false);
        QSignalSpy up(&bench.link, &LinkController::linkUp);
        QVERIFY(bench.start());
        QTRY_COMPARE(bench.state.bankCount(), 2);
        QTRY_COMPARE(bench.version(2), std::string("1203"));

        bench.dialogs.files.push_back(bench.imagePath);
        bench.upgrade.Upgrade1Click();
        QVERIFY(runUntil([&] { return bench.dialogs.messages.contains(kCompleted); }, kLongWait));

        QByteArray padded = image;
        padded.append(QByteArray(received - size, '\0'));
        const auto end = bench.device->waitForLine(simEvent("UPLOAD END"), 1s);
        QVERIFY(end);
        QCOMPARE(QString::fromStdString(end->substr(end->find(' ') + 1)),
                 QStringLiteral("UPLOAD END bytes=%1 checksum=%2 ok")
                     .arg(received)
                     .arg(checksum(padded)));
        QCOMPARE(bench.progress.last(), size > 20 ? 100 : 0);
        QCOMPARE(bench.progress.size(), std::max(1, size - 19));
        QCOMPARE(bench.dialogs.messages, QStringList { kCompleted });

        QTRY_COMPARE(up.count(), 2); // "/uni\" answered by the new firmware
        QTRY_COMPARE(bench.version(1), std::string("1204"));
        QVERIFY(bench.link.tmQuery().isActive());
    }

    // The switch sits in its loader at connect: the failure path asks for an image, the loader
    // prompts by itself, the upload repairs it.
    void repairsALoaderAtConnect()
    {
        const QByteArray image = imageBytes(300);
        Bench bench(1, image, true);
        bench.loaderAtConnect = true;
        bench.dialogs.files.push_back(bench.imagePath);
        QSignalSpy up(&bench.link, &LinkController::linkUp);
        QVERIFY(bench.start());
        QVERIFY(runUntil([&] { return bench.dialogs.messages.contains(kCompleted); }, 30s));
        QCOMPARE(bench.dialogs.messages, (QStringList { kFailure, kCompleted }));
        QVERIFY(!bench.device->waitForLine(simEvent("RX /UPGRADE"), 0ms));
        QVERIFY(bench.device->waitForLine(simEvent("UPLOAD END bytes=300"), 1s));
        QTRY_COMPARE(up.count(), 1);
        QTRY_COMPARE(bench.version(1), std::string("1204"));
    }

    void cancelledRepairClosesTheLink()
    {
        Bench bench(1, imageBytes(300), true, { 10s, 100ms });
        bench.loaderAtConnect = true;
        bench.dialogs.files.push_back(std::nullopt);
        QVERIFY(bench.start());
        QTRY_VERIFY(!bench.link.isPortOpen());
        QCOMPARE(bench.dialogs.messages,
                 (QStringList { kFailure, kCautionTitle + "|" + kReloadFirmwareMessage }));
    }

    // The switch falls silent half way: the time-out message and a closed link. Once with the
    // real ten seconds.
    void silentSwitchTimesOut_data()
    {
        QTest::addColumn<int>("timeoutMs");
        QTest::newRow("short time-out") << 300;
        QTest::newRow("ten seconds") << 10000;
    }

    void silentSwitchTimesOut()
    {
        QFETCH(int, timeoutMs);
        Bench bench(1, imageBytes(2000), false, { std::chrono::milliseconds(timeoutMs), 100ms });
        bool silenced = false;
        QElapsedTimer sinceLastByte;
        QObject::connect(&bench.upgrade, &FirmwareUpgrade::progressChanged, [&](int percent) {
            sinceLastByte.start();
            if (percent >= 50 && !silenced) {
                silenced = true;
                bench.device->command("silent on");
            }
        });
        QVERIFY(bench.start());
        QTRY_COMPARE(bench.state.bankCount(), 1);
        bench.dialogs.files.push_back(bench.imagePath);
        bench.upgrade.Upgrade1Click();
        QVERIFY(runUntil([&] { return !bench.link.isPortOpen(); },
                         std::chrono::milliseconds(timeoutMs) + 30s));
        // A coarse timer may fire up to 5 % early.
        QVERIFY2(sinceLastByte.elapsed() >= timeoutMs * 95 / 100 - 20,
                 qPrintable(QString::number(sinceLastByte.elapsed())));
        QCOMPARE(bench.dialogs.messages, QStringList { kTimeout });
        QVERIFY2(bench.progress.last() >= 50 && bench.progress.last() < 60,
                 qPrintable(QString::number(bench.progress.last())));
        QCOMPARE(bench.state.bankCount(), 0);
    }
};

QTEST_MAIN(TestUpgradeSwitch)
#include "tst_upgradeswitch.moc"
