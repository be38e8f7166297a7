#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>

#include "settings/settingsmessages.h"
#include "settings/tokrightdlg.h"

using relaybox::Settings;
using relaybox::TOKRightDlg;

namespace {

const QStringList kPorts { "AUTO", "COM1", "COM3", "COM7" };

// Records message boxes instead of showing them.
class RecordedDialogs final : public relaybox::OperatorDialogs
{
public:
    struct Message
    {
        QString title;
        QString text;
        relaybox::MessageIcon icon;
        relaybox::MessageButtons buttons;
    };
    QList<Message> messages;

    relaybox::MessageAnswer message(const QString &title, const QString &text,
                                    relaybox::MessageIcon icon,
                                    relaybox::MessageButtons buttons) override
    {
        messages.append({ title, text, icon, buttons });
        return relaybox::MessageAnswer::Ok;
    }
    std::optional<QString> openFileName(const QString &, const QString &, const QString &) override
    {
        return std::nullopt;
    }
    std::optional<QString> saveFileName(const QString &, const QString &, const QString &) override
    {
        return std::nullopt;
    }
};

// The dialog with its settings and link flag, and quick access to its controls by name.
struct Fixture
{
    Settings settings { 2, true, true, true, false, true };
    bool linkUp = false;
    TOKRightDlg dialog { settings, kPorts, [this] {
                            return linkUp;
                        } };

    template<typename T> T *find(const char *name) const
    {
        return dialog.findChild<T *>(QLatin1String(name));
    }
    QComboBox *port() const { return find<QComboBox>("comboPortSel"); }
    QCheckBox *box(const char *name) const { return find<QCheckBox>(name); }
    void click(const char *button) const { find<QPushButton>(button)->click(); }

    // Edits every control away from the settings above.
    void edit() const
    {
        port()->setCurrentIndex(3);
        box("chkAuto")->setChecked(false);
        box("cbOnPrompt")->setChecked(false);
        box("ckbSetRTC")->setChecked(true);
        box("cbRestoreStatus")->setChecked(false);
    }
    bool showsSettings() const
    {
        return port()->currentIndex() == settings.comPort
            && box("chkAuto")->isChecked() == settings.autoConnect
            && box("cbOnPrompt")->isChecked() == settings.prompt
            && box("ckbSetRTC")->isChecked() == settings.setRtc
            && box("cbRestoreStatus")->isChecked() == settings.restoreStatus;
    }
};

} // namespace

Q_DECLARE_METATYPE(relaybox::SettingsResult)

class TestTOKRightDlg : public QObject
{
    Q_OBJECT

private slots:
    void windowAndTabOrder()
    {
        Fixture f;
        QCOMPARE(f.dialog.windowTitle(), QStringLiteral("Configuration"));
        QCOMPARE(f.dialog.size(), QSize(402, 262));
        QCOMPARE(f.dialog.minimumSize(), f.dialog.maximumSize());
        QCOMPARE(f.port()->isEditable(), false);
        QCOMPARE(f.port()->width(), 79);
        QStringList items;
        for (int i = 0; i < f.port()->count(); ++i)
            items << f.port()->itemText(i);
        QCOMPARE(items, kPorts);

        QStringList order;
        QWidget *widget = f.find<QWidget>("BitBtn1");
        for (int i = 0; i < 7; ++i, widget = widget->nextInFocusChain())
            order << widget->objectName();
        QCOMPARE(order,
                 (QStringList { "BitBtn1", "BitBtn2", "cbOnPrompt", "comboPortSel", "chkAuto",
                                "ckbSetRTC", "cbRestoreStatus" }));
    }

    // Connect reads these while the dialog was never shown: they hold the loaded settings, so
    // that Connect after an automatic start saves what the operator had chosen.
    void connectReadsTheControlsBeforeAnyShowing()
    {
        Fixture f;
        QCOMPARE(f.dialog.selectedPort(), 2);
        QCOMPARE(f.dialog.autoConnectChecked(), true);
    }

    // Return presses the focused button, and OK from anywhere else; Esc is Cancel.
    void keys_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        QTest::newRow("Return on Cancel")
            << "BitBtn2" << int(Qt::Key_Return) << int(QDialog::Rejected);
        QTest::newRow("Enter on Cancel")
            << "BitBtn2" << int(Qt::Key_Enter) << int(QDialog::Rejected);
        QTest::newRow("Return on OK") << "BitBtn1" << int(Qt::Key_Return) << int(QDialog::Accepted);
        QTest::newRow("Return on a box")
            << "cbOnPrompt" << int(Qt::Key_Return) << int(QDialog::Accepted);
        QTest::newRow("Esc on OK") << "BitBtn1" << int(Qt::Key_Escape) << int(QDialog::Rejected);
    }

    void keys()
    {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(int, result);
        Fixture f;
        const Settings saved = f.settings;
        QSignalSpy finished(&f.dialog, &QDialog::finished);
        f.dialog.show();
        f.edit();
        auto *widget = f.find<QWidget>(focus.toLatin1().constData());
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key(key));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), result);
        if (result == QDialog::Rejected)
            QCOMPARE(f.settings, saved);
        else
            QCOMPARE(f.settings.comPort, 3);
    }

    void showLoadsSettingsAndLocksWhileLinked_data()
    {
        QTest::addColumn<bool>("linkUp");
        QTest::newRow("linked") << true;
        QTest::newRow("not linked") << false;
    }

    void showLoadsSettingsAndLocksWhileLinked()
    {
        QFETCH(bool, linkUp);

        Fixture f;
        f.linkUp = linkUp;
        f.dialog.show();
        QVERIFY(f.showsSettings());
        QCOMPARE(f.port()->isEnabled(), !linkUp);
        QCOMPARE(f.box("chkAuto")->isEnabled(), !linkUp);
        QVERIFY(f.box("cbOnPrompt")->isEnabled());
        QVERIFY(f.box("ckbSetRTC")->isEnabled());
        QVERIFY(f.box("cbRestoreStatus")->isEnabled());

        // The lock follows the link at every showing.
        f.click("BitBtn2");
        f.linkUp = !linkUp;
        f.dialog.show();
        QCOMPARE(f.port()->isEnabled(), linkUp);
    }

    void portOutOfTheListShowsAuto()
    {
        Fixture f;
        f.settings.comPort = 9;
        f.dialog.show();
        QCOMPARE(f.dialog.selectedPort(), 0);
    }

    void okCopiesAndSignalsClockSync_data()
    {
        QTest::addColumn<bool>("setRtc");
        QTest::newRow("clock sync on") << true;
        QTest::newRow("clock sync off") << false;
    }

    void okCopiesAndSignalsClockSync()
    {
        QFETCH(bool, setRtc);

        Fixture f;
        QSignalSpy on(&f.dialog, &TOKRightDlg::hourlySyncTurnedOn);
        QSignalSpy off(&f.dialog, &TOKRightDlg::hourlySyncTurnedOff);
        QSignalSpy finished(&f.dialog, &QDialog::finished);
        f.dialog.show();
        f.edit();
        f.box("ckbSetRTC")->setChecked(setRtc);
        f.click("BitBtn1");

        QCOMPARE(f.settings, (Settings { 3, false, false, true, setRtc, false }));
        QCOMPARE(on.count(), setRtc ? 1 : 0);
        QCOMPARE(off.count(), setRtc ? 0 : 1);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(f.dialog.result(), int(QDialog::Accepted));
        QVERIFY(!f.dialog.isVisible());
    }

    void cancelReloadsTheControls_data()
    {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Cancel button") << false;
        QTest::newRow("Esc") << true;
    }

    void cancelReloadsTheControls()
    {
        QFETCH(bool, escape);

        Fixture f;
        const Settings before = f.settings;
        QSignalSpy on(&f.dialog, &TOKRightDlg::hourlySyncTurnedOn);
        QSignalSpy off(&f.dialog, &TOKRightDlg::hourlySyncTurnedOff);
        f.dialog.show();
        f.edit();
        if (escape)
            QTest::keyClick(&f.dialog, Qt::Key_Escape);
        else
            f.click("BitBtn2");

        QCOMPARE(f.dialog.result(), int(QDialog::Rejected));
        QVERIFY(!f.dialog.isVisible());
        QCOMPARE(f.settings, before);
        QVERIFY(f.showsSettings());
        QCOMPARE(f.dialog.selectedPort(), before.comPort);
        QCOMPARE(on.count() + off.count(), 0);
    }

    // The close box and a lost link end the dialog as cancelled but keep the edits, which
    // Connect then reads.
    void closingWithoutCancelKeepsEdits_data()
    {
        QTest::addColumn<bool>("linkLost");
        QTest::newRow("close box") << false;
        QTest::newRow("link lost") << true;
    }

    void closingWithoutCancelKeepsEdits()
    {
        QFETCH(bool, linkLost);

        Fixture f;
        const Settings before = f.settings;
        f.dialog.show();
        f.edit();
        if (linkLost)
            f.dialog.endWithCancel();
        else
            f.dialog.close();

        QCOMPARE(f.dialog.result(), int(QDialog::Rejected));
        QVERIFY(!f.dialog.isVisible());
        QCOMPARE(f.settings, before);
        QCOMPARE(f.dialog.selectedPort(), 3);
        QCOMPARE(f.dialog.autoConnectChecked(), false);
    }

    void linkLostLeavesAHiddenDialogAlone()
    {
        Fixture f;
        QSignalSpy finished(&f.dialog, &QDialog::finished);
        f.dialog.endWithCancel();
        QCOMPARE(finished.count(), 0);
    }

    void settingsMessages_data()
    {
        QTest::addColumn<relaybox::SettingsResult>("result");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("icon");

        QTest::newRow("cannot create")
            << relaybox::SettingsResult { relaybox::SettingsStatus::CannotCreate, "/x/define.ini" }
            << ""
            << "Can not find configuration file !" << int(relaybox::MessageIcon::None);
        QTest::newRow("cannot write")
            << relaybox::SettingsResult { relaybox::SettingsStatus::CannotWrite, "/x/define.ini" }
            << "KESTRANE Relaybox Management"
            << "Unable to write to /x/define.ini" << int(relaybox::MessageIcon::Error);
    }

    void settingsMessages()
    {
        QFETCH(relaybox::SettingsResult, result);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(int, icon);

        RecordedDialogs dialogs;
        relaybox::reportSettingsResult(dialogs, result);
        relaybox::reportSettingsResult(dialogs, { relaybox::SettingsStatus::Ok, "/x/define.ini" });
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages[0].title, title);
        QCOMPARE(dialogs.messages[0].text, text);
        QCOMPARE(int(dialogs.messages[0].icon), icon);
        QCOMPARE(int(dialogs.messages[0].buttons), int(relaybox::MessageButtons::Ok));
    }
};

QTEST_MAIN(TestTOKRightDlg)
#include "tst_tokrightdlg.moc"
