#include <QtTest>

#include <csignal>
#include <sys/stat.h>

#include "tests/common/simprocess.h"
#include "tests/sim/terminalclient.h"

// The relaybox-sim program end to end: started as a process, its link opened with POSIX calls,
// its answers checked byte for byte and its output line by line.

using relaybox::testing::SimProcess;

namespace {

bool linkExists(const QString &path)
{
    struct stat status
    {
    };
    return lstat(path.toLocal8Bit().constData(), &status) == 0;
}

} // namespace

class TestSimProgram : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo(SimProcess::defaultProgram()).isExecutable(),
                 qPrintable("not found: " + SimProcess::defaultProgram() + " (RELAYBOX_BIN_DIR)"));
    }

    void helpDocumentsEverything()
    {
        QProcess process;
        process.start(SimProcess::defaultProgram(), { "--help" });
        QVERIFY(process.waitForFinished(5000));
        QCOMPARE(process.exitCode(), 0);
        const QString help = QString::fromLatin1(process.readAllStandardOutput());
        for (const char *word : { "--banks",
                                  "--link",
                                  "--status",
                                  "--current",
                                  "--drift",
                                  "--version",
                                  "--loader",
                                  "--clock-fail",
                                  "--expect-image",
                                  "--pace",
                                  "--silent",
                                  "silent on|off",
                                  "hangup",
                                  "replug",
                                  "banks N",
                                  "garbage",
                                  "longline",
                                  "say TEXT",
                                  "raw HEX",
                                  "status full|split",
                                  "current BANK AMPS",
                                  "drift on|off",
                                  "flag BANK PORT on|off",
                                  "stuck BANK PORT on|off",
                                  "report-timers",
                                  "clock-fail on|off",
                                  "advance SECONDS",
                                  "expect-image",
                                  "drop-upload",
                                  "loader",
                                  "quit",
                                  "300 ms",
                                  "3000 ms",
                                  "500 ms" })
            QVERIFY2(help.contains(QLatin1String(word)), word);
    }

    void badOptionsAreRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("banks 0") << QStringList { "--banks", "0" };
        QTest::newRow("version with a backslash") << QStringList { "--version", "12\\3" };
        QTest::newRow("current and drift") << QStringList { "--current", "2", "--drift" };
        QTest::newRow("missing image") << QStringList { "--expect-image", "/nonexistent.x" };
        QTest::newRow("unknown") << QStringList { "--turbo" };
    }

    void badOptionsAreRefused()
    {
        QFETCH(QStringList, arguments);
        QProcess process;
        process.start(SimProcess::defaultProgram(), arguments);
        QVERIFY(process.waitForFinished(5000));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardError().startsWith("relaybox-sim: "));
    }

    void exchangesByteForByte()
    {
        QTemporaryDir dir;
        SimProcess sim;
        QVERIFY(sim.start({ "--banks", "2", "--link", dir.filePath("ports/sw"), "--current", "3.5",
                            "--version", "1207" }));
        QCOMPARE(sim.link(), dir.filePath("ports/sw"));
        QVERIFY(linkExists(sim.link()));

        TerminalClient host(sim.link());
        QVERIFY(host.isOpen());

        QVERIFY(host.write("/uni\\"));
        QCOMPARE(host.read(5), "/xyz\\");
        QVERIFY(sim.waitForLine("RX /uni\\"));

        QVERIFY(host.write("/VER\\"));
        QCOMPARE(host.read(10), "/V01 1207\\"); // read 10 bytes at a time, as the probe does
        QCOMPARE(host.read(10), "/V02 1207\\");

        QVERIFY(host.write("/C\\"));
        QCOMPARE(host.readUntilQuiet(),
                 "/M2\\/S01 GGGGGGGG CCCCCCCC 3.5\\/S02 GGGGGGGG CCCCCCCC 3.5\\");

        QVERIFY(host.write("/O025\\"));
        QVERIFY(sim.waitForLine("PORTS 02 CCCCOCCC"));
        QVERIFY(host.write("/C\\"));
        QCOMPARE(host.readUntilQuiet(),
                 "/M2\\/S01 GGGGGGGG CCCCCCCC 3.5\\/S02 GGGGGGGG CCCCOCCC 3.5\\");

        QVERIFY(host.write("/T0231 0000430\\"));
        QCOMPARE(host.read(7), "/E0231\\");
        QCOMPARE(host.readUntilQuiet(100), QByteArray());

        QCOMPARE(sim.command("status split"), "OK status split");
        QVERIFY(host.write("/C\\"));
        QCOMPARE(host.readUntilQuiet(), "/M2\\/S01 CCCCCCCC\\/C01 3.5\\/S02 CCCCOCCC\\/C02 3.5\\");

        QCOMPARE(
            sim.lines().filter(QRegularExpression(R"(^\d+\.\d{6} RX /T0231 0000430\\$)")).size(),
            1);

        QCOMPARE(sim.command("quit"), "OK quit");
        QCOMPARE(sim.waitForExit().value_or(-1), 0);
        QVERIFY(!linkExists(sim.link()));
    }

    void hangupIsSeenByTheReader()
    {
        QTemporaryDir dir;
        SimProcess sim;
        QVERIFY(sim.start({ "--banks", "1", "--link", dir.filePath("sw") }));
        TerminalClient host(sim.link());
        QVERIFY(host.write("/uni\\"));
        QCOMPARE(host.read(5), "/xyz\\");

        QCOMPARE(sim.command("hangup"), "OK hangup");
        QCOMPARE(sim.lines().filter(QRegularExpression(R"(^\d+\.\d{6} HANGUP$)")).size(), 1);
        QVERIFY(host.waitReadable(2000) & POLLHUP);
        int error = 0;
        const ssize_t got = host.readOnce(error);
        QVERIFY2(got == 0 || (got < 0 && error == EIO), qPrintable(QString::number(got)));
        QVERIFY(!linkExists(sim.link()));

        QCOMPARE(sim.command("replug"), "OK replug");
        TerminalClient again(sim.link());
        QVERIFY(again.write("/uni\\"));
        QCOMPARE(again.read(5), "/xyz\\");
    }

    void linkRemovedOnEveryEnd_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("SIGTERM") << "term";
        QTest::newRow("SIGINT") << "int";
        QTest::newRow("end of input") << "eof";
        QTest::newRow("quit") << "quit";
    }

    void linkRemovedOnEveryEnd()
    {
        QFETCH(QString, how);
        QTemporaryDir dir;
        SimProcess sim;
        QVERIFY(sim.start({ "--banks", "1", "--link", dir.filePath("sw") }));
        QVERIFY(linkExists(sim.link()));
        if (how == "term")
            QVERIFY(sim.signal(SIGTERM));
        else if (how == "int")
            QVERIFY(sim.signal(SIGINT));
        else if (how == "eof")
            sim.closeInput();
        else
            QVERIFY(sim.send("quit\n"));
        // Ended by itself, not by the signal: exit code 0.
        QCOMPARE(sim.waitForExit().value_or(-1), 0);
        QVERIFY(!linkExists(sim.link()));
    }

    void defaultLinkBesideTheProgram()
    {
        // A copy of the program in a fresh folder: its default link goes to <folder>/ports,
        // replacing the link a killed simulator left there.
        QTemporaryDir dir;
        const QString copy = dir.filePath("relaybox-sim");
        QVERIFY(QFile::copy(SimProcess::defaultProgram(), copy));
        QVERIFY(QFile::setPermissions(copy, QFile::permissions(copy) | QFile::ExeOwner));
        QVERIFY(QDir(dir.path()).mkdir("ports"));
        QVERIFY(QFile::link("/dev/pts/stale", dir.filePath("ports/relaybox-sim")));
        SimProcess sim;
        QVERIFY(sim.start({ "--banks", "1" }, {}, copy));
        QCOMPARE(sim.link(), dir.filePath("ports/relaybox-sim"));
        TerminalClient host(sim.link());
        QVERIFY(host.write("/uni\\"));
        QCOMPARE(host.read(5), "/xyz\\");
    }

    void firmwareUploadIsReported()
    {
        QTemporaryDir dir;
        QByteArray image;
        for (int i = 0; i < 40; ++i)
            image += char(i * 7 + 1);
        QFile file(dir.filePath("new.x"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(image);
        file.close();

        SimProcess sim;
        QVERIFY(sim.start({ "--banks", "1", "--link", dir.filePath("sw"), "--loader",
                            "--expect-image", file.fileName() }));
        TerminalClient host(sim.link());
        QVERIFY(host.write("/uni\\"));
        QCOMPARE(host.read(5), "/abc\\");
        // The loader talks by itself a moment later and ends with its prompt.
        const QByteArray banner = host.readUntilQuiet(600);
        QVERIFY2(banner.startsWith("Kavtron ") && banner.endsWith("Please send firmware image\r\n"),
                 banner.constData());

        QVERIFY(host.write(image.left(20)));
        for (int i = 20; i < image.size(); ++i) {
            QCOMPARE(host.read(2).at(1), '\b');
            QVERIFY(host.write(image.mid(i, 1)));
        }
        QCOMPARE(host.read(2).at(1), '\b');
        QCOMPARE(host.read(24), "Version 1.2.4 loaded OK\n");
        quint32 sum = 0;
        for (const char c : image)
            sum += quint8(c);
        QVERIFY(sim.waitForLine("UPLOAD BEGIN"));
        QCOMPARE(sim.waitForLine("UPLOAD END").value_or(QString()).section(' ', 1),
                 QStringLiteral("UPLOAD END bytes=40 checksum=%1 ok").arg(sum, 8, 16, QChar('0')));
        QVERIFY(host.write("/uni\\"));
        QCOMPARE(host.read(5), "/xyz\\");
    }
};

QTEST_GUILESS_MAIN(TestSimProgram)
#include "tst_simprogram.moc"
