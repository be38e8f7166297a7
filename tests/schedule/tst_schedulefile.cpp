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

} // namespace

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

    void roundTrip()
    {
        ScheduleTable on;
        ScheduleTable off;
        on[0][0] = entry(1, ModeEveryWeek, 7, 23, 59);
        on[2][3] = entry(1, ModeAfter, 0, 99, 0);
        on[1][4] = entry(0, ModeEveryDay, 0, 6, 30);
        off[2][7] = entry(1, ModeAt, 0, 0, 1);
        off[1][1].invalid = 1;

        const std::string text = scheduleFileText(on, off, 3);
        ScheduleTable loadedOn;
        ScheduleTable loadedOff;
        const ScheduleLoadResult result = loadScheduleText(text, loadedOn, loadedOff, 3);
        QCOMPARE(int(result.end), int(ScheduleLoadResult::End::Complete));
        QCOMPARE(result.applied, 48);
        for (int bank = 0; bank < 3; ++bank) {
            for (int port = 0; port < 8; ++port) {
                ScheduleEntry expectOn = on[bank][port];
                ScheduleEntry expectOff = off[bank][port];
                expectOn.pending = expectOn.enabled;
                expectOff.pending = expectOff.enabled;
                QCOMPARE(saved(loadedOn[bank][port]), saved(expectOn));
                QCOMPARE(saved(loadedOff[bank][port]), saved(expectOff));
            }
        }
    }

    void loadKeepsWhatTheFileDoesNotCarry()
    {
        ScheduleTable on;
        ScheduleTable off;
        ScheduleEntry &kept = on[0][1];
        kept = entry(1, ModeAt, 0, 9, 0);
        kept.scope = BankScope;
        kept.appliedDate = "2026/12/7";
        kept.appliedHour = 9;
        kept.appliedSecond = 33;
        ScheduleEntry &disabledOver = on[0][2];
        disabledOver = entry(1, ModeAt, 0, 7, 0);

        const auto result = loadScheduleText("0 0 1 1 0 2 0 6 45  0 0 2 0 0 0 0 0 0", on, off, 1);
        QCOMPARE(result.applied, 2);
        QCOMPARE(saved(kept), QStringLiteral("1 0 2 0 6 45 p1"));
        QCOMPARE(kept.scope, std::int32_t(BankScope));
        QCOMPARE(kept.appliedDate, std::string("2026/12/7"));
        QCOMPARE(kept.appliedSecond, 33);
        // Disabled by the file, but not marked for a clear command.
        QCOMPARE(saved(disabledOver), QStringLiteral("0 0 0 0 0 0 p0"));
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
