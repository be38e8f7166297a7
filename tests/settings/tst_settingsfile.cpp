#include <QtTest>

#include <csignal>
#include <functional>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "settings/settingsfile.h"
#include "settings/settingskeys.h"

using relaybox::Settings;
using relaybox::SettingsFile;
using relaybox::SettingsStatus;

Q_DECLARE_METATYPE(SettingsStatus)

namespace {

constexpr uid_t kNobody = 65534;
constexpr int kChildCannotRead = 97; // the test set-up, not the code, is wrong

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

void writeAll(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
}

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// Saves as an unprivileged user: as root, in a child that has given up root, since root ignores
// permission bits. Returns the save's status as a number.
int saveUnprivileged(const QString &path)
{
    const auto save = [&] {
        if (::access(QFile::encodeName(path).constData(), R_OK) != 0)
            return kChildCannotRead;
        Settings settings { 1, true, true, true, true, true };
        return int(SettingsFile(path.toStdString()).save(settings).status);
    };
    if (::geteuid() != 0)
        return save();
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(98);
        ::_exit(save());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

// Saves in a child that may not write files larger than a few bytes, so the write itself fails.
int saveWithFileSizeLimit(const QString &path)
{
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit { 8, 8 };
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            ::_exit(98);
        Settings settings { 1, true, true, true, true, true };
        ::_exit(int(SettingsFile(path.toStdString()).save(settings).status));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_folder;

    QString path() const { return m_folder->filePath(QStringLiteral("define.ini")); }

private slots:
    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_folder->isValid());
    }

    void missingFileIsCreatedWithTheFallback()
    {
        Settings settings { 5, true, false, false, false, false };
        const auto result = SettingsFile(path().toStdString()).load(settings, 3);

        QCOMPARE(result.status, SettingsStatus::Ok);
        const QByteArray content = readAll(path());
        QCOMPARE(content.size(), 77);
        QCOMPARE(content,
                 QByteArray("[Form]\nComPort=0\nChkExist=1\nAuto=0\nPrompt=1\nComMeg=1\nSetRTC=1\n"
                            "RestoreStatus=1"));
        QCOMPARE(settings, (Settings { 0, false, true, true, true, true }));
    }

    void loadReadsAPartialFile()
    {
        writeAll(path(), "[Form]\nComPort=2");
        Settings settings;
        QCOMPARE(SettingsFile(path().toStdString()).load(settings, 3).status, SettingsStatus::Ok);
        QCOMPARE(settings, (Settings { 2, true, true, true, true, true }));
        QCOMPARE(readAll(path()), QByteArray("[Form]\nComPort=2"));
    }

    void saveKeepsOtherLinesAndWritesAutoInLowerCase()
    {
        writeAll(path(),
                 "; mine\r\n[Form]\r\nComPort=0\r\nChkExist=1\r\nAuto=0\r\nPrompt=1\r\n"
                 "ComMeg=1\r\nSetRTC=1\r\nRestoreStatus=1\r\n[Extra]\r\nAuto=5\r\n");
        Settings settings { 2, true, true, true, false, true };
        QCOMPARE(SettingsFile(path().toStdString()).save(settings).status, SettingsStatus::Ok);
        QCOMPARE(readAll(path()),
                 QByteArray("; mine\r\n[Form]\r\nComPort=2\r\nChkExist=1\r\nauto=1\r\nPrompt=1\r\n"
                            "ComMeg=1\r\nSetRTC=0\r\nRestoreStatus=1\r\n[Extra]\r\nAuto=5\r\n"));
        QCOMPARE(folderEntries(m_folder->path()), QStringList { "define.ini" });
    }

    void saveWithEveryBoxClearedWritesZeros()
    {
        Settings settings { 3, false, false, false, false, false };
        QCOMPARE(SettingsFile(path().toStdString()).save(settings).status, SettingsStatus::Ok);
        QCOMPARE(readAll(path()),
                 QByteArray("[Form]\nComPort=3\nChkExist=1\nauto=0\nPrompt=0\nComMeg=0\nSetRTC=0\n"
                            "RestoreStatus=0"));
        Settings reread { 9, true, true, true, true, true };
        SettingsFile(path().toStdString()).load(reread, 3);
        QCOMPARE(reread, settings);
    }

    void saveKeepsPermissionBits()
    {
        writeAll(path(), "[Form]\n");
        QCOMPARE(::chmod(QFile::encodeName(path()).constData(), 0640), 0);
        Settings settings;
        QCOMPARE(SettingsFile(path().toStdString()).save(settings).status, SettingsStatus::Ok);
        struct stat saved
        {
        };
        QCOMPARE(::stat(QFile::encodeName(path()).constData(), &saved), 0);
        QCOMPARE(saved.st_mode & 07777, mode_t(0640));
    }

    void saveFollowsASymbolicLink()
    {
        const QString target = m_folder->filePath(QStringLiteral("real.ini"));
        writeAll(target, "[Form]\nAuto=0\n");
        QVERIFY(QFile::link(target, path()));
        Settings settings { 0, true, false, false, false, false };
        QCOMPARE(SettingsFile(path().toStdString()).save(settings).status, SettingsStatus::Ok);
        QVERIFY(QFileInfo(path()).isSymLink());
        QVERIFY(readAll(target).startsWith("[Form]\nauto=1\n"));
    }

    void refusedSaveLeavesTheFileAlone_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("permissions");

        QTest::newRow("read-only file") << QByteArray("[Form]\nAuto=0\n") << 0444;
        QTest::newRow("no permission bits at all") << QByteArray("[Form]\nAuto=0\n") << 0;
        QTest::newRow("too large to keep whole")
            << QByteArray(int(SettingsFile::kMaxBytes) + 1, ';') << 0644;
    }

    void refusedSaveLeavesTheFileAlone()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, permissions);

        writeAll(path(), content);
        QCOMPARE(::chmod(QFile::encodeName(path()).constData(), mode_t(permissions)), 0);
        Settings settings;
        const auto result = SettingsFile(path().toStdString()).save(settings);

        QCOMPARE(result.status, SettingsStatus::CannotWrite);
        QCOMPARE(QString::fromStdString(result.path), QFileInfo(path()).absoluteFilePath());
        ::chmod(QFile::encodeName(path()).constData(), 0644);
        QCOMPARE(readAll(path()), content);
        QCOMPARE(folderEntries(m_folder->path()), QStringList { "define.ini" });
    }

    void saveOverAFolderFails()
    {
        QVERIFY(QDir(m_folder->path()).mkdir(QStringLiteral("define.ini")));
        Settings settings;
        QCOMPARE(SettingsFile(path().toStdString()).save(settings).status,
                 SettingsStatus::CannotWrite);
        QVERIFY(QFileInfo(path()).isDir());
        QVERIFY(QDir(m_folder->path()).rmdir(QStringLiteral("define.ini")));
    }

    void pipeInPlaceOfTheFileIsNotRead()
    {
        QCOMPARE(::mkfifo(QFile::encodeName(path()).constData(), 0644), 0);
        Settings settings;
        QCOMPARE(SettingsFile(path().toStdString()).load(settings, 3).status, SettingsStatus::Ok);
        QCOMPARE(settings, (Settings { 0, true, true, true, true, true }));
        QCOMPARE(SettingsFile(path().toStdString()).save(settings).status,
                 SettingsStatus::CannotWrite);
    }

    void oversizedFileLoadsAsDefaults()
    {
        writeAll(path(),
                 QByteArray("[Form]\nAuto=0\nPrompt=0\n")
                     .append(QByteArray(int(SettingsFile::kMaxBytes), ';')));
        Settings settings;
        QCOMPARE(SettingsFile(path().toStdString()).load(settings, 3).status, SettingsStatus::Ok);
        QCOMPARE(settings, (Settings { 0, true, true, true, true, true }));
    }

    // The file or its folder is not writable for the user who saves.
    void unprivilegedSaveFails_data()
    {
        QTest::addColumn<int>("filePermissions");
        QTest::addColumn<int>("folderPermissions");

        QTest::newRow("folder not writable") << 0666 << 0555;
        QTest::newRow("file not writable, folder writable") << 0644 << 0777;
    }

    void unprivilegedSaveFails()
    {
        QFETCH(int, filePermissions);
        QFETCH(int, folderPermissions);
        if (::geteuid() != 0 && (filePermissions & folderPermissions & 0200) != 0)
            QSKIP("needs root to own a file that the saving user may not write");

        const QString folder = m_folder->filePath(QStringLiteral("locked"));
        const QString file = folder + QStringLiteral("/define.ini");
        QVERIFY(QDir().mkpath(folder));
        writeAll(file, "[Form]\nAuto=0\n");
        QCOMPARE(::chmod(QFile::encodeName(m_folder->path()).constData(), 0755), 0);
        QCOMPARE(::chmod(QFile::encodeName(file).constData(), mode_t(filePermissions)), 0);
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), mode_t(folderPermissions)), 0);

        const int status = saveUnprivileged(file);
        ::chmod(QFile::encodeName(folder).constData(), 0755);

        QCOMPARE(status, int(SettingsStatus::CannotWrite));
        QCOMPARE(readAll(file), QByteArray("[Form]\nAuto=0\n"));
        QCOMPARE(folderEntries(folder), QStringList { "define.ini" });
        QVERIFY(QDir(folder).removeRecursively());
    }

    void failedWriteLeavesTheFileAndNoTemporary()
    {
        const QByteArray content("[Form]\nAuto=0\n");
        writeAll(path(), content);
        QCOMPARE(saveWithFileSizeLimit(path()), int(SettingsStatus::CannotWrite));
        QCOMPARE(readAll(path()), content);
        QCOMPARE(folderEntries(m_folder->path()), QStringList { "define.ini" });
    }

    void cannotCreate_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("saving");

        QTest::newRow("load, under /proc") << "/proc/relaybox-absent/define.ini" << false;
        QTest::newRow("save, under /proc") << "/proc/relaybox-absent/define.ini" << true;
        QTest::newRow("load, missing folder") << "missing-folder/define.ini" << false;
        QTest::newRow("save, missing folder") << "missing-folder/define.ini" << true;
    }

    void cannotCreate()
    {
        QFETCH(QString, file);
        QFETCH(bool, saving);

        const QString full = file.startsWith(QLatin1Char('/')) ? file : m_folder->filePath(file);
        const SettingsFile settingsFile(full.toStdString());
        Settings settings { 4, true, true, false, true, false };
        const auto result = saving ? settingsFile.save(settings) : settingsFile.load(settings, 8);

        QCOMPARE(result.status, SettingsStatus::CannotCreate);
        QCOMPARE(settings, (Settings { 0, false, true, false, true, false }));
        QVERIFY(!QFileInfo::exists(full));
    }
};

QTEST_APPLESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
