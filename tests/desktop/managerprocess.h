#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "common/simprocess.h"
#include "desktop/xsession.h"

// The real relaybox program, started as an operator starts it, from a folder of its own that holds
// its define.ini and a ports/ folder with the simulator's link, so that it lists the simulator's
// port and nothing of this machine's but its system ports, which define.ini never names here.

namespace relaybox::testing {

class ManagerProcess
{
public:
    static inline const QString kMainTitle = QStringLiteral("^KESTRANE Relaybox Management$");
    static inline const QString kDetectionTitle = QStringLiteral("^KESTRANE Relaybox$");

    explicit ManagerProcess(XSession &session)
        : m_session(session)
    {
        // RELAYBOX_KEEP_TEST_FILES=1 keeps the folder: settings, logs and screenshots.
        if (qEnvironmentVariableIsSet("RELAYBOX_KEEP_TEST_FILES")) {
            m_folder.setAutoRemove(false);
            qInfo("manager folder: %s", qPrintable(m_folder.path()));
        }
        m_process.setProcessEnvironment(session.environment());
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.setStandardOutputFile(m_folder.filePath(QStringLiteral("relaybox.log")));
    }
    ManagerProcess(const ManagerProcess &) = delete;
    ManagerProcess &operator=(const ManagerProcess &) = delete;
    ~ManagerProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

    // Copies the programs, starts the simulator with these options and finds its port's index.
    bool prepare(const QStringList &simOptions = { QStringLiteral("--banks"), QStringLiteral("1") })
    {
        const QDir bin(SimProcess::binDir());
        for (const char *program : { "relaybox", "relaybox-ports" })
            if (!QFile::copy(bin.filePath(QString::fromLatin1(program)),
                             path(QString::fromLatin1(program))))
                return false;
        QDir(m_folder.path()).mkpath(QStringLiteral("ports"));
        if (!sim.start(
                QStringList { QStringLiteral("--link"), path(QStringLiteral("ports/relaybox-sim")) }
                + simOptions))
            return false;
        m_simIndex = simPortIndex();
        return m_simIndex > 0;
    }

    // define.ini naming the simulator's port; "%PORT%" in the text stands for its index.
    void writeSettings(
        QByteArray text =
            "[Form]\nComPort=%PORT%\nAuto=1\nPrompt=0\nComMeg=1\nSetRTC=1\nRestoreStatus=1\n")
    {
        text.replace("%PORT%", QByteArray::number(m_simIndex));
        QFile file(settingsPath());
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(text);
    }

    QByteArray settings() const
    {
        QFile file(settingsPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // With Auto on, the detection dialog comes before the main window shows.
    bool start()
    {
        m_process.start(path(QStringLiteral("relaybox")), {});
        return m_process.waitForStarted(5000);
    }

    // Start-up with Auto on: the detection dialog finds the simulator; OK (its default button,
    // pressed with Return) starts the link, and the first status poll fills the panels.
    bool startAndConnect()
    {
        return start() && acceptDetection() && !m_session.waitForWindow(kMainTitle, 10000).isEmpty()
            && sim.waitFor(QStringLiteral(" RX /C\\"), 10000);
    }

    bool acceptDetection()
    {
        const QString dialog = m_session.waitForWindow(kDetectionTitle, 15000);
        if (dialog.isEmpty() || !sim.waitFor(QStringLiteral(" RX /uni\\"), 10000))
            return false;
        QTest::qWait(1500); // the probe's answer and the dialog's own pause after "Found!"
        return QTest::qWaitFor(
            [&] {
                const QStringList open = m_session.findWindows(kDetectionTitle);
                if (open.isEmpty())
                    return true;
                m_session.activate(open.first());
                m_session.key(QStringLiteral("Return"));
                QTest::qWait(300);
                return false;
            },
            15000);
    }

    QString mainWindow() const { return m_session.waitForWindow(kMainTitle, 5000); }
    bool running() const { return m_process.state() == QProcess::Running; }
    QProcess &process() { return m_process; }
    QString path(const QString &name) const { return m_folder.filePath(name); }
    QString settingsPath() const { return path(QStringLiteral("define.ini")); }
    QString folder() const { return m_folder.path(); }
    int simPortIndex() const
    {
        QProcess ports;
        ports.start(path(QStringLiteral("relaybox-ports")), {});
        if (!ports.waitForFinished(5000))
            return -1;
        for (const QByteArray &line : ports.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> words = line.simplified().split(' ');
            if (words.size() >= 2 && words[1] == "relaybox-sim")
                return words[0].toInt();
        }
        return -1;
    }

    SimProcess sim;

private:
    XSession &m_session;
    QTemporaryDir m_folder;
    QProcess m_process;
    int m_simIndex = -1;
};

} // namespace relaybox::testing
