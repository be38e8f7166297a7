#include <QtTest>

#include "desktop/managerprocess.h"
#include "desktop/operatorview.h"

using namespace relaybox::testing;

namespace {

// Menu bar titles, in the main window's coordinates (measured on screenshots, DejaVu fonts).
constexpr QPoint kToolsMenu { 124, 9 };
constexpr QPoint kTimeMenu { 172, 9 };
constexpr QPoint kSettingMenu { 69, 9 };

const QString kUpgradeTitle = QStringLiteral("^Upgrade Process$");

QByteArray imageBytes(int size)
{
    QByteArray bytes;
    for (int i = 0; i < size; ++i)
        bytes += char((i * 131 + 17) & 0xff);
    return bytes;
}

// The frames the switch received from the host after the first line containing `after`.
QStringList framesAfter(const SimProcess &sim, const QString &after)
{
    const QStringList lines = sim.output().split(QLatin1Char('\n'));
    QStringList frames;
    bool started = false;
    for (const QString &line : lines) {
        if (!started) {
            started = line.contains(after);
            continue;
        }
        const QString rx = line.section(QStringLiteral(" RX "), 1);
        if (!rx.isEmpty())
            frames << rx;
    }
    return frames;
}

} // namespace

// The firmware upgrade as the operator meets it: the upload owns the line while it runs, whatever
// the operator clicks, and an image is never flashed on a link where nobody chose it.
class TestDesktopUpgrade : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { RELAYBOX_REQUIRE_DESKTOP_TOOLS(); }

    // A paced upload of 3,000 bytes while the operator clicks port buttons, a bank menu button
    // and the menus, and a clock set falls due: the switch receives every image byte in order and
    // nothing else; the clock set follows the completion.
    void uploadOwnsTheLine()
    {
        const auto started = XSession::startNew(false);
        QVERIFY(started);
        XSession &session = *started;
        ManagerProcess manager(session);
        const QString image = writeImage(manager);
        QVERIFY(
            manager.prepare({ QStringLiteral("--banks"), QStringLiteral("3"),
                              QStringLiteral("--pace"), QStringLiteral("--expect-image"), image }));
        manager.writeSettings();
        QVERIFY(manager.startAndConnect());
        const QString window = manager.mainWindow();
        // SetRTC is on: the announcement's Version replies set the clock a second later.
        QVERIFY2(manager.sim.waitFor(QStringLiteral("CLOCK SET"), 10000),
                 qPrintable(manager.sim.output()));
        session.screenshot(manager.path(QStringLiteral("1-connected.png")));
        upgrade(session, manager, window, image);
        if (QTest::currentTestFailed())
            return;
        const QString upgradeWindow = session.waitForWindow(kUpgradeTitle);
        QVERIFY(!upgradeWindow.isEmpty());
        // The operator drags the Upgrade Process window off the panels; it keeps the focus.
        QVERIFY(session.xdotool({ QStringLiteral("windowmove"), upgradeWindow,
                                  QStringLiteral("700"), QStringLiteral("700") }));
        QTRY_COMPARE(session.activeWindow(), upgradeWindow);

        // The operator's hand during the upload. The first click, on "Setting..", is the one with
        // which the window manager activates the main window: it is swallowed, no menu opens.
        QVERIFY(session.click(window, kSettingMenu));
        QTRY_COMPARE(session.activeWindow(), window);
        QTest::qWait(500);
        // An open menu's title is drawn highlighted (blue); a closed one on the bar's grey.
        const QColor title =
            session.windowImage(window, manager.path(QStringLiteral("3-clicked-main.png")))
                .pixelColor(kSettingMenu + QPoint(-9, 7));
        QVERIFY2(title.blue() - title.red() < 40, qPrintable(title.name()));
        QVERIFY(session.click(window, portButtonCenter(1, 3)));
        QVERIFY(session.click(window, portButtonCenter(2, 5)));
        QVERIFY(session.click(window, portButtonCenter(1, 3)));
        QVERIFY(session.click(window, bankMenuButtonCenter(1)));
        QTest::qWait(300);
        session.screenshot(manager.path(QStringLiteral("4-bank-menu.png")));
        QVERIFY(session.click(window, bankMenuButtonCenter(2), 3));
        QVERIFY(session.key(QStringLiteral("Return")));
        QVERIFY(session.click(window, kTimeMenu));
        QTest::qWait(300);
        session.screenshot(manager.path(QStringLiteral("5-time-menu.png")));
        QVERIFY(session.key(QStringLiteral("Down")));
        QVERIFY(session.key(QStringLiteral("Return")));
        QVERIFY(session.key(QStringLiteral("Escape")));
        // A stray Version reply arms the clock synchronisation: its set falls due mid-upload.
        QVERIFY(manager.sim.control(QStringLiteral("raw 56 30 31 20 31 32 30 33 0a")));
        QVERIFY(session.click(window, portButtonCenter(3, 8)));
        QTest::qWait(1500);
        QVERIFY2(
            !manager.sim.output().contains(QStringLiteral("UPLOAD END")),
            "the upload ended before the operator's clicks were done; the test proves nothing");

        QVERIFY2(manager.sim.waitFor(QStringLiteral("UPLOAD END"), 60000),
                 qPrintable(manager.sim.output()));
        QVERIFY2(manager.sim.output().contains(
                     QRegularExpression(QStringLiteral("UPLOAD END bytes=3000 \\S+ ok"))),
                 qPrintable(manager.sim.output()));
        // Only image bytes reached the loader (any other byte would have failed the check);
        // the first frame after them is the completion's Identify command.
        QTRY_VERIFY(!framesAfter(manager.sim, QStringLiteral("RX /UPGRADE\\")).isEmpty());
        QCOMPARE(framesAfter(manager.sim, QStringLiteral("RX /UPGRADE\\")).first(), "/uni\\");

        QTest::qWait(1000);
        session.screenshot(manager.path(QStringLiteral("6-completed.png")));
        acknowledgeCompletion(session);
        // The clock set that fell due during the upload follows now.
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         return framesAfter(manager.sim, QStringLiteral("UPLOAD END"))
                             .join(' ')
                             .contains("/SETTIME");
                     },
                     10000),
                 qPrintable(manager.sim.output()));
        QVERIFY(!manager.sim.output().contains(QStringLiteral("PORTS ")));
        QVERIFY(manager.running());
    }

    // After a completed upgrade the switch is found in loader mode on a new link: the program
    // reports the failure and asks for an image; nobody chose one, so nothing but the Identify
    // command reaches the loader, and the cancelled repair ends the link.
    void loaderLinkGetsNoImageUnasked()
    {
        const auto started = XSession::startNew(false);
        QVERIFY(started);
        XSession &session = *started;
        ManagerProcess manager(session);
        const QString image = writeImage(manager);
        QVERIFY(manager.prepare({ QStringLiteral("--banks"), QStringLiteral("1"),
                                  QStringLiteral("--expect-image"), image }));
        manager.writeSettings();
        QVERIFY(manager.startAndConnect());
        const QString window = manager.mainWindow();
        upgrade(session, manager, window, image);
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(manager.sim.waitFor(QStringLiteral("UPLOAD END bytes=3000"), 20000),
                 qPrintable(manager.sim.output()));
        acknowledgeCompletion(session);

        // Setting.. > Disconnect (the first item that is enabled), the switch falls back to its
        // loader, Setting.. > Connect.
        QVERIFY(session.click(window, kSettingMenu));
        QTest::qWait(500);
        QVERIFY(session.key(QStringLiteral("Down")));
        QVERIFY(session.key(QStringLiteral("Return")));
        QVERIFY(manager.sim.control(QStringLiteral("expect-image off")));
        QVERIFY(manager.sim.control(QStringLiteral("loader")));
        QVERIFY(session.click(window, kSettingMenu));
        QTest::qWait(500);
        QVERIFY(session.key(QStringLiteral("Down")));
        QVERIFY(session.key(QStringLiteral("Return")));
        QVERIFY(manager.acceptDetection());

        // "Firmware Failure!", then the file dialog, cancelled; "Please re-load Firmware Code".
        // The box carries the application's title, as the main window does.
        QVERIFY2(
            QTest::qWaitFor(
                [&] { return session.findWindows(ManagerProcess::kMainTitle).size() == 2; }, 15000),
            qPrintable(manager.sim.output()));
        QTest::qWait(1000); // the loader's banner and prompt arrive meanwhile
        session.screenshot(manager.path(QStringLiteral("failure.png")));
        QVERIFY(session.key(QStringLiteral("Return")));
        QVERIFY(QTest::qWaitFor(
            [&] { return session.findWindows(ManagerProcess::kMainTitle).size() == 1; }, 5000));
        QTest::qWait(1500);
        session.screenshot(manager.path(QStringLiteral("file-dialog.png")));
        QVERIFY(session.key(QStringLiteral("Escape")));
        QVERIFY(!session.waitForWindow(QStringLiteral("^Caution$")).isEmpty());
        QVERIFY(session.key(QStringLiteral("Return")));
        QTest::qWait(1000);

        // A loader that has prompted takes whatever comes as image bytes; the Identify commands
        // are read as frames again once the sender falls silent.
        const QString after = manager.sim.output().section(QStringLiteral("OK loader"), 1);
        QVERIFY2(!after.contains(QStringLiteral("FIRMWARE")), qPrintable(after));
        const QStringList frames = framesAfter(manager.sim, QStringLiteral("OK loader"));
        QVERIFY2(!frames.isEmpty(), qPrintable(after));
        QCOMPARE(frames, QStringList(frames.size(), QStringLiteral("/uni\\")));
        QVERIFY(manager.running());
    }

private:
    // "Firmware Upgrade Completed" has the focus; OK closes it and then the upgrade window.
    static void acknowledgeCompletion(XSession &session)
    {
        QVERIFY(
            !QTest::qWaitFor([&] { return session.findWindows(kUpgradeTitle).isEmpty(); }, 1000));
        QVERIFY(QTest::qWaitFor(
            [&] {
                session.key(QStringLiteral("Return"));
                return session.waitForNoWindow(kUpgradeTitle, 1000);
            },
            10000));
    }

    static QString writeImage(ManagerProcess &manager)
    {
        const QString image = manager.path(QStringLiteral("image.x"));
        QFile file(image);
        if (file.open(QIODevice::WriteOnly))
            file.write(imageBytes(3000));
        return image;
    }

    // Tools > Upgrade, then the image's path typed into the file dialog.
    static void upgrade(XSession &session, ManagerProcess &manager, const QString &window,
                        const QString &image)
    {
        QVERIFY(session.click(window, kToolsMenu));
        QTest::qWait(500);
        QVERIFY(session.key(QStringLiteral("Down")));
        QVERIFY(session.key(QStringLiteral("Return")));
        QTest::qWait(1500);
        session.screenshot(manager.path(QStringLiteral("2-file-dialog.png")));
        QVERIFY(session.xdotool(
            { QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), image }));
        QVERIFY(session.key(QStringLiteral("Return")));
        QVERIFY2(manager.sim.waitFor(QStringLiteral("UPLOAD BEGIN"), 15000),
                 qPrintable(manager.sim.output()));
    }
};

QTEST_MAIN(TestDesktopUpgrade)
#include "tst_desktopupgrade.moc"
