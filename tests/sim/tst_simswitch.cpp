#include <QtTest>

#include <sys/stat.h>

#include "sim/simulatedswitch.h"
#include "tests/sim/terminalclient.h"

using namespace relaybox::sim;
using namespace std::chrono_literals;

namespace {

bool linkExists(const QString &path)
{
    struct stat status
    {
    };
    return lstat(path.toLocal8Bit().constData(), &status) == 0;
}

SimOptions options(const QString &link, int banks = 2, bool pace = false)
{
    SimOptions options;
    options.device.banks = banks;
    options.device.amps = 3.5;
    options.device.startTime = { 2026, 12, 6, 10, 0, 0 };
    options.linkPath = link.toStdString();
    options.pace = pace;
    return options;
}

auto startsWith(const std::string &prefix)
{
    return [prefix](const std::string &line) {
        const auto space = line.find(' ');
        // Event lines carry a time stamp first.
        const std::string text = line.find_first_of("0123456789") == 0 && space != std::string::npos
            ? line.substr(space + 1)
            : line;
        return text.starts_with(prefix);
    };
}

} // namespace

class TestSimSwitch : public QObject
{
    Q_OBJECT

private slots:
    void servesOnItsLink()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath("ports/switch");
        std::string error;
        auto device = SimulatedSwitch::start(options(link), error);
        QVERIFY2(device, error.c_str());
        QCOMPARE(QString::fromStdString(device->path()), link);
        QVERIFY(QString::fromStdString(device->terminalPath()).startsWith("/dev/pts/"));
        QCOMPARE(device->log().lines().front(), "LINK " + link.toStdString());

        TerminalClient host(link);
        QVERIFY(host.isOpen());
        QVERIFY(host.write("/uni\\"));
        QCOMPARE(host.read(5), "/xyz\\");
        QVERIFY(device->waitForLine(startsWith("RX /uni\\"), 1s));

        device.reset();
        QVERIFY(!linkExists(link));
    }

    void rxLinesAreStampedAndEscaped()
    {
        QTemporaryDir dir;
        std::string error;
        auto device = SimulatedSwitch::start(options(dir.filePath("sw")), error);
        QVERIFY2(device, error.c_str());
        TerminalClient host(dir.filePath("sw"));
        QVERIFY(host.write(QByteArray("/O\x01\xff\\", 5)));
        const auto line = device->waitForLine(startsWith("RX "), 2s);
        QVERIFY(line);
        QVERIFY2(QRegularExpression(R"(^\d+\.\d{6} RX /O\\x01\\xFF\\$)")
                     .match(QString::fromStdString(*line))
                     .hasMatch(),
                 line->c_str());
    }

    void commandsDriveTheClock()
    {
        QTemporaryDir dir;
        std::string error;
        auto device = SimulatedSwitch::start(options(dir.filePath("sw")), error);
        QVERIFY2(device, error.c_str());
        TerminalClient host(dir.filePath("sw"));
        QVERIFY(host.write("/D0231 0010000\\"));
        QCOMPARE(host.read(7), "/E0231\\");

        QCOMPARE(device->advanceClock(3599s), "OK advance 3599");
        QCOMPARE(device->command("report-timers"), "OK report-timers");
        QCOMPARE(host.read(17), "/D0231 000 00 01\\");
        const std::size_t mark = device->log().size();
        QCOMPARE(device->advanceClock(1s), "OK advance 1");
        QVERIFY(device->waitForLine(startsWith("TIMER FIRED D0231 on"), 0ms, mark));

        std::string letters;
        device->inspect(
            [&](const DeviceModel &model, Millis) { letters = model.switchLetters(2); });
        QCOMPARE(letters, "CCOCCCCC");
        const std::string refused = device->command("bogus");
        QVERIFY2(refused.starts_with("ERROR "), refused.c_str());
    }

    void silentAndFaults()
    {
        QTemporaryDir dir;
        std::string error;
        auto device = SimulatedSwitch::start(options(dir.filePath("sw")), error);
        QVERIFY2(device, error.c_str());
        TerminalClient host(dir.filePath("sw"));
        QCOMPARE(device->command("silent on"), "OK silent on");
        QVERIFY(host.write("/uni\\"));
        QCOMPARE(host.readUntilQuiet(300), QByteArray());
        QCOMPARE(device->command("say abc"), "OK say abc");
        QCOMPARE(host.read(5), "/abc\\");
        QCOMPARE(device->command("silent off"), "OK silent off");
        QCOMPARE(device->command("raw 00 ff 0d"), "OK raw 00 ff 0d");
        QCOMPARE(host.read(3), QByteArray("\x00\xff\r", 3)); // the terminal is raw both ways
    }

    void pacedLineKeepsTo9600Baud()
    {
        QTemporaryDir dir;
        std::string error;
        auto device = SimulatedSwitch::start(options(dir.filePath("sw"), 16, true), error);
        QVERIFY2(device, error.c_str());
        TerminalClient host(dir.filePath("sw"));

        // 160 bytes of version frames up: byte k leaves no sooner than k byte times after the
        // first (159 x 1.0417 ms = 166 ms; a little slack for reading the first).
        QByteArray expected;
        for (int bank = 1; bank <= 16; ++bank)
            expected += QStringLiteral("/V%1 1203\\").arg(bank, 2, 10, QChar('0')).toLatin1();
        QVERIFY(host.write("/VER\\"));
        const QByteArray first = host.read(1);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(first + host.read(159, 5000), expected);
        QVERIFY2(timer.elapsed() >= 150, qPrintable(QString::number(timer.elapsed())));

        // 300 bytes down before the identify frame: its answer waits for them all (321 ms).
        timer.restart();
        QVERIFY(host.write(QByteArray(300, 'x') + "/uni\\"));
        QCOMPARE(host.read(5, 5000), "/xyz\\");
        QVERIFY2(timer.elapsed() >= 300, qPrintable(QString::number(timer.elapsed())));
    }

    void quitEndsServing()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath("sw");
        std::string error;
        auto device = SimulatedSwitch::start(options(link), error);
        QVERIFY2(device, error.c_str());
        QCOMPARE(device->command("quit"), "OK quit");
        QVERIFY(device->quitRequested());
        QTRY_VERIFY(!linkExists(link));
        const std::string refused = device->command("state");
        QVERIFY2(refused.starts_with("ERROR "), refused.c_str());
    }

    void refusesToReplaceAFile()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("sw"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        std::string error;
        QVERIFY(!SimulatedSwitch::start(options(dir.filePath("sw")), error));
        QVERIFY2(error.find("not a symbolic link") != std::string::npos, error.c_str());
        QVERIFY(file.exists());
    }
};

QTEST_GUILESS_MAIN(TestSimSwitch)
#include "tst_simswitch.moc"
