#include <QtTest>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/datafolder.h"

// Where define.ini and ports/ go: beside the program in a folder the operator may write,
// otherwise in the operator's configuration folder. The unwritable case runs as a user without
// root (root writes everywhere), in a child that gives root up, and once through each program.

using namespace relaybox;

namespace {

constexpr uid_t kNobody = 65534;

// Called in a forked child: as root, becomes user and group 65534 so that permission bits apply.
void giveUpRoot()
{
    if (::geteuid() == 0
        && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
        ::_exit(98);
}

void setOrUnset(const char *name, const QByteArray &value, bool set)
{
    if (set)
        ::setenv(name, value.constData(), 1);
    else
        ::unsetenv(name);
}

struct Environment
{
    QByteArray home;
    QByteArray configHome;
    bool configHomeSet = true;
};

struct Outcome
{
    QString folder;
    bool exists = false;
};

// dataFolder(programFolder), or dataPath(programFolder, name) when a name is given, in a forked
// child with the given HOME and XDG_CONFIG_HOME, as the current user or as a user without root.
std::optional<Outcome> dataFolderInChild(const QString &programFolder, const Environment &env,
                                         bool withoutRoot, std::string_view name = {})
{
    int channel[2];
    if (::pipe(channel) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        if (withoutRoot)
            giveUpRoot();
        setOrUnset("HOME", env.home, true);
        setOrUnset("XDG_CONFIG_HOME", env.configHome, env.configHomeSet);
        const std::filesystem::path program = QFile::encodeName(programFolder).toStdString();
        const auto folder = name.empty() ? dataFolder(program) : dataPath(program, name);
        const std::string answer =
            folder.string() + '\n' + (std::filesystem::is_directory(folder) ? '1' : '0');
        [[maybe_unused]] const auto written = ::write(channel[1], answer.data(), answer.size());
        ::_exit(0);
    }
    ::close(channel[1]);
    QByteArray answer;
    char buffer[512];
    ssize_t count;
    while ((count = ::read(channel[0], buffer, sizeof buffer)) > 0)
        answer.append(buffer, count);
    ::close(channel[0]);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)
        || WEXITSTATUS(status) != 0)
        return std::nullopt;
    const qsizetype end = answer.lastIndexOf('\n');
    if (end < 0)
        return std::nullopt;
    return Outcome { QFile::decodeName(answer.left(end)), answer.mid(end + 1) == "1" };
}

bool setMode(const QString &path, mode_t mode)
{
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

bool linkExists(const QString &path)
{
    struct stat status
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0;
}

QString binaryPath(const QString &name)
{
    return qEnvironmentVariable("RELAYBOX_BIN_DIR") + '/' + name;
}

} // namespace

class TestDataFolder : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_base;

    QString path(const QString &relative) const { return m_base->filePath(relative); }

    // A folder that the child cannot write: read-only for everyone, and the child is not root.
    QString readOnlyFolder(const QString &name)
    {
        const QString folder = path(name);
        if (!QDir().mkpath(folder) || !setMode(folder, 0555))
            return {};
        return folder;
    }

    // A copy of a program from the build in a folder the operator cannot write.
    QString installReadOnly(const QString &program)
    {
        const QString folder = path(QStringLiteral("usr-bin"));
        if (!QDir().mkpath(folder))
            return {};
        const QString copy = folder + '/' + program;
        if (!QFile::copy(binaryPath(program), copy) || !setMode(copy, 0755)
            || !setMode(folder, 0555))
            return {};
        return copy;
    }

    // Environment of a program run as the operator with a home folder of their own.
    QProcessEnvironment operatorEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), path(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("xdg")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        // These runs check paths, not leaks: LeakSanitizer in a program started as another user
        // would need ptrace and the suppression file from that user.
        const QString sanitizerOptions = env.value(QStringLiteral("ASAN_OPTIONS"));
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   sanitizerOptions.isEmpty()
                       ? QStringLiteral("detect_leaks=0")
                       : sanitizerOptions + QStringLiteral(":detect_leaks=0"));
        return env;
    }

    static void runWithoutRoot(QProcess &process)
    {
        process.setChildProcessModifier([] { giveUpRoot(); });
    }

private slots:
    void initTestCase()
    {
        QCoreApplication::setOrganizationName(QString::fromLatin1(kOrganizationFolderName));
        QCoreApplication::setApplicationName(QString::fromLatin1(kApplicationFolderName));
    }

    // The base and a home folder that the unprivileged child may enter and write.
    void init()
    {
        m_base = std::make_unique<QTemporaryDir>();
        QVERIFY(m_base->isValid());
        QVERIFY(setMode(m_base->path(), 0755));
        for (const char *name : { "home", "xdg" }) {
            QVERIFY(QDir().mkpath(path(QLatin1String(name))));
            QVERIFY(setMode(path(QLatin1String(name)), 01777));
        }
    }

    // Folders made read-only are made writable again, so that the base can be removed.
    void cleanup()
    {
        QDirIterator folders(m_base->path(), QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                             QDirIterator::Subdirectories);
        while (folders.hasNext())
            setMode(folders.next(), 0755);
        m_base.reset();
    }

    void writableProgramFolderIsKept()
    {
        const QString program = path(QStringLiteral("bin"));
        QVERIFY(QDir().mkpath(program));
        const auto outcome = dataFolderInChild(
            program, { QFile::encodeName(path("home")), QFile::encodeName(path("xdg")) }, false);
        QVERIFY(outcome);
        QCOMPARE(outcome->folder, program);
        QVERIFY(!QFileInfo::exists(path("xdg/kestrane")));
    }

    void unwritableProgramFolderMovesToConfigFolder_data()
    {
        QTest::addColumn<bool>("configHomeSet");
        QTest::addColumn<QString>("configHome");
        QTest::addColumn<bool>("programFolderExists");
        QTest::addColumn<QString>("expected");

        QTest::newRow("XDG_CONFIG_HOME") << true << "xdg" << true << "xdg/kestrane/relaybox";
        QTest::newRow("no XDG_CONFIG_HOME: ~/.config")
            << false << "" << true << "home/.config/kestrane/relaybox";
        QTest::newRow("empty XDG_CONFIG_HOME: ~/.config")
            << true << "" << true << "home/.config/kestrane/relaybox";
        QTest::newRow("relative XDG_CONFIG_HOME ignored")
            << true << "relative/config" << true << "home/.config/kestrane/relaybox";
        QTest::newRow("program folder gone") << true << "xdg" << false << "xdg/kestrane/relaybox";
    }

    void unwritableProgramFolderMovesToConfigFolder()
    {
        QFETCH(bool, configHomeSet);
        QFETCH(QString, configHome);
        QFETCH(bool, programFolderExists);
        QFETCH(QString, expected);

        const QString program = programFolderExists ? readOnlyFolder(QStringLiteral("usr-bin"))
                                                    : path(QStringLiteral("missing"));
        QVERIFY(!program.isEmpty());
        const QByteArray configHomeValue = configHome.startsWith("relative")
            ? configHome.toLocal8Bit()
            : (configHome.isEmpty() ? QByteArray() : QFile::encodeName(path(configHome)));
        const auto outcome = dataFolderInChild(
            program, { QFile::encodeName(path("home")), configHomeValue, configHomeSet }, true);
        QVERIFY(outcome);
        QCOMPARE(outcome->folder, path(expected));
        QVERIFY(outcome->exists);
    }

    // define.ini and ports/ beside the program are used whenever they exist; otherwise each goes
    // beside the program only where the operator may write.
    void besideTheProgramWinsWhenThere_data()
    {
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("settingsBeside");
        QTest::addColumn<bool>("portsBeside");
        QTest::addColumn<QString>("settingsFolder");
        QTest::addColumn<QString>("portsFolder");

        const QString config = QStringLiteral("xdg/kestrane/relaybox");
        QTest::newRow("read-only, nothing beside") << false << false << false << config << config;
        QTest::newRow("read-only, define.ini beside")
            << false << true << false << "usr-bin" << config;
        QTest::newRow("read-only, ports beside") << false << false << true << config << "usr-bin";
        QTest::newRow("read-only, both beside") << false << true << true << "usr-bin"
                                                << "usr-bin";
        QTest::newRow("writable, nothing beside") << true << false << false << "usr-bin"
                                                  << "usr-bin";
    }

    void besideTheProgramWinsWhenThere()
    {
        QFETCH(bool, writable);
        QFETCH(bool, settingsBeside);
        QFETCH(bool, portsBeside);
        QFETCH(QString, settingsFolder);
        QFETCH(QString, portsFolder);

        const QString program = path(QStringLiteral("usr-bin"));
        QVERIFY(QDir().mkpath(program));
        if (settingsBeside) {
            QFile settings(program + QStringLiteral("/define.ini"));
            QVERIFY(settings.open(QIODevice::WriteOnly));
        }
        if (portsBeside)
            QVERIFY(QDir().mkpath(program + QStringLiteral("/ports")));
        QVERIFY(setMode(program, writable ? 0777 : 0555));

        const Environment env { QFile::encodeName(path("home")), QFile::encodeName(path("xdg")) };
        const auto settings = dataFolderInChild(program, env, true, kSettingsFileName);
        const auto ports = dataFolderInChild(program, env, true, kPortsFolderName);
        QVERIFY(settings && ports);
        QCOMPARE(settings->folder, path(settingsFolder) + QStringLiteral("/define.ini"));
        QCOMPARE(ports->folder, path(portsFolder) + QStringLiteral("/ports"));
    }

    // The manager sets its Qt identity from the same names: the fallback is Qt's own
    // AppConfigLocation.
    void configFolderIsQtAppConfigLocation_data()
    {
        QTest::addColumn<bool>("configHomeSet");
        QTest::newRow("XDG_CONFIG_HOME") << true;
        QTest::newRow("HOME only") << false;
    }

    void configFolderIsQtAppConfigLocation()
    {
        QFETCH(bool, configHomeSet);
        const QByteArray savedHome = qgetenv("HOME");
        const QByteArray savedConfigHome = qgetenv("XDG_CONFIG_HOME");
        const bool hadConfigHome = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        qputenv("HOME", QFile::encodeName(path("home")));
        setOrUnset("XDG_CONFIG_HOME", QFile::encodeName(path("xdg")), configHomeSet);

        const QString ours = QFile::decodeName(userConfigFolder().string().c_str());
        const QString qts = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);

        qputenv("HOME", savedHome);
        setOrUnset("XDG_CONFIG_HOME", savedConfigHome, hadConfigHome);
        QCOMPARE(ours, qts);
    }

    void simulatorLinksInConfigFolderWhenItsFolderIsReadOnly()
    {
        const QString copy = installReadOnly(QStringLiteral("relaybox-sim"));
        QVERIFY(!copy.isEmpty());
        QProcess sim;
        sim.setProcessEnvironment(operatorEnvironment());
        runWithoutRoot(sim);
        sim.start(copy, { QStringLiteral("--banks"), QStringLiteral("1") });
        QVERIFY(sim.waitForStarted(5000));

        QByteArray output;
        QElapsedTimer timer;
        timer.start();
        while (!output.contains('\n') && timer.elapsed() < 10000 && sim.waitForReadyRead(10000))
            output += sim.readAllStandardOutput();
        const QString link = path(QStringLiteral("xdg/kestrane/relaybox/ports/relaybox-sim"));
        QCOMPARE(QString::fromLocal8Bit(output.left(output.indexOf('\n'))), "LINK " + link);
        QVERIFY(linkExists(link));

        sim.write("quit\n");
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(!linkExists(link));
    }

    void portListReadsConfigFolderWhenItsFolderIsReadOnly()
    {
        const QString ports = path(QStringLiteral("xdg/kestrane/relaybox/ports"));
        QVERIFY(QDir().mkpath(ports));
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), ports + "/bench-switch"));
        const QString copy = installReadOnly(QStringLiteral("relaybox-ports"));
        QVERIFY(!copy.isEmpty());

        QProcess lister;
        lister.setProcessEnvironment(operatorEnvironment());
        runWithoutRoot(lister);
        lister.start(copy, {});
        QVERIFY(lister.waitForFinished(10000));
        QCOMPARE(lister.exitCode(), 0);
        const QString output = QString::fromLocal8Bit(lister.readAllStandardOutput());
        QVERIFY2(output.contains(ports + "/bench-switch\n"), qPrintable(output));
    }

    // Without the configuration folder the first start could not create define.ini and would
    // stop at "Can not find configuration file !".
    void managerCreatesSettingsInConfigFolderWhenItsFolderIsReadOnly()
    {
        const QString copy = installReadOnly(QStringLiteral("relaybox"));
        QVERIFY(!copy.isEmpty());
        QProcess manager;
        manager.setProcessEnvironment(operatorEnvironment());
        runWithoutRoot(manager);
        manager.start(copy, {});
        QVERIFY(manager.waitForStarted(5000));

        const QString settings = path(QStringLiteral("xdg/kestrane/relaybox/define.ini"));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(settings).size() == 77, 20000);
        QCOMPARE(manager.state(), QProcess::Running);
        QVERIFY(!QFileInfo::exists(QFileInfo(copy).dir().filePath("define.ini")));
        manager.kill();
        manager.waitForFinished(5000);
    }
};

QTEST_GUILESS_MAIN(TestDataFolder)
#include "tst_datafolder.moc"
