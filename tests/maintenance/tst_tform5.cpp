#include <QApplication>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include "common/fakeserialport.h"
#include "common/scripteddialogs.h"
#include "common/sharedstateaccess.h"
#include "maintenance/firmwareupgrade.h"
#include "maintenance/tform5.h"

using namespace relaybox;
using relaybox::testing::locked;

namespace {

// Counts the mouse events that reach it.
class ClickTarget : public QWidget
{
public:
    using QWidget::QWidget;
    int presses = 0;
    int releases = 0;
    int doubleClicks = 0;

protected:
    void mousePressEvent(QMouseEvent *) override { ++presses; }
    void mouseReleaseEvent(QMouseEvent *) override { ++releases; }
    void mouseDoubleClickEvent(QMouseEvent *) override { ++doubleClicks; }
};

// The parts of the main window the guard protects: a bank panel with a port button, the bank
// scroll bar, and a spot on the window itself.
struct MainWindow
{
    MainWindow()
    {
        window.setObjectName("TForm1");
        window.resize(400, 300);
        panel->setObjectName("UniClass1");
        panel->setGeometry(0, 0, 200, 200);
        portButton->setGeometry(10, 10, 40, 40);
        scrollBar->setObjectName("ScrollBar1");
        scrollBar->setGeometry(380, 0, 20, 300);
        spot->setGeometry(220, 220, 40, 40);
        window.show();
    }

    QList<QWidget *> protectedWidgets() { return { &window, panel, scrollBar }; }

    QWidget window;
    QWidget *panel = new QWidget(&window);
    ClickTarget *portButton = new ClickTarget(panel);
    QScrollBar *scrollBar = new QScrollBar(&window);
    ClickTarget *spot = new ClickTarget(&window);
};

void activate(QWidget *window, QWidget *focus = nullptr)
{
    window->activateWindow();
    QApplication::setActiveWindow(window);
    if (focus)
        focus->setFocus(Qt::OtherFocusReason);
}

} // namespace

class TestTForm5 : public QObject
{
    Q_OBJECT

private slots:
    // The window follows the upgrade: shown without modality at the prompt, closed by the hidden
    // button, its log kept after a time-out and cleared only at completion.
    void followsTheUpgrade()
    {
        SharedState state;
        FixedClock clock;
        testing::ScriptedDialogs dialogs;
        auto line = std::make_shared<testing::FakeLine>();
        LinkController link(state, clock, dialogs, testing::fakePortFactory(line));
        FirmwareUpgrade upgrade(state, link, dialogs);
        TForm5 form;
        form.follow(upgrade);
        QVERIFY(!(form.windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(form.BitBtn1->isHidden());

        QTemporaryDir dir;
        QFile file(dir.filePath("a.x"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(50, 'a'));
        file.close();
        QVERIFY(link.startLink("fake"));
        dialogs.files.push_back(file.fileName());
        upgrade.Upgrade1Click();
        locked(state, [](StateValues &v) { v.link.lastLine = "Kavtron Loader V2"; });
        upgrade.handleUpdate({ UpdateKind::LoaderText, 0 });
        upgrade.handleUpdate({ UpdateKind::LoaderPrompt, 0 });
        QVERIFY(form.isVisible());
        QVERIFY(!form.isModal());
        QCOMPARE(form.UpGrade1->value(), 0);
        upgrade.handleUpdate({ UpdateKind::Spinner, 0 });
        QCOMPARE(form.UpGrade1->value(), 20 * 100 / 49);

        upgrade.tmUpgradeTimeOutTimer();
        QVERIFY(!form.isVisible());
        QCOMPARE(form.Memo1->toPlainText(), "Kavtron Loader V2");

        locked(state, [](StateValues &v) { v.link.lastLine = "Version 1.2.4 loaded OK"; });
        form.show();
        upgrade.handleUpdate({ UpdateKind::Completion, 0 });
        QVERIFY(!form.isVisible());
        QCOMPARE(form.Memo1->toPlainText(), QString());
    }

    void guardSwallowsClicks_data()
    {
        QTest::addColumn<QString>("target"); // port, spot or other
        QTest::addColumn<QString>("focus"); // memo, form or main
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<bool>("delivered");
        QTest::newRow("port button, memo focused") << "port"
                                                   << "memo" << Qt::LeftButton << false;
        QTest::newRow("port button, right") << "port"
                                            << "memo" << Qt::RightButton << false;
        QTest::newRow("port button, middle") << "port"
                                             << "memo" << Qt::MiddleButton << false;
        QTest::newRow("port button, back button") << "port"
                                                  << "memo" << Qt::BackButton << true;
        QTest::newRow("main window, form focused") << "spot"
                                                   << "form" << Qt::LeftButton << false;
        QTest::newRow("port button, main window active") << "port"
                                                         << "main" << Qt::LeftButton << true;
        QTest::newRow("another window") << "other"
                                        << "memo" << Qt::LeftButton << true;
    }

    void guardSwallowsClicks()
    {
        QFETCH(QString, target);
        QFETCH(QString, focus);
        QFETCH(Qt::MouseButton, button);
        QFETCH(bool, delivered);
        MainWindow main;
        ClickTarget other;
        other.show();
        TForm5 form;
        form.mouseGuard().protect(main.protectedWidgets());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        if (focus == "main")
            activate(&main.window);
        else if (focus == "memo")
            activate(&form, form.Memo1);
        else
            activate(&form, &form);
        QTRY_COMPARE(QApplication::activeWindow(), focus == "main" ? &main.window : &form);

        ClickTarget *widget = target == "port" ? main.portButton
            : target == "spot"                 ? main.spot
                                               : &other;
        QTest::mouseClick(widget, button);
        QCOMPARE(widget->presses, delivered ? 1 : 0);
        QCOMPARE(widget->releases, delivered ? 1 : 0);
    }

    // Under a window manager the click on the main window first makes it the focus window and
    // then arrives: that click is swallowed (its release too), the next one passes.
    void guardSwallowsTheActivatingClick()
    {
        MainWindow main;
        TForm5 form;
        form.mouseGuard().protect(main.protectedWidgets());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.windowHandle()->requestActivate();
        QTRY_COMPARE(QGuiApplication::focusWindow(), form.windowHandle());
        main.window.windowHandle()->requestActivate();
        QTRY_COMPARE(QGuiApplication::focusWindow(), main.window.windowHandle());

        const QPoint button = main.portButton->mapTo(&main.window, QPoint(5, 5));
        QTest::mouseClick(main.window.windowHandle(), Qt::LeftButton, {}, button);
        QCOMPARE(main.portButton->presses, 0);
        QCOMPARE(main.portButton->releases, 0);
        QTest::mouseClick(main.window.windowHandle(), Qt::LeftButton, {}, button);
        QCOMPARE(main.portButton->presses, 1);
        QCOMPARE(main.portButton->releases, 1);
    }

    // Double-clicks and moves pass even while the upgrade window has the focus; once the guard
    // is gone, clicks pass too.
    void guardLetsOtherEventsPass()
    {
        MainWindow main;
        auto *form = new TForm5;
        form->mouseGuard().protect(main.protectedWidgets());
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        activate(form, form->Memo1);
        QTRY_COMPARE(QApplication::focusWidget(), form->Memo1);

        QMouseEvent doubleClick(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(5, 5),
                                Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(main.portButton, &doubleClick);
        QCOMPARE(main.portButton->doubleClicks, 1);
        QTest::mouseClick(main.portButton, Qt::LeftButton);
        QCOMPARE(main.portButton->presses, 0);

        delete form;
        QTest::mouseClick(main.portButton, Qt::LeftButton);
        QCOMPARE(main.portButton->presses, 1);
    }
};

QTEST_MAIN(TestTForm5)
#include "tst_tform5.moc"
