#include <QFile>
#include <QtTest>
#include <set>

#include "desktop/managerprocess.h"
#include "desktop/operatorview.h"
#include "panel/loadhistory.h"
#include "panel/loadhistorycolours.h"

using namespace relaybox;
using namespace relaybox::testing;

namespace {

enum class Ring { None, Amber, Red };

// The left edge of a port button's well, where its ring shows.
QPoint ringPoint(int panel, int port)
{
    return portButtonCenter(panel, port) - QPoint(faceplate::kButtonSize.width() / 2 - 1, 0);
}

Ring ringIn(const QImage &image, QPoint at)
{
    const QColor edge = image.pixelColor(at);
    if (edge.red() < 150)
        return Ring::None;
    return edge.green() > 120 ? Ring::Amber : Ring::Red;
}

int linesShown(const QImage &image)
{
    int lines = 0;
    for (const QColor &colour : kLoadHistoryColours) {
        int pixels = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                pixels += image.pixelColor(x, y) == colour ? 1 : 0;
        lines += pixels >= 20 ? 1 : 0; // the legend's marker at least
    }
    return lines;
}

} // namespace

// The operator sees a command on its way, whether the switch followed it, and each bank's load.
class TestDesktopReadback : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { RELAYBOX_REQUIRE_DESKTOP_TOOLS(); }

    // A stuck relay: amber from the click, red after two polls; clicked again once it is free,
    // amber until the status that shows it switched.
    void ringsFollowTheSwitch()
    {
        XSession session;
        QVERIFY(session.start());
        ManagerProcess manager(session);
        QVERIFY(manager.prepare());
        manager.writeSettings();
        QVERIFY(manager.sim.control(QStringLiteral("stuck 1 3 on")));
        QVERIFY(manager.startAndConnect());
        const QString window = manager.mainWindow();
        QTest::qWait(1000); // the first poll's status is in
        const QPoint ring = ringPoint(1, 3);
        const auto seen = [&] {
            return ringIn(session.windowImage(window, manager.path(QStringLiteral("ring.png"))),
                          ring);
        };
        QCOMPARE(seen(), Ring::None);

        QVERIFY(session.click(window, portButtonCenter(1, 3)));
        QVERIFY(manager.sim.waitFor(QStringLiteral(" RX /O013\\")));
        QCOMPARE(seen(), Ring::Amber); // a poll is 5 s: the second status is at least that far
        QVERIFY(QTest::qWaitFor([&] { return seen() == Ring::Red; }, 16000));
        QCOMPARE(manager.sim.frames().count(QStringLiteral("/O013\\")), 1); // nothing sent again

        QVERIFY(manager.sim.control(QStringLiteral("stuck 1 3 off")));
        const qsizetype polls = manager.sim.frames().count(QStringLiteral("/C\\"));
        QVERIFY(session.click(window, portButtonCenter(1, 3)));
        QVERIFY(manager.sim.waitFor(QStringLiteral("PORTS 01 CCOCCCCC")));
        const Ring before = seen();
        QVERIFY2(before == Ring::Amber
                     || manager.sim.frames().count(QStringLiteral("/C\\")) > polls,
                 "no ring between the click and the next poll");
        QVERIFY(QTest::qWaitFor([&] { return seen() == Ring::None; }, 8000));
        QVERIFY(manager.sim.frames().count(QStringLiteral("/C\\")) > polls);
    }

    // Tools > Load History: a line per bank; Save as CSV... writes what reads back to the same
    // file, byte for byte, with the currents the switch reported.
    void loadHistoryAndCsv()
    {
        XSession session;
        QVERIFY(session.start());
        ManagerProcess manager(session);
        QVERIFY(manager.prepare({ QStringLiteral("--banks"), QStringLiteral("3") }));
        QVERIFY(manager.sim.control(QStringLiteral("current 2 7.3")));
        manager.writeSettings();
        QVERIFY(manager.startAndConnect());
        const QString window = manager.mainWindow();
        QVERIFY(manager.sim.waitFor(QStringLiteral(" RX /C\\")));
        QTest::qWait(6000); // two polls

        QVERIFY(session.click(window, kToolsMenu));
        QTest::qWait(500);
        QVERIFY(session.key(QStringLiteral("Up"))); // the last item
        QVERIFY(session.key(QStringLiteral("Return")));
        const QString history = session.waitForWindow(QStringLiteral("^Load History$"), 5000);
        QVERIFY(!history.isEmpty());
        QTest::qWait(500);
        QCOMPARE(
            linesShown(session.windowImage(history, manager.path(QStringLiteral("history.png")))),
            3);

        const QRect place = session.geometry(history);
        QVERIFY(session.click(history, QPoint(place.width() - 60, place.height() - 20)));
        const QString dialog = session.waitForWindow(QStringLiteral("^Save As$"), 5000);
        QVERIFY(!dialog.isEmpty());
        const QString file = manager.path(QStringLiteral("load.csv"));
        QVERIFY(session.key(QStringLiteral("ctrl+a")));
        QVERIFY(session.xdotool({ QStringLiteral("type"), file }));
        QVERIFY(session.key(QStringLiteral("Return")));
        QVERIFY(QTest::qWaitFor([&] { return QFile::exists(file); }, 5000));
        QTest::qWait(300);

        QFile saved(file);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray bytes = saved.readAll();
        QVERIFY(bytes.startsWith("time,bank,current\n"));
        LoadHistory readBack(
            LoadHistoryLimits { std::chrono::hours(24), std::chrono::milliseconds(0) });
        std::set<int> banks;
        const QList<QByteArray> lines = bytes.split('\n');
        for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
            const QList<QByteArray> fields = lines[i].split(',');
            QCOMPARE(fields.size(), 3);
            const QDateTime time =
                QDateTime::fromString(QString::fromLatin1(fields[0]), Qt::ISODateWithMs);
            QVERIFY(time.isValid());
            const int bank = fields[1].toInt();
            banks.insert(bank);
            if (bank == 2)
                QCOMPARE(fields[2], QByteArray("7.3"));
            readBack.add(bank, time.toMSecsSinceEpoch(), fields[2].toFloat());
        }
        QCOMPARE(banks, (std::set<int> { 1, 2, 3 }));
        QCOMPARE(QByteArray::fromStdString(readBack.toCsv()), bytes);
    }

private:
    // "Tools " in the menu bar, measured on screenshots with the DejaVu fonts.
    static constexpr QPoint kToolsMenu { 125, 9 };
};

QTEST_MAIN(TestDesktopReadback)
#include "tst_desktopreadback.moc"
