#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryFile>
#include <QThread>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

// The relaybox-sim program as a process of its own, for the tests and the benchmarks: control
// commands go to its standard input, and everything it prints goes to a log file that is read
// back when asked. It is spawned without fork and read without an event loop, so it serves a
// plain main(), a window test, and a program that has not started its threads yet (the thread
// checker cannot follow a fork from a threaded process) alike.

extern char **environ;

namespace relaybox::testing {

class SimProcess
{
public:
    static constexpr int kWaitMs = 5000;

    SimProcess() = default;
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;
    ~SimProcess() { stop(); }

    static QString binDir() { return qEnvironmentVariable("RELAYBOX_BIN_DIR"); }
    static QString defaultProgram() { return binDir() + QStringLiteral("/relaybox-sim"); }

    // Starts the program and waits for its "LINK <path>" line. Its output goes to logPath, or to
    // a temporary file of this object's when none is given.
    bool start(const QStringList &arguments, const QString &logPath = {},
               const QString &program = defaultProgram())
    {
        if (m_pid > 0)
            return false;
        QString log = logPath;
        if (log.isEmpty()) {
            m_ownLog = std::make_unique<QTemporaryFile>();
            if (!m_ownLog->open())
                return false;
            log = m_ownLog->fileName();
        }
        m_logPath = log.toLocal8Bit();
        int input[2];
        if (::pipe2(input, O_CLOEXEC) != 0)
            return false;
        // A simulator that is gone must not end this program when a command is written to it.
        std::signal(SIGPIPE, SIG_IGN);

        const QByteArray path = program.toLocal8Bit();
        QList<QByteArray> words { path };
        for (const QString &argument : arguments)
            words << argument.toLocal8Bit();
        std::vector<char *> argv;
        for (QByteArray &word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, m_logPath.constData(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (posix_spawn(&m_pid, path.constData(), &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(input[0]);
        m_input = input[1];
        if (m_pid <= 0) {
            closeInput();
            return false;
        }
        const auto first = waitForLine(QStringLiteral("LINK "));
        if (!first)
            return false;
        m_link = first->mid(5);
        return true;
    }

    QString link() const { return m_link; } // as its first line names it
    pid_t pid() const { return m_pid; }

    // Everything it printed so far, and the same as lines; events carry a time stamp first.
    QString output() const
    {
        readLog();
        return m_output;
    }
    QStringList lines() const
    {
        readLog();
        return m_lines;
    }

    // The frames it received from the host, in order, as the log prints them.
    QStringList frames() const
    {
        static const QRegularExpression rx(QStringLiteral("^\\S+ RX (.*)$"));
        QStringList found;
        for (const QString &line : lines()) {
            const auto match = rx.match(line);
            if (match.hasMatch())
                found << match.captured(1);
        }
        return found;
    }

    // A line's text without its time stamp.
    static QString withoutStamp(const QString &line)
    {
        static const QRegularExpression stamp(QStringLiteral("^\\d+\\.\\d{6} "));
        return QString(line).remove(stamp);
    }

    // The first line from line number `from` on whose text starts with prefix, as printed.
    std::optional<QString> waitForLine(const QString &prefix, int timeoutMs = kWaitMs,
                                       qsizetype from = 0) const
    {
        std::optional<QString> found;
        waitUntil(
            [&] {
                const QStringList all = lines();
                for (qsizetype i = from; i < all.size() && !found; ++i)
                    if (withoutStamp(all[i]).startsWith(prefix))
                        found = all[i];
                return found.has_value();
            },
            timeoutMs);
        return found;
    }

    // Whether the text shows up anywhere in its output within the time.
    bool waitFor(const QString &text, int timeoutMs = kWaitMs) const
    {
        return waitUntil([&] { return output().contains(text); }, timeoutMs);
    }

    // Runs a control command and returns its answer: "OK <command>", "ERROR <why>", or
    // "(no answer)".
    QString command(const QString &line)
    {
        const qsizetype from = lines().size();
        if (!send(line.toLocal8Bit() + '\n'))
            return QStringLiteral("(no answer)");
        std::optional<QString> answer;
        waitUntil(
            [&] {
                const QStringList all = lines();
                for (qsizetype i = from; i < all.size() && !answer; ++i)
                    if (all[i].startsWith(QLatin1String("OK "))
                        || all[i].startsWith(QLatin1String("ERROR ")))
                        answer = all[i];
                return answer.has_value();
            },
            kWaitMs);
        return answer.value_or(QStringLiteral("(no answer)"));
    }

    bool control(const QString &line) { return command(line) == QStringLiteral("OK ") + line; }

    // Bytes to its standard input as they are.
    bool send(const QByteArray &bytes)
    {
        return m_input >= 0 && ::write(m_input, bytes.constData(), bytes.size()) == bytes.size();
    }

    // The end of its input, which ends it.
    void closeInput()
    {
        if (m_input >= 0)
            ::close(m_input);
        m_input = -1;
    }

    bool signal(int number) { return m_pid > 0 && !m_status && ::kill(m_pid, number) == 0; }

    // Its exit code once it has ended by itself within the time; empty when it is still running
    // or a signal ended it.
    std::optional<int> waitForExit(int timeoutMs = kWaitMs)
    {
        waitUntil([&] { return reaped(); }, timeoutMs);
        if (!m_status || !WIFEXITED(*m_status))
            return std::nullopt;
        return WEXITSTATUS(*m_status);
    }

    // Ends it as its input closing does, and by force when it does not listen.
    void stop()
    {
        closeInput();
        if (m_pid <= 0 || waitForExit(3000) || m_status)
            return;
        ::kill(m_pid, SIGKILL);
        waitForExit(1000);
    }

    // Runs until the condition holds or the time is up, keeping this thread's events flowing.
    template<typename Condition> static bool waitUntil(Condition condition, int timeoutMs)
    {
        QElapsedTimer timer;
        timer.start();
        while (!condition()) {
            if (timer.elapsed() >= timeoutMs)
                return false;
            if (QCoreApplication::instance()
                && QThread::currentThread() == QCoreApplication::instance()->thread())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(5);
        }
        return true;
    }

private:
    bool reaped()
    {
        if (m_status)
            return true;
        if (m_pid <= 0)
            return false;
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) != m_pid)
            return false;
        m_status = status;
        return true;
    }

    // Takes in what was added to the log since the last look; a line is kept once it is whole.
    void readLog() const
    {
        if (m_logPath.isEmpty())
            return;
        const int file = ::open(m_logPath.constData(), O_RDONLY | O_CLOEXEC);
        if (file < 0)
            return;
        char buffer[65536];
        ssize_t got = 0;
        while ((got = ::pread(file, buffer, sizeof buffer, m_logRead)) > 0) {
            m_logRead += got;
            m_partial.append(buffer, got);
        }
        ::close(file);
        qsizetype end = 0;
        while ((end = m_partial.indexOf('\n')) >= 0) {
            const QString line = QString::fromLatin1(m_partial.left(end));
            m_lines << line;
            m_output += line + QLatin1Char('\n');
            m_partial.remove(0, end + 1);
        }
    }

    pid_t m_pid = -1;
    int m_input = -1;
    std::optional<int> m_status;
    QString m_link;
    QByteArray m_logPath;
    std::unique_ptr<QTemporaryFile> m_ownLog;
    mutable off_t m_logRead = 0;
    mutable QByteArray m_partial;
    mutable QStringList m_lines;
    mutable QString m_output;
};

} // namespace relaybox::testing
