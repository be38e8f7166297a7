#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QtTest>

#include "common/sharedstateaccess.h"
#include "common/simwindow.h"
#include "resources/panelart.h"
#include "schedule/tform4.h"

using namespace relaybox;
using namespace std::chrono_literals;
using relaybox::testing::locked;
using testing::SimWindow;

namespace {

// Fills a row of the open Set Timer dialog as the operator would, then ticks its Enable box.
void setRow(TForm4 &dialog, int row, int mode, int hour, int minute)
{
    dialog.findChild<QComboBox *>(QStringLiteral("cmbMode%1").arg(row))->setCurrentIndex(mode);
    dialog.findChild<QLineEdit *>(QStringLiteral("edtHour%1").arg(row))
        ->setText(QString::number(hour));
    dialog.findChild<QLineEdit *>(QStringLiteral("edtMinute%1").arg(row))
        ->setText(QString::number(minute));
    dialog.findChild<QCheckBox *>(QStringLiteral("chkEnable%1").arg(row))->click();
}

// Opens the Set Timer dialog on bank 1 from the Time menu, works in it, and presses a button.
void inDialog(SimWindow &w, const std::function<void(TForm4 &)> &work,
              const QString &button = QStringLiteral("BitBtn1"))
{
    TForm4 &dialog = w.form->setTimerDialog();
    QTimer::singleShot(0, &dialog, [&] {
        work(dialog);
        dialog.findChild<QPushButton *>(button)->click();
    });
    w.form->SetTimer1Click();
}

// Fills the dialog and presses OK.
void setTimers(SimWindow &w, const std::function<void(TForm4 &)> &fill)
{
    inDialog(w, fill);
}

void click(TForm4 &dialog, const QString &name)
{
    dialog.findChild<QAbstractButton *>(name)->click();
}

// Waits until the switch has received the next Status poll, and so every frame written before it.
bool nextPollSeen(SimWindow &w)
{
    const std::size_t from = w.simulated->log().size();
    const auto poll = [](const std::string &line) {
        return line.find("RX /C\\") != std::string::npos;
    };
    return QTest::qWaitFor([&] { return w.simulated->waitForLine(poll, 0ms, from).has_value(); },
                           3000);
}

QStringList timerFrames(SimWindow &w)
{
    return testing::receivedFrames(*w.simulated)
        .filter(QRegularExpression(QStringLiteral("^/[TDWQ]")));
}

ScheduleEntry committedOn(SimWindow &w, int bank, int port)
{
    return locked(w.state, [&](StateValues &v) { return v.schedules.committedOn[bank][port]; });
}

} // namespace

class TestScheduleEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    // A bank-wide "After" timer: the switch confirms it and all eight ports count down.
    void bankWideTimerCountsDownOnEveryPort()
    {
        SimWindow w(testing::banks(2));
        QVERIFY(w.link());
        setTimers(w, [](TForm4 &dialog) { setRow(dialog, 1, ModeAfter, 1, 30); });
        QVERIFY(w.simSaw("RX /T0101 0013000\\"));
        QTRY_COMPARE(committedOn(w, 0, 0).enabled, std::uint8_t(1));
        QCOMPARE(committedOn(w, 0, 0).scope, int(BankScope));
        QTRY_COMPARE(w.queued(), std::size_t(0));

        w.form->tmFlash1Timer();
        for (int port = 1; port <= 8; ++port)
            QCOMPARE(
                w.form->findChild<QLabel *>(QStringLiteral("lblShowTime1%1").arg(port))->text(),
                QStringLiteral(" 1:30"));
        QCOMPARE(w.form->findChild<QLabel *>(QStringLiteral("lblShowTime21"))->text(), QString());
    }

    // Applying again, after a tab change or not, sends nothing the operator did not change, so the
    // switch does not restart the timer; neither does OK.
    void applyingAgainSendsNothingNew()
    {
        SimWindow w(testing::banks(2));
        QVERIFY(w.link());
        TForm4 &dialog = w.form->setTimerDialog();
        auto *apply = dialog.findChild<QPushButton *>(QStringLiteral("Apply"));
        bool confirmed = false;
        QTimer::singleShot(0, &dialog, [&] {
            setRow(dialog, 4, ModeAfter, 2, 0);
            apply->click();
            confirmed = QTest::qWaitFor([&] { return committedOn(w, 0, 2).enabled == 1; }, 3000);
            dialog.findChild<QTabBar *>(QStringLiteral("TabSet1"))->setCurrentIndex(1);
            apply->click();
            apply->click();
            dialog.findChild<QPushButton *>(QStringLiteral("BitBtn1"))->click();
        });
        w.form->SetTimer1Click();
        QVERIFY(confirmed);
        QVERIFY(nextPollSeen(w));
        QCOMPARE(timerFrames(w), QStringList { "/T0131 0020000\\" });
    }

    // A delay the switch reports beyond the 99 hours the operator may type shows whole and is left
    // alone by an OK without edits.
    void longReportedDelayShowsWholeAndIsNotSent()
    {
        SimWindow w(testing::banks(1));
        QVERIFY(w.link());
        QCOMPARE(w.simulated->command("say T0111 150 00 00"),
                 std::string("OK say T0111 150 00 00"));
        QTRY_COMPARE(committedOn(w, 0, 0).hour, 150);
        QCOMPARE(committedOn(w, 0, 0).mode, int(ModeAfter));

        TForm4 &dialog = w.form->setTimerDialog();
        QString shown;
        QTimer::singleShot(0, &dialog, [&] {
            shown = dialog.findChild<QLineEdit *>(QStringLiteral("edtHour2"))->text();
            dialog.findChild<QPushButton *>(QStringLiteral("BitBtn1"))->click();
        });
        w.form->SetTimer1Click();
        QCOMPARE(shown, QStringLiteral("150"));
        QVERIFY(nextPollSeen(w));
        QCOMPARE(timerFrames(w), QStringList {});
        QVERIFY(w.dialogs.messages.isEmpty());
    }

    // An all-banks timer saved to a file, cleared, and loaded again sets every port of every bank
    // once more. A timer set after the save, which the file has disabled, is cleared, although
    // the dialog shows another bank. A day later every port is on.
    void savedScheduleLoadsBackOntoTheSamePorts()
    {
        SimWindow w(testing::banks(2));
        QVERIFY(w.link());
        setTimers(w, [](TForm4 &dialog) { setRow(dialog, 0, ModeEveryDay, 7, 30); });
        QTRY_COMPARE(committedOn(w, 0, 0).enabled, std::uint8_t(1));
        const QString file = w.dir.filePath(QStringLiteral("day.pwr"));
        w.dialogs.files.push_back(file);
        inDialog(
            w, [](TForm4 &dialog) { click(dialog, "btnSave"); }, "BitBtn2");

        setTimers(w, [](TForm4 &dialog) {
            dialog.findChild<QTabBar *>(QStringLiteral("TabSet1"))->setCurrentIndex(1);
            setRow(dialog, 16, ModeAt, 8, 0); // power-off, bank 2 port 5
        });
        QTRY_COMPARE(w.queued(), std::size_t(0));
        setTimers(w, [](TForm4 &dialog) { click(dialog, "chkEnable0"); });
        QVERIFY(w.simSaw("RX /Q0001\\"));
        QTRY_COMPARE(w.queued(), std::size_t(0));

        w.dialogs.files.push_back(file);
        setTimers(w, [](TForm4 &dialog) { click(dialog, "btnLoad"); });
        QTRY_COMPARE_WITH_TIMEOUT(w.queued(), std::size_t(0), 10000);
        w.simulated->advanceClock(24h);
        QTRY_COMPARE(w.state.bank(1).switchLetters, std::string("OOOOOOOO"));
        QTRY_COMPARE(w.state.bank(2).switchLetters, std::string("OOOOOOOO"));
    }

    // An "At" timer a minute ahead fires in the switch; the next poll shows the port on.
    void atTimerFiresAndTheLampFollows()
    {
        SimWindow w(testing::banks(1));
        QVERIFY(w.link());
        setTimers(w, [](TForm4 &dialog) { setRow(dialog, 4, ModeAt, 10, 1); });
        QVERIFY(w.simSaw("RX /T0131 0000100\\"));
        QTRY_COMPARE(committedOn(w, 0, 2).enabled, std::uint8_t(1));
        QVERIFY(!w.state.bank(1).isOn(2));

        w.simulated->advanceClock(61s);
        QVERIFY(w.simSaw("TIMER FIRED"));
        w.form->link().tmQueryTimer();
        QTRY_VERIFY(w.state.bank(1).isOn(2));
        const PanelArt art;
        QTRY_COMPARE(w.form->findChild<QLabel *>("imLed13")->pixmap().toImage(),
                     art.lamp(2).toImage());
    }
};

QTEST_MAIN(TestScheduleEndToEnd)
#include "tst_schedulee2e.moc"
