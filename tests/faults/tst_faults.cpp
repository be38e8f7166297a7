#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QtTest>
#include <sys/stat.h>

#include "common/settle.h"
#include "common/sharedstateaccess.h"
#include "common/simwindow.h"
#include "link/probe.h"
#include "schedule/tform4.h"
#include "settings/tokrightdlg.h"

using namespace relaybox;
using namespace std::chrono_literals;
using relaybox::testing::locked;
using testing::SimWindow;

namespace {

// Clicks a dialog's button as soon as the dialog is up.
void clickWhenShown(QWidget *dialog, const QString &button)
{
    auto *timer = new QTimer(dialog);
    QObject::connect(timer, &QTimer::timeout, dialog, [dialog, button, timer] {
        if (!dialog->isVisible())
            return;
        if (auto *target = dialog->findChild<QPushButton *>(button);
            target && target->isEnabled()) {
            timer->deleteLater();
            target->click();
        }
    });
    timer->start(10);
}

void enableTimers(SharedState &state, int bankIndex, int ports)
{
    locked(state, [&](StateValues &v) {
        for (int port = 0; port < ports; ++port) {
            ScheduleEntry &entry = v.schedules.editorOn[bankIndex][port];
            entry.enabled = 1;
            entry.pending = 1;
            entry.mode = ModeAfter;
            entry.hour = 2;
            entry.minute = port;
        }
    });
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void hangUpMidPoll()
    {
        SimWindow w(testing::banks(3));
        QVERIFY(w.link());
        w.simulated->command("hangup");
        QTRY_VERIFY_WITH_TIMEOUT(!w.form->link().isPortOpen(), 5000);
        QCOMPARE(w.dialogs.messages, QStringList { "|" + kLinkLostMessage });
        QVERIFY(w.form->findChild<QWidget *>("UniClass1")->isHidden());
        QVERIFY(w.form->menu().mlConnect->isEnabled());
    }

    void hangUpMidTransfer()
    {
        // Without the clock set: on a slow run it falls due before the hang-up, and its warning
        // about the timers just sent would stand beside the message under test.
        SimWindow w(testing::banks(2), true, "[Form]\nAuto=0\nPrompt=0\nComPort=1\nSetRTC=0\n");
        QVERIFY(w.link());
        enableTimers(w.state, 0, 8);
        w.form->ReturnToTransfer();
        QCOMPARE(w.queued(), std::size_t(8));
        QVERIFY(w.simSaw("TIMER SET"));
        w.simulated->command("hangup");
        QTRY_VERIFY_WITH_TIMEOUT(!w.form->link().isPortOpen(), 5000);
        QCOMPARE(w.queued(), std::size_t(0));
        QCOMPARE(w.dialogs.messages, QStringList { "|" + kLinkLostMessage });
    }

    void hangUpMidUpload()
    {
        SimWindow w(testing::banks(1), true);
        QVERIFY(w.link());
        const QString image = w.dir.filePath("image.x");
        QFile file(image);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(2000, '\x5a'));
        file.close();
        w.dialogs.files.push_back(image);
        w.form->menu().Upgrade1->trigger();
        QVERIFY(w.simSaw("UPLOAD BEGIN", 5000));
        w.simulated->command("hangup");
        QTRY_VERIFY_WITH_TIMEOUT(!w.form->link().isPortOpen(), 5000);
        QVERIFY2(w.dialogs.messages.contains("|Upgrade timeout. \rPlease try again."),
                 qPrintable(w.dialogs.messages.join(" / ")));
    }

    // Garbage and over-long lines are dropped; the replies after them still count.
    void garbageAndLongLines()
    {
        SimWindow w(testing::banks(2));
        QVERIFY(w.link());
        for (int round = 0; round < 5; ++round) {
            w.simulated->command("garbage 4096");
            w.simulated->command("longline");
        }
        w.simulated->command("current 2 7.5");
        QTRY_COMPARE_WITH_TIMEOUT(w.state.bank(2).current, 7.5f, 5000);
        QVERIFY(w.form->link().isPortOpen());
        QCOMPARE(w.state.bankCount(), 2);
    }

    // The chain shrinks while the Set Timer dialog shows a bank that goes away.
    void vanishingBankInSetTimer()
    {
        SimWindow w(testing::banks(4));
        QVERIFY(w.link());
        QTimer::singleShot(200, [&] { w.simulated->command("banks 2"); });
        auto *tabs = w.form->setTimerDialog().findChild<QTabBar *>("TabSet1");
        QCOMPARE(tabs->count(), 4);
        QCOMPARE(w.form->setTimerDialog().execOnBank(3), int(QDialog::Rejected));
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(w.shownBankCount(), 2);
    }

    // The port goes away while the detection dialog waits for its answer.
    void portDisappearsDuringProbe()
    {
        SimWindow w(testing::banks(1));
        w.simulated->command("silent on");
        QTimer::singleShot(100, [&] { w.simulated->command("hangup"); });
        TForm3 &dialog = w.form->detectionDialog();
        clickWhenShown(&dialog, "BitBtn1");
        w.form->menu().mlConnect->trigger();
        QCOMPARE(dialog.searchResult(), int(TForm3::kNotFound));
        const QStringList memo =
            dialog.findChild<QPlainTextEdit *>("moShowComCheck")->toPlainText().split('\n');
        QVERIFY(memo.contains("Detect KESTRANE Relaybox ............  FAIL"));
        QVERIFY(memo.contains("Close                                  PASS"));
        QVERIFY(!w.form->link().isPortOpen());
    }

    // A define.ini the operator made read-only is reported and left alone.
    void readOnlySettings()
    {
        SimWindow w(testing::banks(1));
        QVERIFY(w.link());
        QFile file(w.settingsPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        QVERIFY(::chmod(w.settingsPath.toLocal8Bit().constData(), 0444) == 0);
        const int rx = testing::receivedFrames(*w.simulated).size();
        clickWhenShown(&w.form->configurationDialog(), "BitBtn1");
        w.form->menu().mlConfiguration1->trigger();
        QCOMPARE(w.dialogs.messages.last(),
                 "KESTRANE Relaybox Management|Unable to write to " + w.settingsPath);
        testing::settle(200ms);
        QVERIFY(!testing::receivedFrames(*w.simulated).mid(rx).contains("/EN001\\"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }
};

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
