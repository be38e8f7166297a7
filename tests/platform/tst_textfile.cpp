#include <QtTest>

#include <QTemporaryDir>
#include <csignal>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/textfile.h"

using namespace relaybox;
namespace fs = std::filesystem;

namespace {

const std::string kOld = "old contents, longer than the new ones\n";
const std::string kNew = "new contents\n";

std::string contentOf(const fs::path &path)
{
    return readTextFile(path, 1 << 20).value_or("<unreadable>");
}

void writeFile(const fs::path &path, const std::string &content)
{
    std::ofstream(path, std::ios::binary) << content;
}

// The id of a process that has ended.
pid_t endedProcess()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

// Makes a symbolic link as another user (nobody), as a link planted in a shared folder would be.
bool linkAsNobody(const fs::path &target, const fs::path &link)
{
    constexpr uid_t kNobody = 65534;
    const std::string from = target.string();
    const std::string to = link.string();
    const pid_t child = ::fork();
    if (child == 0) {
        const bool made = ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0
            && ::symlink(from.c_str(), to.c_str()) == 0;
        ::_exit(made ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

QStringList entries(const fs::path &folder)
{
    QStringList names = QDir(QString::fromStdString(folder.string()))
                            .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    names.sort();
    return names;
}

} // namespace

class TestTextFile : public QObject
{
    Q_OBJECT

private slots:
    // What a save may replace, and what it leaves standing.
    void savesOnlyOverRegularFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("saved");
        QTest::newRow("regular file") << "file" << true;
        QTest::newRow("link to a file") << "link" << true;
        QTest::newRow("relative links to a file in another folder") << "chain" << true;
        QTest::newRow("dangling link") << "dangling" << true;
        QTest::newRow("200 stale temporaries") << "stale" << true;
        QTest::newRow("fifo") << "fifo" << false;
        QTest::newRow("link to a fifo") << "fifolink" << false;
        QTest::newRow("folder") << "folder" << false;
        QTest::newRow("loop of links") << "loop" << false;
        // The kernel's rule for links in world-writable sticky folders, as in /tmp.
        QTest::newRow("own link in a shared sticky folder") << "sharedown" << true;
        QTest::newRow("link another user planted in a shared sticky folder") << "planted" << false;
    }

    void savesOnlyOverRegularFiles()
    {
        QFETCH(QString, kind);
        QFETCH(bool, saved);
        QTemporaryDir dir;
        const fs::path root = dir.path().toStdString();
        fs::path named = root / "week.pwr"; // the name the operator saves to
        fs::path target = named; // the file that must change
        QStringList expected { "week.pwr" };
        if (kind == "sharedown" || kind == "planted") {
            fs::create_directory(root / "shared");
            fs::permissions(root / "shared", fs::perms::all | fs::perms::sticky_bit);
            named = root / "shared" / "week.pwr";
            target = root / "victim.txt";
            writeFile(target, kOld);
            expected = QStringList { "shared", "victim.txt" };
        }

        if (kind == "file" || kind == "stale") {
            writeFile(target, kOld);
        } else if (kind == "link") {
            target = root / "real.pwr";
            writeFile(target, kOld);
            fs::create_symlink(target, named);
            expected << "real.pwr";
        } else if (kind == "chain") {
            fs::create_directory(root / "sub");
            target = root / "sub" / "real.pwr";
            writeFile(target, kOld);
            fs::create_symlink("sub/middle.pwr", named);
            fs::create_symlink("real.pwr", root / "sub" / "middle.pwr");
            expected << "sub";
        } else if (kind == "dangling") {
            target = root / "new.pwr";
            fs::create_symlink("new.pwr", named);
            expected << "new.pwr";
        } else if (kind == "fifo") {
            QCOMPARE(::mkfifo(named.c_str(), 0600), 0);
        } else if (kind == "fifolink") {
            target = root / "pipe";
            QCOMPARE(::mkfifo(target.c_str(), 0600), 0);
            fs::create_symlink(target, named);
            expected << "pipe";
        } else if (kind == "folder") {
            fs::create_directory(named);
        } else if (kind == "sharedown") {
            fs::create_symlink(target, named);
        } else if (kind == "planted") {
            if (::geteuid() != 0)
                QSKIP("making a link as another user needs root");
            // The other user must reach the shared folder to plant the link.
            fs::permissions(root,
                            fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
            QVERIFY(linkAsNobody(target, named));
        } else if (kind == "loop") {
            fs::create_symlink("loop.pwr", named);
            fs::create_symlink("week.pwr", root / "loop.pwr");
            expected << "loop.pwr";
        }
        if (kind == "stale") {
            const QString ended = QString::number(endedProcess());
            for (int i = 0; i < 100; ++i) {
                writeFile(root / ("week.pwr.tmp" + std::to_string(i)), kOld); // older versions
                writeFile(root
                              / QStringLiteral("week.pwr.tmp-%1-%2")
                                    .arg(ended)
                                    .arg(i, 16, 16, QLatin1Char('0'))
                                    .toStdString(),
                          kOld);
            }
            // A save still running in a live process, and another file's temporary.
            const QString live = QStringLiteral("week.pwr.tmp-%1-0123456789abcdef").arg(::getpid());
            writeFile(root / live.toStdString(), kOld);
            writeFile(root / "other.pwr.tmp1", kOld);
            expected << live << "other.pwr.tmp1";
        }
        expected.sort();
        const fs::file_type typeBefore = fs::symlink_status(named).type();

        QCOMPARE(replaceTextFile(named, kNew), saved);

        QCOMPARE(entries(root), expected);
        QCOMPARE(fs::symlink_status(named).type(), typeBefore);
        if (saved)
            QCOMPARE(contentOf(target), kNew);
        else if (kind == "planted")
            QCOMPARE(contentOf(target), kOld);
        else if (kind == "fifo" || kind == "fifolink")
            QVERIFY(fs::is_fifo(target));
    }

    // A kill at any moment of a save leaves the old or the new content, never a torn file, and the
    // temporaries it leaves go with the next save.
    void killedSavesLeaveWholeFiles()
    {
        QTemporaryDir dir;
        const fs::path root = dir.path().toStdString();
        const fs::path path = root / "week.pwr";
        const std::string first(64 * 1024, 'a');
        const std::string second(32 * 1024, 'b');
        writeFile(path, first);
        std::mt19937 random(12345);
        constexpr int kKills = 100;
        int interrupted = 0;
        for (int kill = 0; kill < kKills; ++kill) {
            const pid_t child = ::fork();
            if (child == 0) {
                for (int i = 0;; ++i)
                    replaceTextFile(path, i % 2 ? first : second);
            }
            ::usleep(useconds_t(std::uniform_int_distribution(0, 20000)(random)));
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
            const std::string now = contentOf(path);
            QVERIFY2(now == first || now == second, qPrintable(QString::number(now.size())));
            interrupted += entries(root).size() > 1;
        }
        qInfo("%d of %d kills left a temporary", interrupted, kKills);
        QVERIFY(replaceTextFile(path, first));
        QCOMPARE(entries(root), QStringList { "week.pwr" });
    }
};

QTEST_APPLESS_MAIN(TestTextFile)
#include "tst_textfile.moc"
