#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include "desktop/managerprocess.h"
#include "desktop/operatorview.h"

using namespace relaybox::testing;

namespace {

// Menu bar titles, in the main window's coordinates (measured on screenshots, DejaVu fonts).
constexpr QPoint kToolsMenu { 124, 9 };
constexpr QPoint kSettingMenu { 69, 9 };
// The Configuration dialog's "Let scripts switch through this window" box.
constexpr QPoint kShareBox { 32, 242 };

struct CliResult
{
    int exit = -1;
    QJsonObject json;
    QString errors;
};

// The frames the switch received from the host after the first line containing `after`.
QStringList framesAfter(const SimProcess &sim, const QString &after)
{
    QStringList frames;
    bool started = false;
    for (const QString &line : sim.output().split(QLatin1Char('\n'))) {
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

// Qt's tooltips are drawn on pale yellow.
int tooltipPixels(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor colour = image.pixelColor(x, y);
            count += colour.red() > 245 && colour.green() > 245 && colour.blue() > 200
                    && colour.blue() < 235
                ? 1
                : 0;
        }
    return count;
}

enum class Ring { None, Amber, Red };

Ring ringAt(const QImage &image, int panel, int port)
{
    const QPoint at =
        portButtonCenter(panel, port) - QPoint(relaybox::faceplate::kButtonSize.width() / 2 - 1, 0);
    const QColor edge = image.pixelColor(at);
    if (edge.red() < 150)
        return Ring::None;
    return edge.green() > 120 ? Ring::Amber : Ring::Red;
}

} // namespace

// A script and the operator's panel at once: with Share on, relaybox-cli switches through the
// linked manager's own line, the panel shows it, and the upload gate holds for scripts too.
class TestDesktopSharing : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { RELAYBOX_REQUIRE_DESKTOP_TOOLS(); }

    void scriptsSwitchThroughTheWindow()
    {
        XSession session;
        QVERIFY(session.start());
        ManagerProcess manager(session);
        const QString image = manager.path(QStringLiteral("image.x"));
        QFile imageFile(image);
        QVERIFY(imageFile.open(QIODevice::WriteOnly));
        for (int i = 0; i < 3000; ++i)
            imageFile.putChar(char((i * 131 + 17) & 0xff));
        imageFile.close();
        QVERIFY(
            manager.prepare({ QStringLiteral("--banks"), QStringLiteral("1"),
                              QStringLiteral("--pace"), QStringLiteral("--expect-image"), image }));
        manager.writeSettings("[Form]\nComPort=%PORT%\nAuto=1\nPrompt=0\nComMeg=1\nSetRTC=0\n"
                              "RestoreStatus=1\nShare=1\n");
        QProcessEnvironment environment = session.environment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), manager.path(QStringLiteral("data")));
        manager.process().setProcessEnvironment(environment);
        QVERIFY(manager.startAndConnect());
        const QString window = manager.mainWindow();
        QTest::qWait(1000); // the first poll's status is in

        // Through the manager: one frame, the poll right after it, the lamp, the tooltip.
        const CliResult on = cli(
            session, manager, { QStringLiteral("on"), QStringLiteral("1"), QStringLiteral("3") });
        QVERIFY2(on.exit == 0, qPrintable(on.errors + manager.sim.output()));
        QCOMPARE(on.json.value(QStringLiteral("via")).toString(), QStringLiteral("manager"));
        QCOMPARE(on.json.value(QStringLiteral("confirmed")).toBool(), true);
        QVERIFY(manager.sim.waitFor(QStringLiteral(" RX /O013\\")));
        QTRY_VERIFY(!framesAfter(manager.sim, QStringLiteral("RX /O013\\")).isEmpty());
        QCOMPARE(manager.sim.frames().count(QStringLiteral("/O013\\")), 1);
        QCOMPARE(framesAfter(manager.sim, QStringLiteral("RX /O013\\")).value(0),
                 QStringLiteral("/C\\"));
        QVERIFY(QTest::qWaitFor(
            [&] {
                const QColor lamp =
                    session.windowImage(window, manager.path(QStringLiteral("on.png")))
                        .pixelColor(onLampCenter(1, 3));
                return lamp.green() > 150 && lamp.red() < 120;
            },
            3000));
        QVERIFY(session.xdotool({ QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                                  QString::number(portButtonCenter(1, 3).x()),
                                  QString::number(portButtonCenter(1, 3).y()) }));
        // The tooltip (its text is the window's own: checked in process) shows over the button;
        // the audit file names the tool and the user.
        QVERIFY2(QTest::qWaitFor(
                     [&] {
                         return tooltipPixels(
                                    session.screenshot(manager.path(QStringLiteral("tooltip.png"))))
                             > 1000;
                     },
                     5000),
                 "no tooltip over port 3");
        QFile audit(manager.path(QStringLiteral("data/kestrane/relaybox/remote-commands.log")));
        QVERIFY(audit.open(QIODevice::ReadOnly));
        const QByteArray auditLine = audit.readAll();
        QVERIFY2(auditLine.contains("\"program\":\"relaybox-cli\"")
                     && auditLine.contains("\"user\":\"" + qgetenv("USER")),
                 auditLine.constData());
        QVERIFY(session.xdotool(
            { QStringLiteral("mousemove"), QStringLiteral("0"), QStringLiteral("0") }));

        // A stuck relay: exit 1, and the panel's red ring.
        QVERIFY(manager.sim.control(QStringLiteral("stuck 1 5 on")));
        const CliResult stuck =
            cli(session, manager,
                { QStringLiteral("--timeout"), QStringLiteral("2"), QStringLiteral("on"),
                  QStringLiteral("1"), QStringLiteral("5") });
        QCOMPARE(stuck.exit, 1);
        QVERIFY(stuck.errors.contains(QStringLiteral("bank 1 port 5 stays off")));
        QVERIFY(QTest::qWaitFor(
            [&] {
                return ringAt(session.windowImage(window, manager.path(QStringLiteral("red.png"))),
                              1, 5)
                    == Ring::Red;
            },
            3000));

        // During an upload the tool is refused at once and the loader gets only the image.
        upgrade(session, manager, window, image);
        if (QTest::currentTestFailed())
            return;
        const CliResult refused = cli(
            session, manager, { QStringLiteral("off"), QStringLiteral("1"), QStringLiteral("3") });
        QVERIFY2(!manager.sim.output().contains(QStringLiteral("UPLOAD END")),
                 "the upload ended before the tool's call; the test proves nothing");
        QCOMPARE(refused.exit, 3);
        QVERIFY2(refused.errors.contains(QStringLiteral("uploading firmware")),
                 qPrintable(refused.errors));
        QVERIFY2(manager.sim.waitFor(QStringLiteral("UPLOAD END"), 60000),
                 qPrintable(manager.sim.output()));
        QVERIFY2(manager.sim.output().contains(
                     QRegularExpression(QStringLiteral("UPLOAD END bytes=3000 \\S+ ok"))),
                 qPrintable(manager.sim.output()));
        QVERIFY(!framesAfter(manager.sim, QStringLiteral("RX /UPGRADE\\")).contains("/F013\\"));
        acknowledgeCompletion(session);

        // Share off in the Configuration dialog: the tool says who holds the port.
        QVERIFY(session.click(window, kSettingMenu));
        QTest::qWait(500);
        QVERIFY(session.key(QStringLiteral("Down")));
        QVERIFY(session.key(QStringLiteral("Down")));
        QVERIFY(session.key(QStringLiteral("Return")));
        const QString dialog = session.waitForWindow(QStringLiteral("^Configuration$"), 5000);
        QVERIFY(!dialog.isEmpty());
        QTest::qWait(500);
        QVERIFY(session.click(dialog, kShareBox));
        QVERIFY(session.key(QStringLiteral("Return")));
        QVERIFY(session.waitForNoWindow(QStringLiteral("^Configuration$"), 5000));
        QTRY_VERIFY(manager.settings().contains("Share=0"));
        const CliResult held = cli(
            session, manager, { QStringLiteral("on"), QStringLiteral("1"), QStringLiteral("3") });
        QCOMPARE(held.exit, 4);
        QVERIFY2(held.errors.contains(
                     QStringLiteral("held by the KESTRANE Relaybox manager, pid %1; enable Share "
                                    "or close it")
                         .arg(manager.process().processId())),
                 qPrintable(held.errors));
        QVERIFY(manager.running());
    }

private:
    static CliResult cli(XSession &session, ManagerProcess &manager, QStringList arguments)
    {
        QProcess process;
        process.setProcessEnvironment(session.environment());
        process.start(SimProcess::binDir() + QStringLiteral("/relaybox-cli"),
                      QStringList { QStringLiteral("--port"),
                                    manager.path(QStringLiteral("ports/relaybox-sim")),
                                    QStringLiteral("--json") }
                          + arguments);
        CliResult result;
        if (!process.waitForFinished(30000))
            return result;
        result.exit = process.exitCode();
        result.json = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
        result.errors = QString::fromLocal8Bit(process.readAllStandardError());
        return result;
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
        QVERIFY(session.xdotool(
            { QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), image }));
        QVERIFY(session.key(QStringLiteral("Return")));
        QVERIFY2(manager.sim.waitFor(QStringLiteral("UPLOAD BEGIN"), 15000),
                 qPrintable(manager.sim.output()));
    }

    // "Firmware Upgrade Completed" has the focus; OK closes it and then the upgrade window.
    static void acknowledgeCompletion(XSession &session)
    {
        const QString title = QStringLiteral("^Upgrade Process$");
        QVERIFY(QTest::qWaitFor(
            [&] {
                session.key(QStringLiteral("Return"));
                return session.waitForNoWindow(title, 1000);
            },
            10000));
    }
};

QTEST_MAIN(TestDesktopSharing)
#include "tst_desktopsharing.moc"
