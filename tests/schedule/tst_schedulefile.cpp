#include <QtTest>

#include <QTemporaryDir>
#include <functional>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "schedule/schedulefile.h"

using namespace relaybox;

namespace {

ScheduleEntry entry(int enabled, int mode, int day, int hour, int minute)
{
    ScheduleEntry e;
    e.enabled = std::uint8_t(enabled);
    e.mode = mode;
    e.day = day;
    e.hour = hour;
    e.minute = minute;
    return e;
}

// What the file carries of an entry.
QString saved(const ScheduleEntry &e)
{
    return QStringLiteral("%1 %2 %3 %4 %5 %6 p%7")
        .arg(e.enabled)
        .arg(e.invalid)
        .arg(e.mode)
        .arg(e.day)
        .arg(e.hour)
        .arg(e.minute)
        .arg(e.pending);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

std::filesystem::path fsPath(const QString &path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

#ifndef _WIN32
// Runs `save` in a child process after `prepare`, and returns what it returned (or -1 when the
// child did not end normally).
int inChild(const std::function<void()> &prepare, const std::function<bool()> &save)
{
    const pid_t child = fork();
    if (child == 0) {
        prepare();
        _exit(save() ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

struct Tables
{
    ScheduleTable on;
    ScheduleTable off;
};

} // namespace

Q_DECLARE_METATYPE(Tables)
Q_DECLARE_METATYPE(relaybox::ScheduleEntry)

class TestScheduleFile : public QObject
{
    Q_OBJECT

private slots:
    void twoBanksSaveExactly()
    {
        ScheduleTable on;
        ScheduleTable off;
        on[1][2] = entry(1, ModeAt, 0, 8, 15);
        on[0][7].invalid = 1;
        off[0][0] = entry(1, ModeEveryWeek, 4, 10, 0);
        off[1][5] = entry(0, ModeAfter, 0, 40, 59);
        on[2][0] = entry(1, ModeAt, 0, 1, 1); // bank 3 is not connected

        QStringList records;
        for (int table = 0; table < 2; ++table) {
            for (int bank = 0; bank < 2; ++bank) {
                for (int port = 0; port < 8; ++port)
                    records
                        << QStringLiteral("%1 %2 %3 0 0 0 0 0 0 ").arg(table).arg(bank).arg(port);
            }
        }
        records[7] = QStringLiteral("0 0 7 0 1 0 0 0 0 ");
        records[10] = QStringLiteral("0 1 2 1 0 1 0 8 15 ");
        records[16] = QStringLiteral("1 0 0 1 0 3 4 10 0 ");
        records[29] = QStringLiteral("1 1 5 0 0 0 0 40 59 ");

        const std::string text = scheduleFileText(on, off, 2);
        QCOMPARE(QString::fromStdString(text), records.join(QString()));
        QCOMPARE(QString::fromStdString(text).split(u' ', Qt::SkipEmptyParts).size(), 32 * 9);
        QVERIFY(text.back() == ' ');
        QCOMPARE(scheduleFileText(on, off, 0), std::string());
        QCOMPARE(scheduleFileText(on, off, 40).size(), scheduleFileText(on, off, 16).size());
    }

    // Saved and loaded into empty tables (as after a new link), every port has the timer it had
    // on the switch: a whole-bank or all-banks timer comes back as the timers of its ports.
    void roundTrip_data()
    {
        QTest::addColumn<Tables>("before");
        QTest::addColumn<QStringList>("after"); // "on|off bank port enabled invalid mode ..."

        Tables ports;
        ports.on[0][0] = entry(1, ModeEveryWeek, 7, 23, 59);
        ports.on[2][3] = entry(1, ModeAfter, 0, 99, 0);
        ports.on[1][4] = entry(0, ModeEveryDay, 0, 6, 30);
        ports.off[2][7] = entry(1, ModeAt, 0, 0, 1);
        ports.off[1][1].invalid = 1;
        QTest::newRow("port timers")
            << ports
            << QStringList { "on 0 0 1 0 3 7 23 59", "on 2 3 1 0 0 0 99 0", "off 1 1 0 1 0 0 0 0",
                             "off 2 7 1 0 1 0 0 1" };

        // As the switch confirmed it: bank 1's copy enabled, the other banks' copies not.
        Tables allBanks;
        for (int bank = 0; bank < 3; ++bank) {
            allBanks.on[bank][0] = entry(bank == 0, ModeEveryDay, 0, 7, 30);
            allBanks.on[bank][0].scope = AllBanksScope;
        }
        allBanks.on[1][6].invalid = 1;
        QStringList everyPort;
        for (int bank = 0; bank < 3; ++bank) {
            for (int port = 0; port < 8; ++port)
                everyPort << QStringLiteral("on %1 %2 1 %3 2 0 7 30")
                                 .arg(bank)
                                 .arg(port)
                                 .arg(bank == 1 && port == 6 ? 1 : 0);
        }
        QTest::newRow("all-banks timer") << allBanks << everyPort;

        Tables wholeBank;
        wholeBank.off[1][0] = entry(1, ModeAt, 0, 18, 5);
        wholeBank.off[1][0].scope = BankScope;
        wholeBank.on[1][3] = entry(1, ModeAt, 0, 8, 0);
        QStringList bank2 { "on 1 3 1 0 1 0 8 0" };
        for (int port = 0; port < 8; ++port)
            bank2 << QStringLiteral("off 1 %1 1 0 1 0 18 5").arg(port);
        QTest::newRow("whole-bank timer") << wholeBank << bank2;
    }

    void roundTrip()
    {
        QFETCH(Tables, before);
        QFETCH(QStringList, after);
        const std::string text = scheduleFileText(before.on, before.off, 3);
        Tables loaded;
        const ScheduleLoadResult result = loadScheduleText(text, loaded.on, loaded.off, 3);
        QCOMPARE(int(result.end), int(ScheduleLoadResult::End::Complete));
        QCOMPARE(result.applied, 48);
        QStringList timers;
        for (const auto &[name, table] :
             { std::pair { "on", &loaded.on }, { "off", &loaded.off } }) {
            for (int bank = 0; bank < 3; ++bank) {
                for (int port = 0; port < 8; ++port) {
                    const ScheduleEntry &e = (*table)[bank][port];
                    QCOMPARE(e.pending, e.enabled);
                    QCOMPARE(e.scope, std::int32_t(PortScope));
                    if (e.enabled || e.invalid)
                        timers << QStringLiteral("%1 %2 %3 %4")
                                      .arg(name)
                                      .arg(bank)
                                      .arg(port)
                                      .arg(saved(e).section(u' ', 0, 5));
                }
            }
        }
        QCOMPARE(timers, after);
    }

    // What a record does to the entry it loads into: the file's values, each record the timer of
    // its own port; what the file does not carry stays. A record that disables an enabled entry
    // is marked so that the transfer clears it on the switch, and a whole-bank or all-banks timer
    // the entry held is cleared before the port's own timer is sent.
    void loadOverEntries_data()
    {
        QTest::addColumn<ScheduleEntry>("before");
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("scope");

        ScheduleEntry applied = entry(1, ModeAt, 0, 9, 0);
        applied.appliedDate = "2026/12/7";
        applied.appliedSecond = 33;
        QTest::newRow("enabled over a timer")
            << applied << QByteArray("0 0 1 1 0 2 0 6 45") << "1 0 2 0 6 45 p1" << int(PortScope);
        QTest::newRow("disabled over a timer: cleared")
            << entry(1, ModeAt, 0, 7, 0) << QByteArray("0 0 1 0 0 0 0 0 0") << "0 0 0 0 0 0 p1"
            << int(PortScope);
        QTest::newRow("disabled over nothing: nothing sent")
            << entry(0, ModeAt, 0, 7, 0) << QByteArray("0 0 1 0 0 0 0 0 0") << "0 0 0 0 0 0 p0"
            << int(PortScope);

        ScheduleEntry bankTimer = entry(1, ModeAt, 0, 7, 0);
        bankTimer.scope = BankScope;
        QTest::newRow("over a whole-bank timer") << bankTimer << QByteArray("0 0 0 1 0 1 0 8 0")
                                                 << "1 0 1 0 8 0 p1" << int(ClearBankThenPort);
        QTest::newRow("disabled over a whole-bank timer")
            << bankTimer << QByteArray("0 0 0 0 0 0 0 0 0") << "0 0 0 0 0 0 p1" << int(ClearBank);
        ScheduleEntry allBanks = bankTimer;
        allBanks.scope = AllBanksScope;
        QTest::newRow("over the all-banks timer") << allBanks << QByteArray("0 0 0 1 0 1 0 8 0")
                                                  << "1 0 1 0 8 0 p1" << int(ClearAllBanksThenPort);
        QTest::newRow("over another bank's copy of it")
            << allBanks << QByteArray("0 1 0 1 0 1 0 8 0") << "1 0 1 0 8 0 p1" << int(PortScope);
    }

    void loadOverEntries()
    {
        QFETCH(ScheduleEntry, before);
        QFETCH(QByteArray, record);
        QFETCH(QString, after);
        QFETCH(int, scope);
        Tables tables;
        const int bank = record.split(' ').at(1).toInt();
        const int port = record.split(' ').at(2).toInt();
        tables.on[bank][port] = before;
        QCOMPARE(loadScheduleText(record.toStdString(), tables.on, tables.off, 2).applied, 1);
        const ScheduleEntry &loaded = tables.on[bank][port];
        QCOMPARE(saved(loaded), after);
        QCOMPARE(loaded.scope, scope);
        QCOMPARE(loaded.appliedDate, before.appliedDate);
        QCOMPARE(loaded.appliedSecond, before.appliedSecond);
    }

    // The records of a file that load, the ones skipped, and where loading stops.
    void malformedText_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("bankCount");
        QTest::addColumn<int>("end");
        QTest::addColumn<int>("applied");
        QTest::addColumn<int>("skipped");
        QTest::addColumn<QString>("bank0Port0");

        const int complete = int(ScheduleLoadResult::End::Complete);
        const int cutShort = int(ScheduleLoadResult::End::CutShort);
        const int malformed = int(ScheduleLoadResult::End::Malformed);
        const QString untouched = QStringLiteral("0 0 0 0 0 0 p0");
        const QString loaded = QStringLiteral("1 0 1 0 8 15 p1");
        const QByteArray good = "0 0 0 1 0 1 0 8 15 ";

        QTest::newRow("empty") << QByteArray() << 1 << complete << 0 << 0 << untouched;
        QTest::newRow("only blanks")
            << QByteArray(" \t\r\n ") << 1 << complete << 0 << 0 << untouched;
        QTest::newRow("any whitespace")
            << QByteArray("0\t0\n0\r\n1  0 1\v0\f8 15") << 1 << complete << 1 << 0 << loaded;
        QTest::newRow("signs") << QByteArray("+0 -0 0 +1 0 1 0 8 15") << 1 << complete << 1 << 0
                               << loaded;
        QTest::newRow("cut short") << good + "0 0 1 1 0" << 1 << cutShort << 1 << 0 << loaded;
        QTest::newRow("letter between records")
            << good + "x 0 0 1" << 1 << malformed << 1 << 0 << loaded;
        QTest::newRow("letter inside a record")
            << QByteArray("0 0 0 1 0 1 a 8 15") << 1 << malformed << 0 << 0 << untouched;
        QTest::newRow("number runs into a letter")
            << QByteArray("0 0 0 1 0 1 0 8 15x") << 1 << malformed << 1 << 0 << loaded;
        QTest::newRow("decimal point")
            << QByteArray("0 0 0 1 0 1 0 8.5 15") << 1 << malformed << 0 << 0 << untouched;
        QTest::newRow("lone sign")
            << QByteArray("0 0 0 1 0 1 0 - 15") << 1 << malformed << 0 << 0 << untouched;
        QTest::newRow("number too large")
            << QByteArray("0 0 0 1 0 1 0 99999999999 15") << 1 << malformed << 0 << 0 << untouched;
        // A record the tables cannot take is skipped, and the good record after it loads.
        QTest::newRow("negative bank mid-file")
            << QByteArray("0 0 1 0 0 0 0 0 0 0 -1 0 1 0 1 0 9 0 ") + good << 2 << complete << 2 << 1
            << loaded;
        QTest::newRow("port 8 mid-file")
            << QByteArray("0 0 8 1 0 1 0 9 0 ") + good << 1 << complete << 1 << 1 << loaded;
        QTest::newRow("negative port mid-file")
            << QByteArray("1 0 -1 1 0 1 0 9 0 ") + good << 1 << complete << 1 << 1 << loaded;
        QTest::newRow("bank not connected is skipped")
            << QByteArray("0 5 0 1 0 1 0 9 0 ") + good << 3 << complete << 1 << 1 << loaded;
        QTest::newRow("bank 16 is skipped")
            << QByteArray("0 16 0 1 0 1 0 9 0 ") + good << 16 << complete << 1 << 1 << loaded;
        QTest::newRow("no banks connected") << good << 0 << complete << 0 << 1 << untouched;
        QTest::newRow("mode 4 is skipped")
            << QByteArray("0 0 0 1 0 4 0 9 0 ") + good << 1 << complete << 1 << 1 << loaded;
        QTest::newRow("day 8 is skipped")
            << QByteArray("0 0 0 1 0 3 8 9 0 ") + good << 1 << complete << 1 << 1 << loaded;
        QTest::newRow("hour 24 of a clock time is skipped")
            << QByteArray("0 0 0 1 0 2 0 24 0 ") + good << 1 << complete << 1 << 1 << loaded;
        QTest::newRow("minute 60 is skipped")
            << QByteArray("0 0 0 1 0 1 0 9 60 ") + good << 1 << complete << 1 << 1 << loaded;
        QTest::newRow("negative hour is skipped")
            << QByteArray("0 0 0 1 0 0 0 -1 0 ") + good << 1 << complete << 1 << 1 << loaded;
        QTest::newRow("enabled week without a day is skipped")
            << QByteArray("0 0 0 1 0 3 0 9 0 ") << 1 << complete << 0 << 1 << untouched;
        QTest::newRow("disabled week without a day loads")
            << QByteArray("0 0 0 0 0 3 0 9 0 ") << 1 << complete << 1 << 0
            << QStringLiteral("0 0 3 0 9 0 p0");
        QTest::newRow("long delay is kept") << QByteArray("0 0 0 1 0 0 0 120 5") << 1 << complete
                                            << 1 << 0 << QStringLiteral("1 0 0 0 120 5 p1");
        QTest::newRow("other table values mean power-off")
            << QByteArray("7 0 0 1 0 1 0 8 15") << 1 << complete << 1 << 0 << untouched;
    }

    void malformedText()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, bankCount);
        QFETCH(int, end);
        QFETCH(int, applied);
        QFETCH(int, skipped);
        QFETCH(QString, bank0Port0);

        ScheduleTable on;
        ScheduleTable off;
        const ScheduleLoadResult result = loadScheduleText(
            std::string_view(text.constData(), std::size_t(text.size())), on, off, bankCount);
        QCOMPARE(int(result.end), end);
        QCOMPARE(result.applied, applied);
        QCOMPARE(result.skipped, skipped);
        QCOMPARE(saved(on[0][0]), bank0Port0);
        // Nothing beyond the first bank was written.
        for (int bank = 1; bank < kScheduleBanks; ++bank) {
            QCOMPARE(on[bank], ScheduleBank {});
            QCOMPARE(off[bank], ScheduleBank {});
        }
    }

    void readFile()
    {
        QTemporaryDir folder;
        const QString good = folder.filePath(QStringLiteral("good.pwr"));
        writeAll(good, "0 0 0 1 0 1 0 8 15 ");
        QCOMPARE(readScheduleFile(fsPath(good)), std::optional<std::string>("0 0 0 1 0 1 0 8 15 "));
        QCOMPARE(readScheduleFile(fsPath(folder.filePath(QStringLiteral("missing.pwr")))),
                 std::nullopt);
        QCOMPARE(readScheduleFile(fsPath(folder.path())), std::nullopt);

        const QString huge = folder.filePath(QStringLiteral("huge.pwr"));
        writeAll(huge, QByteArray(int(kMaxScheduleFileBytes) + 1, ' '));
        QCOMPARE(readScheduleFile(fsPath(huge)), std::nullopt);
        writeAll(huge, QByteArray(int(kMaxScheduleFileBytes), ' '));
        QCOMPARE(readScheduleFile(fsPath(huge))->size(), kMaxScheduleFileBytes);
    }

    void saveReplacesTheFile()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("week.pwr"));
        writeAll(path, "old contents that are longer than the new ones");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);

        QVERIFY(saveScheduleFile(fsPath(path), "0 0 0 1 0 1 0 8 15 "));
        QCOMPARE(readAll(path), QByteArray("0 0 0 1 0 1 0 8 15 "));
        namespace fs = std::filesystem;
        QCOMPARE(fs::status(fsPath(path)).permissions(),
                 fs::perms::owner_read | fs::perms::owner_write);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList { "week.pwr" });

        // Through a link, the file it points at changes and the link stays.
        const QString link = folder.filePath(QStringLiteral("link.pwr"));
        QVERIFY(QFile::link(path, link));
        QVERIFY(saveScheduleFile(fsPath(link), "1 0 0 0 0 0 0 0 0 "));
        QCOMPARE(readAll(path), QByteArray("1 0 0 0 0 0 0 0 0 "));
        QVERIFY(QFileInfo(link).isSymLink());
    }

    void failedSaveKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("folder missing") << "missing";
        QTest::newRow("target is a folder") << "folder";
#ifndef _WIN32
        QTest::newRow("disk full") << "full";
        QTest::newRow("folder not writable") << "readonly";
#endif
    }

    void failedSaveKeepsTheOldFile()
    {
        QFETCH(QString, how);
        QTemporaryDir folder;
        const QByteArray old = "0 0 0 1 0 1 0 8 15 ";
        // A long new text, so that a size limit cuts it.
        const std::string text(4096, ' ');
        QString path = folder.filePath(QStringLiteral("week.pwr"));
        writeAll(path, old);

        if (how == QLatin1String("missing")) {
            QVERIFY(
                !saveScheduleFile(fsPath(folder.filePath(QStringLiteral("no/such.pwr"))), text));
        } else if (how == QLatin1String("folder")) {
            path = folder.filePath(QStringLiteral("sub"));
            QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("sub")));
            writeAll(path + QStringLiteral("/inside"), old);
            QVERIFY(!saveScheduleFile(fsPath(path), text));
            path += QStringLiteral("/inside");
        }
#ifndef _WIN32
        else if (how == QLatin1String("full")) {
            // A file size limit makes the write fail as a full disk would, even for root.
            const auto limit = [] {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit small { 100, 100 };
                setrlimit(RLIMIT_FSIZE, &small);
            };
            QCOMPARE(inChild(limit, [&] { return saveScheduleFile(fsPath(path), text); }), 0);
        } else {
            // Root may write anywhere, so the save runs as an ordinary user.
            QVERIFY(::chmod(QFile::encodeName(folder.path()).constData(), 0555) == 0);
            const auto asNobody = [] {
                if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                    _exit(2);
            };
            QCOMPARE(inChild(asNobody, [&] { return saveScheduleFile(fsPath(path), text); }), 0);
            ::chmod(QFile::encodeName(folder.path()).constData(), 0700);
        }
#endif
        QCOMPARE(readAll(path), old);
        const QStringList left = QDir(folder.path()).entryList(QDir::Files);
        QVERIFY2(left.filter(QStringLiteral(".tmp")).isEmpty(), qPrintable(left.join(u' ')));
    }
};

QTEST_APPLESS_MAIN(TestScheduleFile)
#include "tst_schedulefile.moc"
