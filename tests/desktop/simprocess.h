#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QtTest>

// The relaybox-sim program as a separate process: its link in a folder of the test's, its control
// commands on standard input and every event it prints kept in order.

namespace relaybox::testing {

class SimProcess
{
public:
    SimProcess() = default;
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;
    ~SimProcess() { stop(); }

    static QString binDir() { return QString::fromLocal8Bit(qgetenv("RELAYBOX_BIN_DIR")); }

    bool start(const QString &link, const QStringList &options)
    {
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
            m_output += QString::fromLocal8Bit(m_process.readAllStandardOutput());
        });
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(binDir() + QStringLiteral("/relaybox-sim"),
                        QStringList { QStringLiteral("--link"), link } + options);
        return m_process.waitForStarted(5000) && waitFor(QStringLiteral("LINK "), 5000);
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.closeWriteChannel(); // the end of its input ends it
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(1000);
    }

    // Runs a control command and waits for its "OK" or "ERROR" answer.
    bool control(const QString &command)
    {
        const qsizetype before = m_output.size();
        m_process.write(command.toLocal8Bit() + '\n');
        bool ok = false;
        (void)QTest::qWaitFor(
            [&] {
                const QString answer = m_output.mid(before);
                ok = answer.contains(QStringLiteral("OK ") + command);
                return ok || answer.contains(QStringLiteral("ERROR "));
            },
            5000);
        return ok;
    }

    bool waitFor(const QString &text, int timeoutMs = 5000)
    {
        return QTest::qWaitFor([&] { return m_output.contains(text); }, timeoutMs);
    }

    // The frames the switch received from the host, in order, as the log prints them.
    QStringList frames() const
    {
        static const QRegularExpression rx(QStringLiteral("^\\S+ RX (.*)$"),
                                           QRegularExpression::MultilineOption);
        QStringList found;
        for (auto it = rx.globalMatch(m_output); it.hasNext();)
            found << it.next().captured(1);
        return found;
    }

    QString output() const { return m_output; }

private:
    QProcess m_process;
    QString m_output;
};

} // namespace relaybox::testing
