#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include "common/fakeserialport.h"
#include "common/scripteddialogs.h"
#include "common/sharedstateaccess.h"
#include "link/linkmessages.h"
#include "panel/bankpanel.h"
#include "panel/mainmenu.h"
#include "panel/panelstack.h"
#include "panel/tform1.h"
#include "resources/panelart.h"

using namespace relaybox;
using relaybox::testing::locked;
using testing::FakeLine;

Q_DECLARE_METATYPE(relaybox::OpenError)

namespace {

// The main window on an in-memory line, its settings in a temporary folder.
struct Window
{
    // The link opens linkLine when one is given, the detection dialog always `line`.
    explicit Window(const QByteArray &ini = "[Form]\nAuto=0\nPrompt=0\n",
                    std::shared_ptr<FakeLine> linkLine = {})
    {
        QFile file(dir.filePath(QStringLiteral("define.ini")));
        if (!ini.isNull() && file.open(QIODevice::WriteOnly))
            file.write(ini);
        file.close();
        MainWindowEnvironment environment { state, clock, dialogs };
        environment.settingsPath = dir.filePath(QStringLiteral("define.ini")).toStdString();
        environment.hostPorts = [] {
            return HostPortTable(std::vector<HostPort> { { "sim", "fake" } });
        };
        environment.portFactory = testing::fakePortFactory(linkLine ? linkLine : line);
        environment.detection.portFactory = testing::fakePortFactory(line);
        environment.detection.pause = [](std::chrono::milliseconds) {
        };
        environment.useNotificationArea = false;
        form = std::make_unique<TForm1>(std::move(environment));
    }

    int shownBankCount()
    {
        return locked(state, [](StateValues &v) { return v.link.shownBankCount; });
    }

    // A link straight to the fake line, the switch reporting `banks` banks.
    void link(int banks)
    {
        form->menu().setConnected(true);
        QVERIFY(form->link().startLink("fake"));
        line->feed("/xyz\\/M" + std::to_string(banks) + "\\");
        QTRY_COMPARE(shownBankCount(), banks);
    }

    QStringList written() const
    {
        QStringList frames;
        for (const std::string &frame : line->written())
            frames << QString::fromStdString(frame);
        return frames;
    }

    template<typename T> T *find(const QString &name) const { return form->findChild<T *>(name); }

    QImage picture(const QString &name) const
    {
        auto *label = find<QLabel>(name);
        return label ? label->pixmap().toImage() : QImage();
    }

    QTemporaryDir dir;
    SharedState state;
    FixedClock clock { LocalTime { 2026, 12, 7, 10, 0, 20, 2 } };
    testing::ScriptedDialogs dialogs;
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    std::unique_ptr<TForm1> form;
};

const PanelArt &art()
{
    static const PanelArt instance;
    return instance;
}

} // namespace

class TestTForm1 : public QObject
{
    Q_OBJECT

private slots:
    void startsDisconnected()
    {
        Window w;
        QCOMPARE(w.form->windowTitle(), QStringLiteral("KESTRANE Relaybox Management"));
        QVERIFY(w.form->menu().mlConnect->isEnabled());
        QVERIFY(!w.form->menu().mlDisconnect->isEnabled());
        QVERIFY(!w.form->menu().mlTools1->menuAction()->isEnabled());
        QVERIFY(!w.form->menu().mlSetRTC->menuAction()->isEnabled());
        QVERIFY(!w.form->menu().SetTimer1->isEnabled());
        for (int panel = 1; panel <= 3; ++panel)
            QVERIFY(w.find<QWidget>(QStringLiteral("UniClass%1").arg(panel))->isHidden());
        QVERIFY(w.find<QScrollBar>(QStringLiteral("ScrollBar1"))->isHidden());
    }

    void controlsAreNamedAndTagged()
    {
        Window w;
        for (int panel = 1; panel <= 3; ++panel) {
            for (int port = 1; port <= 8; ++port) {
                const QString suffix = QStringLiteral("%1%2").arg(panel).arg(port);
                auto *button = w.find<QWidget>(QStringLiteral("imButton") + suffix);
                QVERIFY(button);
                QCOMPARE(button->property("Tag").toInt(), 10 * panel + port);
                QVERIFY(w.find<QWidget>(QStringLiteral("imLed") + suffix));
                QVERIFY(w.find<QLabel>(QStringLiteral("lblShowTime") + suffix));
            }
            QCOMPARE(
                w.find<QWidget>(QStringLiteral("btnRight%1").arg(panel))->property("Tag").toInt(),
                panel);
            for (int digit = 1; digit <= 2; ++digit) {
                QVERIFY(w.find<QWidget>(QStringLiteral("imDisCurrent%1%2").arg(panel).arg(digit)));
                QVERIFY(w.find<QWidget>(QStringLiteral("imDisBank%1%2").arg(panel).arg(digit)));
            }
        }
    }

    void layoutAndPaging_data()
    {
        QTest::addColumn<int>("banks");
        QTest::addColumn<int>("shownPanels");
        QTest::addColumn<int>("scrollMaximum");
        QTest::newRow("1") << 1 << 1 << 0;
        QTest::newRow("2") << 2 << 2 << 0;
        QTest::newRow("3") << 3 << 3 << 0;
        QTest::newRow("4") << 4 << 3 << 2;
        QTest::newRow("16") << 16 << 3 << 14;
    }

    void layoutAndPaging()
    {
        QFETCH(int, banks);
        QFETCH(int, shownPanels);
        QFETCH(int, scrollMaximum);
        Window w;
        w.link(banks);
        for (int panel = 1; panel <= 3; ++panel)
            QCOMPARE(!w.find<QWidget>(QStringLiteral("UniClass%1").arg(panel))->isHidden(),
                     panel <= shownPanels);
        QCOMPARE(!w.find<QWidget>(QStringLiteral("imSeparated1"))->isHidden(), shownPanels >= 2);
        QCOMPARE(!w.find<QWidget>(QStringLiteral("imSeparated2"))->isHidden(), shownPanels >= 3);
        auto *scrollBar = w.find<QScrollBar>(QStringLiteral("ScrollBar1"));
        QCOMPARE(!scrollBar->isHidden(), scrollMaximum > 0);
        if (scrollMaximum > 0)
            QCOMPARE(scrollBar->maximum(), scrollMaximum);
        QCOMPARE(w.picture("imDisBank12"), art().bankDigit(1).toImage());

        // The last page shows the last three banks.
        scrollBar->setValue(scrollBar->maximum());
        const int last = scrollBar->value() + 2;
        QCOMPARE(w.picture("imDisBank31"), art().bankDigit(last / 10).toImage());
        QCOMPARE(w.picture("imDisBank32"), art().bankDigit(last % 10).toImage());
        QCOMPARE(w.picture("imDisBank12"), art().bankDigit(scrollBar->value() % 10).toImage());
    }

    void pagingShiftsEveryReadOut()
    {
        Window w;
        w.link(4);
        w.line->feed("/S02 GGGGGGGG OCCCCCCC 12.7\\");
        QTRY_COMPARE(w.picture("imDisCurrent21"), art().currentDigit(1).toImage());
        QCOMPARE(w.picture("imDisCurrent22"), art().currentDigit(2).toImage());
        QCOMPARE(w.picture("imLed21"), art().labelledLamp(2).toImage());
        w.find<QScrollBar>(QStringLiteral("ScrollBar1"))->setValue(2);
        QCOMPARE(w.picture("imDisBank12"), art().bankDigit(2).toImage());
        QCOMPARE(w.picture("imDisCurrent11"), art().currentDigit(1).toImage());
        QCOMPARE(w.picture("imLed11"), art().labelledLamp(2).toImage());
    }

    void statusReplyDrawsLampsAndCurrent_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QList<int>>("lamps");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("second");
        QTest::newRow("full status") << QByteArray("/S01 GFGGGGGF OCOCCCCO 3.4\\")
                                     << QList<int> { 2, 1, 2, 0, 0, 0, 0, 3 } << 13 << 4;
        QTest::newRow("letters then current") << QByteArray("/S01 OOOOOOOO\\/C01 5.05\\")
                                              << QList<int> { 2, 2, 2, 2, 2, 2, 2, 2 } << 15 << 0;
        QTest::newRow("clamped current") << QByteArray("/S01 CCCCCCCC\\/C01 150.0\\")
                                         << QList<int> { 0, 0, 0, 0, 0, 0, 0, 0 } << 9 << 9;
    }

    void statusReplyDrawsLampsAndCurrent()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QList<int>, lamps);
        QFETCH(int, first);
        QFETCH(int, second);
        Window w;
        w.link(1);
        w.line->feed(reply.toStdString());
        QTRY_COMPARE(w.picture("imDisCurrent11"), art().currentDigit(first).toImage());
        QTRY_COMPARE(w.picture("imDisCurrent12"), art().currentDigit(second).toImage());
        for (int port = 1; port <= 8; ++port) {
            const QImage expected = port == 1 ? art().labelledLamp(lamps.at(port - 1)).toImage()
                                              : art().lamp(lamps.at(port - 1)).toImage();
            QCOMPARE(w.picture(QStringLiteral("imLed1%1").arg(port)), expected);
        }
    }

    void flaggedPortMarksItsEntriesInvalid()
    {
        Window w;
        w.link(2);
        w.line->feed("/S02 GGFGGGGG\\");
        const auto invalid = [&](bool powerOn, int port) {
            return locked(w.state, [&](StateValues &v) {
                return v.schedules.committed(powerOn)[1][port].invalid;
            });
        };
        QTRY_VERIFY(invalid(true, 2) == 1);
        QVERIFY(invalid(false, 2) == 1);
        QVERIFY(invalid(true, 1) == 0);
    }

    void flashTickCountsDown()
    {
        Window w;
        w.link(1);
        locked(w.state, [](StateValues &v) {
            ScheduleEntry &entry = v.schedules.committedOn[0][2];
            entry.enabled = 1;
            entry.mode = ModeAfter;
            entry.hour = 1;
            entry.minute = 30;
            entry.appliedWeekday = 2;
            entry.appliedHour = 10;
            entry.appliedMinute = 0;
            entry.appliedSecond = 20;
        });
        w.clock.set({ 2026, 12, 7, 10, 5, 10, 2 });
        auto *label = w.find<QLabel>(QStringLiteral("lblShowTime13"));
        w.form->tmFlash1Timer();
        QCOMPARE(label->text(), QStringLiteral(" 1:25"));
        const QImage firstPhase = w.picture("imLed13");
        w.form->tmFlash1Timer();
        QVERIFY(w.picture("imLed13") != firstPhase); // the alarm lamp blinks
        QCOMPARE(w.find<QLabel>(QStringLiteral("lblShowTime14"))->text(), QString());
        QCOMPARE(w.picture("imLed14"), art().lamp(0).toImage());

        // Expired: the zero countdown blinks.
        w.clock.set({ 2026, 12, 7, 11, 29, 21, 2 });
        w.form->tmFlash1Timer();
        QCOMPARE(label->text(), QStringLiteral(" 0: 0"));
        const bool shown = !label->isHidden();
        w.form->tmFlash1Timer();
        QCOMPARE(!label->isHidden(), !shown);
    }

    void portButton_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QList<int>>("answers"); // 1 = OK, 0 = Cancel
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("frames");
        QTest::newRow("no prompt") << QByteArray("[Form]\nAuto=0\nPrompt=0\n") << QList<int> {}
                                   << QStringList {} << QStringList { "/F037\\" };
        QTest::newRow("prompt, OK") << QByteArray("[Form]\nAuto=0\nPrompt=1\n") << QList<int> { 1 }
                                    << QStringList { "|Do you want to power off Bank 3 Port 7?" }
                                    << QStringList { "/F037\\" };
        QTest::newRow("prompt, Cancel")
            << QByteArray("[Form]\nAuto=0\n") << QList<int> { 0 }
            << QStringList { "|Do you want to power off Bank 3 Port 7?" } << QStringList {};
    }

    // A real click on the button of port 7 of bank 3 while that port is on.
    void portButton()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QList<int>, answers);
        QFETCH(QStringList, messages);
        QFETCH(QStringList, frames);
        Window w(ini);
        w.link(3);
        w.line->feed("/S03 CCCCCCOC\\");
        QTRY_COMPARE(w.state.bank(3).switchLetters, std::string("CCCCCCOC"));
        for (int answer : answers)
            w.dialogs.answers.push_back(answer ? MessageAnswer::Ok : MessageAnswer::Cancel);
        const int before = int(w.line->written().size());
        QTest::mouseClick(w.find<QWidget>(QStringLiteral("imButton37")), Qt::LeftButton);
        QCOMPARE(w.dialogs.messages, messages);
        QCOMPARE(w.written().mid(before), frames);
    }

    void offPortSwitchesOnAndOtherButtonsDoNothing()
    {
        Window w;
        w.link(6);
        w.find<QScrollBar>(QStringLiteral("ScrollBar1"))->setValue(4);
        const int before = int(w.line->written().size());
        QTest::mouseClick(w.find<QWidget>(QStringLiteral("imButton28")), Qt::RightButton);
        QTest::mouseClick(w.find<QWidget>(QStringLiteral("imButton28")), Qt::LeftButton);
        QCOMPARE(w.written().mid(before), QStringList { "/O058\\" });
    }

    void bankAndAllBankCommands_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("frame");
        QTest::newRow("bank on") << 0 << "|Do you want to power on all ports of bank 4?"
                                 << "/O040\\";
        QTest::newRow("bank off") << 1 << "|Do you want to power off all ports of bank 4?"
                                  << "/F040\\";
        QTest::newRow("all on") << 2 << "|Do you want to power on all ports of all banks?"
                                << "/O000\\";
        QTest::newRow("all off") << 3 << "|Do you want to power off all ports of  all banks?"
                                 << "/F000\\";
    }

    void bankAndAllBankCommands()
    {
        QFETCH(int, command);
        QFETCH(QString, message);
        QFETCH(QString, frame);
        Window w("[Form]\nAuto=0\nPrompt=1\n");
        w.link(5);
        w.find<QScrollBar>(QStringLiteral("ScrollBar1"))->setValue(2);
        const int before = int(w.line->written().size());
        BankPopup &popup = w.form->menu().popups[2];
        w.form->popForm1Popup(3);
        QCOMPARE(popup.openOneBank->text(), QStringLiteral("Power on All Ports of Bank 4"));
        QCOMPARE(popup.checkVersion->text(), QStringLiteral("Check Bank 4 Version"));
        QAction *actions[] = { popup.openOneBank, popup.closeOneBank, popup.openAllBanks,
                               popup.closeAllBanks };
        actions[command]->trigger();
        QCOMPARE(w.dialogs.messages, QStringList { message });
        QCOMPARE(w.written().mid(before), QStringList { frame });
    }

    void popupCaptionsKeepTheirSpelling()
    {
        Window w;
        QCOMPARE(w.form->menu().popups[0].openAllBanks->text(),
                 QStringLiteral("Powre on All Ports of All Banks"));
        QCOMPARE(w.form->menu().popups[2].closeAllBanks->text(),
                 QStringLiteral("Powr off All Ports of All Banks"));
    }

    void connectFindsTheSwitchAndSavesTheChoice()
    {
        Window w;
        w.line->responder = [](const std::string &frame) {
            return frame == "/uni\\" ? std::string("/xyz\\") : std::string();
        };
        QTimer clicker;
        connect(&clicker, &QTimer::timeout, [&] {
            auto *ok =
                w.form->detectionDialog().findChild<QPushButton *>(QStringLiteral("BitBtn1"));
            if (w.form->detectionDialog().isVisible() && ok->isEnabled())
                ok->click();
        });
        clicker.start(10);
        w.form->menu().mlConnect->trigger();
        QVERIFY(!w.form->menu().mlConnect->isEnabled());
        QVERIFY(w.form->menu().mlDisconnect->isEnabled());
        QVERIFY(w.form->link().isPortOpen());
        QVERIFY(w.written().contains("/uni\\"));
        QFile ini(w.dir.filePath(QStringLiteral("define.ini")));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(ini.readAll().contains("auto=0"));

        w.form->menu().mlDisconnect->trigger();
        QVERIFY(w.form->menu().mlConnect->isEnabled());
        QVERIFY(!w.form->link().isPortOpen());
    }

    void connectWithoutSwitchReportsNotFound()
    {
        Window w;
        QTimer clicker;
        connect(&clicker, &QTimer::timeout, [&] {
            auto *ok =
                w.form->detectionDialog().findChild<QPushButton *>(QStringLiteral("BitBtn1"));
            if (w.form->detectionDialog().isVisible() && ok->isEnabled())
                ok->click();
        });
        clicker.start(10);
        w.form->menu().mlConnect->trigger();
        QCOMPARE(w.dialogs.messages.size(), 1);
        QVERIFY(w.dialogs.messages.constFirst().startsWith("|Could not find KESTRANE Relaybox."));
        QVERIFY(w.form->menu().mlConnect->isEnabled());
        QVERIFY(!w.form->link().isPortOpen());
    }

    // Found by the probe, then refused when the link opens it: said so, and disconnected again.
    void connectToARefusedPortReportsIt_data()
    {
        QTest::addColumn<OpenError>("error");
        QTest::addColumn<QString>("message");
        const QString lost = "|" + kLinkLostMessage;
        const QString dialout = QStringLiteral("\rNo permission to open fake: add your user to the "
                                               "dialout group (sudo adduser $USER dialout), then "
                                               "log in again.");
        // Who holds it, where the system can tell; a fake port has no holder to name.
        QTest::newRow("taken")
            << OpenError::InUse
            << QStringLiteral("|fake is in use by another program. Connect again once it has "
                              "let the port go.");
        QTest::newRow("permission denied") << OpenError::PermissionDenied << lost + dialout;
    }

    void connectToARefusedPortReportsIt()
    {
        QFETCH(OpenError, error);
        QFETCH(QString, message);
        auto refusing = std::make_shared<FakeLine>();
        refusing->refuseOpen = true;
        refusing->openError = error;
        Window w("[Form]\nAuto=0\nPrompt=0\n", refusing);
        w.line->responder = [](const std::string &frame) {
            return frame == "/uni\\" ? std::string("/xyz\\") : std::string();
        };
        QTimer clicker;
        connect(&clicker, &QTimer::timeout, [&] {
            auto *ok =
                w.form->detectionDialog().findChild<QPushButton *>(QStringLiteral("BitBtn1"));
            if (w.form->detectionDialog().isVisible() && ok->isEnabled())
                ok->click();
        });
        clicker.start(10);
        w.form->menu().mlConnect->trigger();
        QCOMPARE(w.dialogs.messages, QStringList { message });
        QVERIFY(w.form->menu().mlConnect->isEnabled());
        QVERIFY(!w.form->menu().mlDisconnect->isEnabled());
        QVERIFY(!w.form->link().isPortOpen());
        QVERIFY(!w.form->link().tmOpenComError().isActive());
    }

    void watchdogHidesThePanels()
    {
        Window w;
        w.link(2);
        w.form->link().tmOpenComErrorTimer();
        QVERIFY(w.find<QWidget>(QStringLiteral("UniClass1"))->isHidden());
        QVERIFY(w.form->menu().mlConnect->isEnabled());
        QVERIFY(!w.form->tmFlash1().isActive());
        QCOMPARE(w.form->menu().CheckVersion1->actions().size(), 0);
    }

    void versionItemsFollowTheBankCount()
    {
        Window w;
        w.link(5);
        QCOMPARE(w.form->menu().CheckVersion1->actions().size(), 5);
        QCOMPARE(w.form->menu().CheckVersion1->actions().at(4)->text(), QStringLiteral("Bank 5"));
        w.line->feed("/M2\\/S01 CCCCCCCC\\");
        QTRY_COMPARE(w.form->menu().CheckVersion1->actions().size(), 2);
    }

    void exitSendsNothing()
    {
        Window w;
        w.link(1);
        const int before = int(w.line->written().size());
        w.form->menu().N2->trigger();
        QCOMPARE(int(w.line->written().size()), before);
        QVERIFY(!w.form->link().isPortOpen());
    }
};

QTEST_MAIN(TestTForm1)
#include "tst_tform1.moc"
