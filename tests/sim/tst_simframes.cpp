#include <QtTest>

#include "sim/civiltime.h"
#include "sim/framecollector.h"
#include "sim/hostcommand.h"
#include "sim/replytext.h"

using namespace relaybox::sim;

namespace {

// Every piece the collector hands back for the bytes, as "F:<frame>" or "R:<rejected>".
QStringList collect(const QByteArray &bytes, bool flushStray = true)
{
    FrameCollector collector;
    QStringList pieces;
    const auto add = [&pieces](const CollectedPiece &piece) {
        pieces << (piece.kind == CollectedPiece::Kind::Frame ? "F:" : "R:")
                + QString::fromLatin1(piece.bytes.data(), int(piece.bytes.size()));
    };
    for (const char c : bytes)
        if (const auto piece = collector.push(c))
            add(*piece);
    if (flushStray)
        if (const auto piece = collector.takeStray())
            add(*piece);
    return pieces;
}

// The command as text: kind and the fields that matter for it; "none" when refused.
QString describe(const std::optional<HostCommand> &command)
{
    if (!command)
        return "none";
    using Kind = HostCommand::Kind;
    const HostCommand &c = *command;
    switch (c.kind) {
    case Kind::Identify:
        return "identify";
    case Kind::VersionQuery:
        return "version";
    case Kind::StatusPoll:
        return "poll";
    case Kind::SwitchOn:
        return QStringLiteral("on %1/%2").arg(c.bank).arg(c.port);
    case Kind::SwitchOff:
        return QStringLiteral("off %1/%2").arg(c.bank).arg(c.port);
    case Kind::RestoreOn:
        return "restore on";
    case Kind::RestoreOff:
        return "restore off";
    case Kind::ScheduleClear:
        return QStringLiteral("clear %1/%2/%3").arg(c.bank).arg(c.port).arg(c.selector);
    case Kind::ScheduleEntry:
        return QStringLiteral("entry %1 %2/%3/%4 %5:%6:%7")
            .arg(QChar::fromLatin1(c.letter))
            .arg(c.bank)
            .arg(c.port)
            .arg(c.selector)
            .arg(c.hours)
            .arg(c.minutes)
            .arg(c.seconds);
    case Kind::ClockSet:
        return "clock " + QString::fromStdString(formatCivil(c.clock));
    case Kind::UpgradeStart:
        return "upgrade";
    }
    return "?";
}

} // namespace

class TestSimFrames : public QObject
{
    Q_OBJECT

private slots:
    void collector_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("pieces");

        QTest::newRow("two frames")
            << QByteArray("/uni\\/C\\") << QStringList { "F:/uni\\", "F:/C\\" };
        QTest::newRow("noise before a frame")
            << QByteArray("ab/VER\\") << QStringList { "R:ab", "F:/VER\\" };
        QTest::newRow("a new slash cuts the frame short")
            << QByteArray("/O01/F011\\") << QStringList { "R:/O01", "F:/F011\\" };
        QTest::newRow("noise after the last frame is flushed")
            << QByteArray("/C\\xy") << QStringList { "F:/C\\", "R:xy" };
        QTest::newRow("an over-long frame is refused and skipped to its end")
            << QByteArray("/" + QByteArray(60, 'A') + "\\/C\\")
            << QStringList { "R:/" + QString(39, 'A') + "...", "F:/C\\" };
        QTest::newRow("binary bytes between frames")
            << QByteArray("\x00\xff", 2) << QStringList { QString("R:") + QChar(0) + QChar(0xff) };
    }

    void collector()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, pieces);
        QCOMPARE(collect(bytes), pieces);
    }

    void collectorBoundsNoise()
    {
        // A long stream without any frame comes back in bounded pieces, never as one.
        const QStringList pieces = collect(QByteArray(1000, 'x'), false);
        QCOMPARE(pieces.size(), int(1000 / FrameCollector::kMaxStray));
        QCOMPARE(pieces.first().size(), int(FrameCollector::kMaxStray) + 2);
    }

    void parse_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("command");

        QTest::newRow("identify") << QByteArray("/uni\\") << "identify";
        QTest::newRow("port on") << QByteArray("/O031\\") << "on 3/1";
        QTest::newRow("port off") << QByteArray("/F037\\") << "off 3/7";
        QTest::newRow("all off") << QByteArray("/F000\\") << "off 0/0";
        QTest::newRow("restore on") << QByteArray("/EN001\\") << "restore on";
        QTest::newRow("restore off") << QByteArray("/DS001\\") << "restore off";
        QTest::newRow("clear") << QByteArray("/Q0231\\") << "clear 2/3/1";
        QTest::newRow("entry T") << QByteArray("/T0231 0000430\\") << "entry T 2/3/1 0:4:30";
        QTest::newRow("entry W") << QByteArray("/W0110 0480000\\") << "entry W 1/1/0 48:0:0";
        QTest::newRow("clock") << QByteArray("/SETTIME2026-12-06 21:30:05\\")
                               << "clock 2026-12-06 21:30:05";
        QTest::newRow("upgrade") << QByteArray("/UPGRADE\\") << "upgrade";

        QTest::newRow("switch with a letter") << QByteArray("/O0a1\\") << "none";
        QTest::newRow("switch too short") << QByteArray("/O01\\") << "none";
        QTest::newRow("entry without blank") << QByteArray("/T02310000430\\") << "none";
        QTest::newRow("entry short time") << QByteArray("/T0231 000430\\") << "none";
        QTest::newRow("entry unknown letter") << QByteArray("/X0231 0000430\\") << "none";
        QTest::newRow("clock month 13") << QByteArray("/SETTIME2026-13-06 21:30:05\\") << "none";
        QTest::newRow("clock 31 April") << QByteArray("/SETTIME2026-04-31 21:30:05\\") << "none";
        QTest::newRow("clock 29 Feb of a common year")
            << QByteArray("/SETTIME2026-02-29 21:30:05\\") << "none";
        QTest::newRow("clock other century")
            << QByteArray("/SETTIME1926-12-06 21:30:05\\") << "none";
        QTest::newRow("clock cut short") << QByteArray("/SETTIME2026-12-06 21:30\\") << "none";
        QTest::newRow("empty frame") << QByteArray("/\\") << "none";
    }

    void parse()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QString, command);
        QCOMPARE(describe(parseHostCommand(frame.toStdString())), command);
    }

    void replies_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");

        const auto s = [](const std::string &text) {
            return QString::fromStdString(text);
        };
        // The rest of the replies are checked byte for byte by the device tests.
        QTest::newRow("current rounds half up") << s(replytext::current(3, 12.25)) << "/C03 12.3\\";
        QTest::newRow("current zero") << s(replytext::current(1, 0.0)) << "/C01 0.0\\";
        QTest::newRow("bank count 16") << s(replytext::bankCount(16)) << "/M16\\";
        QTest::newRow("version of letters") << s(replytext::version(16, "ABCD")) << "/V16 ABCD\\";
        QTest::newRow("weekly report")
            << s(replytext::timerReport('W', 1, 0, 0, 167, 59, 5)) << "/W0100 167 59 05\\";
    }

    void replies()
    {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }

    void civilRoundTrip_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("day");
        QTest::addColumn<qint64>("days"); // since 1970-01-01

        QTest::newRow("epoch") << 1970 << 1 << 1 << qint64(0);
        QTest::newRow("leap day 2000") << 2000 << 2 << 29 << qint64(11016);
        QTest::newRow("new year 2100") << 2100 << 1 << 1 << qint64(47482);
        QTest::newRow("before the epoch") << 1969 << 12 << 31 << qint64(-1);
    }

    void civilRoundTrip()
    {
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(int, day);
        QFETCH(qint64, days);
        const CivilTime time { year, month, day, 13, 14, 15 };
        QCOMPARE(qint64(toSeconds(time)), days * 86400 + 13 * 3600 + 14 * 60 + 15);
        QCOMPARE(fromSeconds(toSeconds(time)), time);
    }
};

QTEST_APPLESS_MAIN(TestSimFrames)
#include "tst_simframes.moc"
