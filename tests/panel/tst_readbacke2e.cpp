#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>
#include <atomic>
#include <httplib.h>
#include <sys/socket.h>
#include <thread>

#include "common/settle.h"
#include "common/simwindow.h"
#include "panel/loadhistorytool.h"
#include "panel/loadhistorywindow.h"
#include "panel/panelstack.h"
#include "panel/switchreadbackmarks.h"
#include "sharing/linesharing.h"

using namespace relaybox;
using namespace std::chrono_literals;
using testing::SimWindow;

namespace {

enum class Ring { None, Amber, Red };

// What the button of panel 1, port `port` shows on the left edge of its well.
Ring ringOn(TForm1 &form, int port)
{
    const QImage image = form.panels().panel(1)->button(port)->grab().toImage();
    const QColor edge = image.pixelColor(1, image.height() / 2);
    if (edge.red() < 150)
        return Ring::None;
    return edge.green() > 120 ? Ring::Amber : Ring::Red;
}

QString toolTipOf(TForm1 &form, int port)
{
    return form.panels().panel(1)->button(port)->toolTip();
}

} // namespace

class TestReadbackEnd2End : public QObject
{
    Q_OBJECT

private slots:
    // The ring shows from the click until the status that shows the port switched.
    void pendingUntilTheNextStatus()
    {
        SimWindow w(testing::banks(2));
        QVERIFY(w.link());
        w.form->show();
        w.form->link().tmQuery().stop(); // the test polls
        testing::settle(300ms); // the last poll's status lines are in
        QCOMPARE(ringOn(*w.form, 2), Ring::None);

        QTest::mouseClick(w.form->panels().panel(1)->button(2), Qt::LeftButton);
        QVERIFY(w.simSaw("/O012\\"));
        testing::settle(300ms);
        QCOMPARE(ringOn(*w.form, 2), Ring::Amber);
        QCOMPARE(w.state.bank(1).switchLetters, std::string("CCCCCCCC"));

        w.form->link().tmQueryTimer();
        QTRY_COMPARE(w.state.bank(1).switchLetters, std::string("COCCCCCC"));
        QTRY_COMPARE(ringOn(*w.form, 2), Ring::None);
        QCOMPARE(toolTipOf(*w.form, 2), QString());
    }

    // A relay that does not follow: red after two polls, with its tooltip.
    void unconfirmedAfterTwoPolls()
    {
        SimWindow w(testing::banks(1));
        QVERIFY(w.link());
        w.form->show();
        w.simulated->command("stuck 1 3 on");
        w.form->link().tmQuery().stop();
        testing::settle(300ms); // the last poll's status lines are in

        QTest::mouseClick(w.form->panels().panel(1)->button(3), Qt::LeftButton);
        QVERIFY(w.simSaw("/O013\\"));
        const auto poll = [&] {
            const auto seen = testing::receivedFrames(*w.simulated).count(QStringLiteral("/C\\"));
            w.form->link().tmQueryTimer();
            QTRY_COMPARE(testing::receivedFrames(*w.simulated).count(QStringLiteral("/C\\")),
                         seen + 1);
            testing::settle(300ms); // its status lines arrive and are handled
        };
        poll();
        QCOMPARE(ringOn(*w.form, 3), Ring::Amber);
        poll();
        QCOMPARE(ringOn(*w.form, 3), Ring::Red);
        QCOMPARE(toolTipOf(*w.form, 3), QStringLiteral("Bank 1 Port 3 did not switch"));
        poll();
        QCOMPARE(ringOn(*w.form, 3), Ring::Red);

        // Clicked again: seen, and on its way once more. Disconnected: no marks.
        QTest::mouseClick(w.form->panels().panel(1)->button(3), Qt::LeftButton);
        QCOMPARE(ringOn(*w.form, 3), Ring::Amber);
        QCOMPARE(toolTipOf(*w.form, 3), QString());
        w.form->mlDisconnectClick();
        QCOMPARE(w.form->readbackMarks().readback().mark(1, 3), SwitchMark::None);
    }

    // A script's request through the shared window, from a thread of its own: one frame through
    // the link, confirmed; the button says who switched it until the operator switches it.
    void clientSwitchThroughTheWindow()
    {
        QTemporaryDir runtime;
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
        QStandardPaths::setTestModeEnabled(true);
        SimWindow w(testing::banks(1), false, "[Form]\nAuto=0\nPrompt=0\nComPort=1\nShare=1\n");
        QVERIFY(w.link());
        w.form->show();
        QTRY_VERIFY(w.form->lineSharing().serving());

        const std::string endpoint = w.form->lineSharing().endpoint().toStdString();
        std::atomic<int> status = 0;
        std::thread client([&] {
            httplib::Client http(endpoint);
            http.set_address_family(AF_UNIX);
            http.set_default_headers({ { "User-Agent", "relaybox-cli/1.0.0" } });
            const auto answer = http.Post("/api/v1/switches/relaybox/banks/1/ports/3/on?timeout=5");
            status = answer ? answer->status : -1;
        });
        const bool answered = QTest::qWaitFor([&] { return status != 0; }, 10000);
        client.join();
        QVERIFY(answered);
        QCOMPARE(status.load(), 200);
        QCOMPARE(testing::receivedFrames(*w.simulated).count(QStringLiteral("/O013\\")), 1);
        const QString tip = toolTipOf(*w.form, 3);
        QVERIFY2(tip.startsWith(QStringLiteral("switched by relaybox-cli, user ")),
                 qPrintable(tip));
        QCOMPARE(w.form->lineSharing().recent().size(), std::size_t(1));

        QTest::mouseClick(w.form->panels().panel(1)->button(3), Qt::LeftButton);
        QVERIFY(w.simSaw("/F013\\"));
        QCOMPARE(toolTipOf(*w.form, 3), QString());
    }

    // A line per bank, following the bank count and outliving the link.
    void historyWindow()
    {
        SimWindow w(testing::banks(3));
        QVERIFY(w.link());
        w.simulated->command("current 2 12.3");
        LoadHistoryTool &tool = w.form->loadHistory();
        QTRY_VERIFY_WITH_TIMEOUT(tool.history().sampleCount(3) >= 2, 10000);
        QVERIFY(tool.menuItem()->isEnabled() && w.form->menu().mlTools1->isEnabled());
        tool.menuItem()->trigger();
        LoadHistoryWindow *window = tool.window();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->seriesCount(), 3);

        w.simulated->command("banks 2");
        QTRY_COMPARE_WITH_TIMEOUT(window->seriesCount(), 2, 3000);
        w.form->mlDisconnectClick();
        testing::settle(400ms);
        QCOMPARE(window->seriesCount(), 2);
        QVERIFY(tool.history().sampleCount(2) >= 2);

        // Saved after the link ended; a file that cannot be written is reported.
        QPushButton *save = window->findChild<QPushButton *>(QStringLiteral("btnSaveCsv"));
        const QString file = w.dir.filePath(QStringLiteral("load.csv"));
        w.dialogs.files.push_back(file);
        QTest::mouseClick(save, Qt::LeftButton);
        QFile saved(file);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray::fromStdString(tool.history().toCsv()));
        QVERIFY(tool.history().toCsv().find(",2,12.3\n") != std::string::npos);
        QCOMPARE(w.dialogs.messages, QStringList());
        const QString nowhere = w.dir.filePath(QStringLiteral("gone/load.csv"));
        w.dialogs.files.push_back(nowhere);
        QTest::mouseClick(save, Qt::LeftButton);
        QCOMPARE(w.dialogs.messages,
                 QStringList(QStringLiteral("Warning|The load history could not be saved to ")
                             + nowhere + QLatin1Char('.')));
    }
};

QTEST_MAIN(TestReadbackEnd2End)
#include "tst_readbacke2e.moc"
