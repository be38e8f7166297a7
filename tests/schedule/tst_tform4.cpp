#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>

#include "common/scripteddialogs.h"
#include "common/sharedstateaccess.h"
#include "link/linkstate.h"
#include "schedule/digitkeyfilter.h"
#include "schedule/schedulefile.h"
#include "schedule/scheduletransfer.h"
#include "schedule/tform4.h"
#include "schedule/updown.h"

using namespace relaybox;
using relaybox::testing::locked;
using relaybox::testing::unguarded;

namespace {

constexpr int kMonday = 2;
const LocalTime kMonday1000 { 2026, 12, 7, 10, 0, 0, kMonday };

const QString kOnIdentical =
    QStringLiteral("These Time Values should not be identical like for PowerOff Funciton");
const QString kOffIdentical =
    QStringLiteral("These Time Values should not be identical like for PowerON Funciton");

ScheduleEntry confirmed(int mode, int hour, int minute, int scope = PortScope)
{
    ScheduleEntry entry;
    entry.enabled = 1;
    entry.scope = scope;
    entry.mode = mode;
    entry.hour = hour;
    entry.minute = minute;
    entry.appliedDate = "2026/12/7";
    entry.appliedHour = 9;
    entry.appliedMinute = 5;
    return entry;
}

// A dialog on a chain of banks, with the transfer run the way the main window runs it.
struct Fixture
{
    explicit Fixture(int banks)
    {
        unguarded(state).link.bankCount = banks;
        for (int bank = 1; bank <= banks; ++bank)
            form.appendBankTab(bank);
        form.selectFirstBankTab();
        QObject::connect(&form, &TForm4::transferRequested, &form, [this] {
            const auto sent = locked(state, [this](StateValues &v) {
                return returnToTransfer(v.schedules, v.link.bankCount, clock.now());
            });
            for (const std::string &frame : sent)
                frames << QString::fromStdString(frame);
        });
    }

    template<typename T> T *child(const QString &name) const
    {
        T *found = form.findChild<T *>(name);
        if (!found)
            qFatal("no child %s", qPrintable(name));
        return found;
    }
    QCheckBox *box(int row) const
    {
        return child<QCheckBox>(QStringLiteral("chkEnable%1").arg(row));
    }
    QComboBox *mode(int row) const
    {
        return child<QComboBox>(QStringLiteral("cmbMode%1").arg(row));
    }
    QComboBox *day(int row) const { return child<QComboBox>(QStringLiteral("cmbDay%1").arg(row)); }
    QLineEdit *hour(int row) const
    {
        return child<QLineEdit>(QStringLiteral("edtHour%1").arg(row));
    }
    QLineEdit *minute(int row) const
    {
        return child<QLineEdit>(QStringLiteral("edtMinute%1").arg(row));
    }
    QLabel *applied(int row) const
    {
        return child<QLabel>(QStringLiteral("lblApplied%1").arg(row));
    }
    QPushButton *button(const char *name) const { return child<QPushButton>(QLatin1String(name)); }

    void set(int row, int modeIndex, int dayIndex, const QString &hours, const QString &minutes)
    {
        mode(row)->setCurrentIndex(modeIndex);
        day(row)->setCurrentIndex(dayIndex);
        hour(row)->setText(hours);
        minute(row)->setText(minutes);
    }

    // "x" ticked or "-", "L" locked or "u", "G" greyed Enable box or "e"; then the values.
    QString row(int index) const
    {
        const QString marks = QLatin1String(box(index)->isChecked() ? "x" : "-")
            + QLatin1String(mode(index)->isEnabled() ? "u" : "L")
            + QLatin1String(box(index)->isEnabled() ? "e" : "G");
        return QStringLiteral("%1 %2 %3 %4:%5")
            .arg(marks, mode(index)->currentText(), day(index)->currentText(), hour(index)->text(),
                 minute(index)->text());
    }

    SharedState state;
    FixedClock clock { kMonday1000 };
    testing::ScriptedDialogs dialogs;
    TForm4 form { state, clock, dialogs };
    QStringList frames;
};

} // namespace

class TestTForm4 : public QObject
{
    Q_OBJECT

private slots:
    void layout()
    {
        Fixture f(2);
        QCOMPARE(f.form.windowTitle(), QStringLiteral("Set Timer"));
        QCOMPARE(f.form.size(), QSize(653, 471));
        auto *pages = f.child<QTabWidget>(QStringLiteral("PageControl1"));
        QCOMPARE(pages->tabText(0), QStringLiteral("Power ON      "));
        QCOMPARE(pages->tabText(1), QStringLiteral("Power OFF    "));
        QCOMPARE(pages->widget(0)->objectName(), QStringLiteral("tbOn"));
        QCOMPARE(pages->widget(1)->objectName(), QStringLiteral("tbOff"));
        QCOMPARE(f.button("btnOneBank")->parent()->objectName(), QStringLiteral("tbOn"));
        QCOMPARE(f.button("btnOneClear1")->parent()->objectName(), QStringLiteral("tbOff"));
        QCOMPARE(f.button("btnOneBank")->geometry().topLeft(), QPoint(544, 344));

        QStringList buttons;
        for (const char *name : { "btnClear", "btnLoad", "btnSave", "BitBtn1", "BitBtn2", "Apply" })
            buttons << QStringLiteral("%1@%2,%3")
                           .arg(f.button(name)->text())
                           .arg(f.button(name)->x())
                           .arg(f.button(name)->y());
        QCOMPARE(buttons,
                 (QStringList { "Clear All@112,440", "Load@200,440", "Save@288,440", "OK@376,440",
                                "Cancel@464,440", "Apply@552,440" }));

        auto *tabs = f.child<QTabBar>(QStringLiteral("TabSet1"));
        QCOMPARE(tabs->geometry().topLeft(), QPoint(8, 408));
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(1), QStringLiteral("Bank2 "));
        QCOMPARE(f.box(3)->geometry().topLeft(), QPoint(29, 42 + 30 * 3));
        QCOMPARE(f.mode(13)->geometry(), QRect(164, 42 + 30 * 3, 100, 21));
        QCOMPARE(f.mode(0)->count(), 4);
        QCOMPARE(f.day(0)->itemText(7), QStringLiteral("Sat"));
    }

    void opensOnTheSelectedBank_data()
    {
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("shown");
        QTest::newRow("from the Time menu") << TForm4::kOpenedFromTimeMenu << 0;
        QTest::newRow("bank 3") << 2 << 2;
    }

    void opensOnTheSelectedBank()
    {
        QFETCH(int, selected);
        QFETCH(int, shown);
        Fixture f(3);
        f.form.setSelectedBank(selected);
        f.form.show();
        QCOMPARE(f.form.shownBank(), shown);
        QCOMPARE(f.child<QTabBar>(QStringLiteral("TabSet1"))->currentIndex(), shown);
        const QString number = QString::number(shown + 1);
        QCOMPARE(f.button("btnOneClear1")->text(), QStringLiteral("Clear Bank ") + number);
        QStringList labels;
        for (int row : { 0, 1, 2, 9, 10, 19 })
            labels << f.child<QLabel>(QStringLiteral("lblBank%1").arg(row))->text() + u'/'
                    + f.child<QLabel>(QStringLiteral("lblPort%1").arg(row))->text();
        QCOMPARE(labels,
                 (QStringList { "all/all", number + "/all", number + "/1", number + "/8", "all/all",
                                number + "/8" }));
    }

    void fillsFromTheCommittedTables()
    {
        Fixture f(1);
        unguarded(f.state).schedules.committedOn[0][2] = confirmed(ModeAt, 8, 15);
        unguarded(f.state).schedules.committedOff[0][0] = confirmed(ModeEveryDay, 6, 0, BankScope);
        unguarded(f.state).schedules.editorOn[0][5] =
            confirmed(ModeAt, 1, 0); // an edit never applied
        f.form.show();

        QCOMPARE(f.row(4), QStringLiteral("xLe At NULL 8:15"));
        QCOMPARE(f.applied(4)->text(), QStringLiteral("2026/12/7  9: 5"));
        QVERIFY(!f.applied(4)->isEnabled());
        QCOMPARE(f.row(7), QStringLiteral("-ue After NULL 0:0"));
        QCOMPARE(f.row(10), QStringLiteral("-ue After NULL 0:0"));
        QCOMPARE(f.row(11), QStringLiteral("xLe Every day NULL 6:0"));
        for (int row = 12; row < 20; ++row)
            QCOMPARE(f.row(row), QStringLiteral("xLG Every day NULL 6:0"));
        QCOMPARE(unguarded(f.state).schedules.editorOn[0][5], ScheduleEntry {});
    }

    void tickingAHeadRowCascades()
    {
        Fixture f(1);
        f.form.show();
        f.set(0, ModeEveryDay, 0, QStringLiteral("7"), QStringLiteral("30"));
        f.box(0)->click();
        QCOMPARE(f.row(0), QStringLiteral("xLe Every day NULL 7:30"));
        for (int row = 1; row < 10; ++row)
            QCOMPARE(f.row(row), QStringLiteral("xLG Every day NULL 7:30"));
        QCOMPARE(f.row(10), QStringLiteral("-ue After NULL 0:0"));
        QVERIFY(f.dialogs.messages.isEmpty());

        f.box(0)->click();
        for (int row = 0; row < 10; ++row)
            QCOMPARE(f.row(row), QStringLiteral("-ue After NULL 0:0"));
    }

    void refusedTicks_data()
    {
        QTest::addColumn<int>("firstRow");
        QTest::addColumn<int>("firstMode");
        QTest::addColumn<QString>("firstHour");
        QTest::addColumn<int>("secondRow");
        QTest::addColumn<int>("secondMode");
        QTest::addColumn<int>("secondDay");
        QTest::addColumn<QString>("secondHour");
        QTest::addColumn<QString>("message");
        QTest::newRow("weekly without a day")
            << -1 << 0 << "" << 4 << int(ModeEveryWeek) << 0 << "8"
            << "Please Select Value of Day field";
        QTest::newRow("power-off like power-on")
            << 4 << int(ModeAt) << "8" << 14 << int(ModeAt) << 0 << "8" << kOffIdentical;
        QTest::newRow("power-on like power-off")
            << 14 << int(ModeAt) << "8" << 4 << int(ModeAt) << 0 << "8" << kOnIdentical;
        QTest::newRow("After 1:00 like At in an hour")
            << 4 << int(ModeAfter) << "1" << 14 << int(ModeAt) << 0 << "11" << kOffIdentical;
        QTest::newRow("all banks like the other page's bank row")
            << 11 << int(ModeAt) << "8" << 0 << int(ModeAt) << 0 << "8" << kOnIdentical;
        QTest::newRow("a minute apart is fine")
            << 4 << int(ModeAt) << "9" << 14 << int(ModeAt) << 0 << "8"
            << "";
    }

    void refusedTicks()
    {
        QFETCH(int, firstRow);
        QFETCH(int, firstMode);
        QFETCH(QString, firstHour);
        QFETCH(int, secondRow);
        QFETCH(int, secondMode);
        QFETCH(int, secondDay);
        QFETCH(QString, secondHour);
        QFETCH(QString, message);
        Fixture f(1);
        f.form.show();
        if (firstRow >= 0) {
            f.set(firstRow, firstMode, 0, firstHour, QStringLiteral("0"));
            f.box(firstRow)->click();
        }
        f.set(secondRow, secondMode, secondDay, secondHour, QStringLiteral("0"));
        f.box(secondRow)->click();

        if (message.isEmpty()) {
            QVERIFY(f.dialogs.messages.isEmpty());
            QVERIFY(f.box(secondRow)->isChecked());
            return;
        }
        QCOMPARE(f.dialogs.messages, QStringList { QLatin1Char('|') + message }); // no title
        QCOMPARE(f.dialogs.icons[0], MessageIcon::Error);
        // Unticked, still editable, and not collected as a change.
        QVERIFY(!f.box(secondRow)->isChecked());
        QVERIFY(f.mode(secondRow)->isEnabled());
        QCOMPARE(f.hour(secondRow)->text(), secondHour);
        f.button("Apply")->click();
        const int port = secondRow % 10 - 2;
        if (port >= 0) {
            const ScheduleTable &table = secondRow < 10 ? unguarded(f.state).schedules.editorOn
                                                        : unguarded(f.state).schedules.editorOff;
            QCOMPARE(table[0][port].pending, std::uint8_t(0));
        }
    }

    void fieldChecks_data()
    {
        QTest::addColumn<int>("modeIndex");
        QTest::addColumn<bool>("hourField");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("leave");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("text");
        QTest::newRow("75 as an hour of day")
            << int(ModeAt) << true << "75" << false << "Value range: 0 - 23"
            << "23";
        QTest::newRow("75 hours of delay") << int(ModeAfter) << true << "75" << false << ""
                                           << "75";
        QTest::newRow("a point") << int(ModeAfter) << true << "." << false << "Value range: 0 - 99"
                                 << "99";
        QTest::newRow("letters are dropped") << int(ModeAt) << false << "a5b" << false << ""
                                             << "5";
        QTest::newRow("minute 60") << int(ModeAt) << false << "60" << false << "Value range: 0 - 59"
                                   << "59";
        QTest::newRow("empty minute left")
            << int(ModeAt) << false << "" << true << "Value must between 0 and 59"
            << "59";
        QTest::newRow("empty hour left")
            << int(ModeEveryDay) << true << "" << true << "Value must between 0 and 23"
            << "23";
        QTest::newRow("valid minute left") << int(ModeAt) << false << "7" << true << ""
                                           << "7";
    }

    void fieldChecks()
    {
        QFETCH(int, modeIndex);
        QFETCH(bool, hourField);
        QFETCH(QString, typed);
        QFETCH(bool, leave);
        QFETCH(QString, message);
        QFETCH(QString, text);
        Fixture f(1);
        f.form.show();
        f.mode(5)->setCurrentIndex(modeIndex);
        QLineEdit *field = hourField ? f.hour(5) : f.minute(5);
        field->clear();
        QTest::keyClicks(field, typed);
        if (leave) {
            QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
            QCoreApplication::sendEvent(field, &out);
        }
        QCOMPARE(f.dialogs.messageTexts(),
                 message.isEmpty() ? QStringList {} : QStringList { message });
        if (!message.isEmpty())
            QCOMPARE(f.dialogs.icons[0], MessageIcon::None);
        QCOMPARE(field->text(), text);
    }

    void modeChangesLimitTheHour()
    {
        Fixture f(1);
        f.form.show();
        f.hour(3)->setText(QStringLiteral("40"));
        f.mode(3)->setCurrentIndex(ModeEveryWeek);
        QCOMPARE(f.row(3), QStringLiteral("-ue Every week NULL 23:0"));
        QVERIFY(f.day(3)->isEnabled());
        f.day(3)->setCurrentIndex(3);
        f.mode(3)->setCurrentIndex(ModeAt);
        QCOMPARE(f.row(3), QStringLiteral("-ue At NULL 23:0"));
        QVERIFY(!f.day(3)->isEnabled());
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    void spinnersWrapWithinTheirRange()
    {
        Fixture f(1);
        f.form.show();
        auto *hours = f.child<UpDown>(QStringLiteral("udHour5"));
        auto *minutes = f.child<UpDown>(QStringLiteral("udMinute5"));
        f.mode(5)->setCurrentIndex(ModeEveryDay);
        f.hour(5)->setText(QStringLiteral("22"));
        hours->stepUp();
        QCOMPARE(f.hour(5)->text(), QStringLiteral("23"));
        hours->stepUp();
        QCOMPARE(f.hour(5)->text(), QStringLiteral("0"));
        hours->stepDown();
        QCOMPARE(f.hour(5)->text(), QStringLiteral("23"));
        f.mode(5)->setCurrentIndex(ModeAfter);
        hours->stepUp();
        QCOMPARE(f.hour(5)->text(), QStringLiteral("24"));
        f.minute(5)->setText(QStringLiteral("0"));
        minutes->stepDown();
        QCOMPARE(f.minute(5)->text(), QStringLiteral("59"));
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    void keyFilter()
    {
        QLineEdit field;
        DigitKeyFilter filter;
        field.installEventFilter(&filter);
        QSignalSpy enter(&filter, &DigitKeyFilter::enterPressed);
        QTest::keyClicks(&field, QStringLiteral("1x.-2"));
        QTest::keyClick(&field, Qt::Key_Backspace);
        QCOMPARE(field.text(), QStringLiteral("1."));
        QTest::keyClick(&field, Qt::Key_Return);
        QTest::keyClick(&field, Qt::Key_Enter);
        QCOMPARE(enter.count(), 2);
    }

    void clearAllThenApply()
    {
        Fixture f(2);
        ScheduleTables &tables = unguarded(f.state).schedules;
        tables.committedOn[0][0] = confirmed(ModeAt, 7, 0, BankScope);
        tables.committedOn[1][3] = confirmed(ModeAt, 7, 0);
        tables.committedOff[0][5] = confirmed(ModeAt, 9, 0);
        f.form.show();
        f.button("btnClear")->click();
        for (int row = 0; row < TForm4::kRowCount; ++row)
            QVERIFY(!f.box(row)->isChecked());
        QCOMPARE(tables.editorOn[0][0].scope, std::int32_t(ClearBank));
        QCOMPARE(tables.editorOn[1][3].pending, std::uint8_t(1));
        QCOMPARE(tables.editorOn[1][3].enabled, std::uint8_t(0));

        f.button("Apply")->click();
        QCOMPARE(f.frames, (QStringList { "/Q0101\\", "/Q0241\\", "/Q0160\\" }));
        QVERIFY(f.form.isVisible());
    }

    void clearBankUnticksTheShownRows()
    {
        Fixture f(2);
        unguarded(f.state).schedules.committedOn[0][1] = confirmed(ModeAt, 7, 0);
        unguarded(f.state).schedules.committedOn[1][1] = confirmed(ModeAt, 7, 0);
        f.form.show();
        f.button("btnOneClear1")->click();
        QVERIFY(!f.box(3)->isChecked());
        f.button("Apply")->click();
        QCOMPARE(f.frames, QStringList { "/Q0121\\" });
        f.button("Apply")->click();
        QCOMPARE(f.frames, QStringList { "/Q0121\\" });
    }

    void loadThenApply()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("week.pwr"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("0 0 2 1 0 1 0 8 15\n0 0 5 0 0 0 0 0 0\n1 1 0 1 0 2 0 6 0\n0 5 0 1 0 1 0 9 0\n"
                   "0 1 1 1 0 0 0 150 0\n");
        file.close();

        Fixture f(2);
        unguarded(f.state).schedules.committedOn[0][5] = confirmed(ModeAt, 7, 0);
        f.form.show();
        f.dialogs.files.push_back(path);
        f.button("btnLoad")->click();
        QCOMPARE(f.dialogs.fileRequests.size(), 1);
        const auto &request = f.dialogs.fileRequests[0];
        QCOMPARE(request.kind, testing::ScriptedDialogs::FileRequest::Open);
        QCOMPARE(request.filter, QStringLiteral("power file(.pwr)|*.pwr|all file(*.*)|*.*"));
        QCOMPARE(request.defaultSuffix, QStringLiteral(".pwr"));
        QCOMPARE(request.fileName, QStringLiteral("default0"));
        QCOMPARE(f.row(4), QStringLiteral("xLe At NULL 8:15"));
        QCOMPARE(f.row(7), QStringLiteral("-ue After NULL 0:0"));

        f.child<QTabBar>(QStringLiteral("TabSet1"))->setCurrentIndex(1);
        // A delay beyond what the operator may type shows and goes out whole.
        QCOMPARE(f.row(3), QStringLiteral("xLe After NULL 150:0"));
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QCoreApplication::sendEvent(f.hour(3), &out);
        f.button("Apply")->click();
        // The port the file disables is cleared, the loaded timers are sent, bank 6 is ignored.
        QCOMPARE(f.frames,
                 (QStringList { "/Q0161\\", "/T0131 0221500\\", "/T0221 1500000\\",
                                "/D0210 0200000\\" }));
        QCOMPARE(f.form.selectedBank(), 1);
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    void loadCancelledOrUnreadableChangesNothing()
    {
        Fixture f(1);
        f.form.show();
        f.set(4, ModeAt, 0, QStringLiteral("6"), QStringLiteral("0"));
        f.box(4)->click();
        f.dialogs.files.push_back(std::nullopt);
        f.dialogs.files.push_back(QStringLiteral("/no/such/file.pwr"));
        f.button("btnLoad")->click();
        f.button("btnLoad")->click();
        QCOMPARE(f.row(4), QStringLiteral("xLe At NULL 6:0"));
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    void tabChangeCollectsEdits()
    {
        Fixture f(2);
        f.form.setSelectedBank(0);
        f.form.show();
        f.set(4, ModeAt, 0, QStringLiteral("9"), QStringLiteral("30"));
        f.box(4)->click();
        auto *tabs = f.child<QTabBar>(QStringLiteral("TabSet1"));
        tabs->setCurrentIndex(1);

        const ScheduleEntry &edited = unguarded(f.state).schedules.editorOn[0][2];
        QCOMPARE(edited.pending, std::uint8_t(1));
        QCOMPARE(edited.enabled, std::uint8_t(1));
        QCOMPARE(edited.hour, 9);
        QCOMPARE(edited.minute, 30);
        QCOMPARE(f.form.shownBank(), 1);
        QCOMPARE(f.form.selectedBank(), 0);
        QCOMPARE(f.child<QLabel>(QStringLiteral("lblBank4"))->text(), QStringLiteral("2"));
        QCOMPARE(f.button("btnOneBank")->text(), QStringLiteral("Clear Bank 2"));
        QCOMPARE(f.row(4), QStringLiteral("-ue After NULL 0:0"));

        tabs->setCurrentIndex(0);
        QCOMPARE(f.row(4), QStringLiteral("xLe At NULL 9:30"));
    }

    void flaggedPortsShowInvalid()
    {
        Fixture f(1);
        ScheduleTables &tables = unguarded(f.state).schedules;
        tables.committedOn[0][4] = confirmed(ModeAt, 7, 0);
        tables.committedOn[0][4].invalid = 1;
        tables.committedOff[0][4].invalid = 1;
        f.form.show();
        for (int row : { 6, 16 }) {
            QCOMPARE(f.applied(row)->text(), QStringLiteral("Invalid"));
            QCOMPARE(f.applied(row)->palette().color(QPalette::WindowText), QColor(Qt::red));
            QVERIFY(f.box(row)->isHidden());
            QVERIFY(f.mode(row)->isHidden());
            QVERIFY(f.hour(row)->isHidden());
        }
        QVERIFY(!f.box(5)->isHidden());
        QCOMPARE(f.applied(5)->text(), QString());

        // A cascade passes over the flagged row.
        f.box(0)->click();
        QVERIFY(f.box(5)->isChecked());
        QVERIFY(!f.box(6)->isChecked());

        tables.committedOn[0][4].invalid = 0;
        tables.committedOff[0][4].invalid = 0;
        f.form.refreshIfShowing(0);
        QVERIFY(!f.box(6)->isHidden());
        QCOMPARE(f.row(6), QStringLiteral("xLe At NULL 7:0"));
    }

    void refreshAndCancel()
    {
        Fixture f(3);
        f.form.setSelectedBank(1);
        f.form.show();
        unguarded(f.state).schedules.committedOn[1][0] = confirmed(ModeAt, 5, 0);
        f.form.refreshIfShowing(0);
        QCOMPARE(f.row(2), QStringLiteral("-ue After NULL 0:0"));
        f.form.refreshIfShowing(1);
        QCOMPARE(f.row(2), QStringLiteral("xLe At NULL 5:0"));

        f.form.cancelIfShowingBankFrom(2);
        QVERIFY(f.form.isVisible());
        f.form.cancelIfShowingBankFrom(1);
        QVERIFY(!f.form.isVisible());
        QCOMPARE(f.form.result(), int(QDialog::Rejected));

        // A bank reached by a tab change counts as well.
        f.form.setSelectedBank(0);
        f.form.show();
        f.child<QTabBar>(QStringLiteral("TabSet1"))->setCurrentIndex(2);
        f.form.cancelIfShowingBankFrom(2);
        QVERIFY(!f.form.isVisible());

        f.form.show();
        f.form.cancelIfVisible();
        QVERIFY(!f.form.isVisible());
    }

    void bankTabsFollowTheChain()
    {
        Fixture f(3);
        auto *tabs = f.child<QTabBar>(QStringLiteral("TabSet1"));
        f.form.removeBankTab(3);
        QCOMPARE(tabs->count(), 2);
        f.form.appendBankTab(3);
        QCOMPARE(tabs->tabText(2), QStringLiteral("Bank3 "));
        f.form.removeAllBankTabs();
        QCOMPARE(tabs->count(), 0);
        f.form.removeBankTab(1);
        QCOMPARE(tabs->count(), 0);
    }

    void save()
    {
        QTemporaryDir folder;
        const QString good = folder.filePath(QStringLiteral("out.pwr"));
        const QString bad = folder.filePath(QStringLiteral("missing/out.pwr"));
        Fixture f(1);
        f.form.show();
        f.set(2, ModeAt, 0, QStringLiteral("8"), QStringLiteral("0"));
        f.box(2)->click();
        f.dialogs.files.push_back(bad);
        f.dialogs.files.push_back(good);
        f.button("btnSave")->click();
        QCOMPARE(f.dialogs.messageTexts(),
                 QStringList { QStringLiteral("Unable to write to ") + bad });
        QCOMPARE(f.dialogs.icons[0], MessageIcon::Error);
        QCOMPARE(f.dialogs.fileRequests[0].kind, testing::ScriptedDialogs::FileRequest::Save);
        QCOMPARE(f.dialogs.fileRequests[0].filter,
                 QStringLiteral("power file(*.pwr)|*.pwr|all file(*.*)|*.*"));
        QCOMPARE(f.dialogs.fileRequests[0].fileName, QStringLiteral("default0"));

        f.button("btnSave")->click();
        QCOMPARE(f.dialogs.messages.size(), 1);
        QFile saved(good);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll().startsWith("0 0 0 1 0 1 0 8 0 0 0 1 0 0 0 0 0 0 "));
    }

    void okCollectsAndCancelDoesNot()
    {
        Fixture f(1);
        f.form.show();
        f.set(3, ModeAt, 0, QStringLiteral("8"), QStringLiteral("0"));
        f.box(3)->click();
        f.button("BitBtn2")->click();
        QCOMPARE(f.form.result(), int(QDialog::Rejected));
        QCOMPARE(unguarded(f.state).schedules.editorOn[0][1].pending, std::uint8_t(0));

        f.form.show();
        f.set(3, ModeAt, 0, QStringLiteral("8"), QStringLiteral("0"));
        f.box(3)->click();
        f.button("BitBtn1")->click();
        QCOMPARE(f.form.result(), int(QDialog::Accepted));
        QVERIFY(!f.form.isVisible());
        QCOMPARE(unguarded(f.state).schedules.editorOn[0][1].pending, std::uint8_t(1));
        QVERIFY(f.frames.isEmpty());
    }
};

QTEST_MAIN(TestTForm4)
#include "tst_tform4.moc"
