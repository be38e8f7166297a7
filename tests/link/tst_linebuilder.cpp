#include <QtTest>

#include "link/linebuilder.h"

using relaybox::LineBuilder;

namespace {

// Feeds a stream in one mode and returns every completed line.
QStringList linesOf(const QByteArray &bytes, bool raw)
{
    LineBuilder builder;
    QStringList lines;
    for (const char c : bytes) {
        if (builder.push(c, raw))
            lines << QString::fromLatin1(builder.line().data(), qsizetype(builder.line().size()));
    }
    return lines;
}

} // namespace

class TestLineBuilder : public QObject
{
    Q_OBJECT

private slots:
    void lines_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("raw");
        QTest::addColumn<QStringList>("lines");

        QTest::newRow("frame") << QByteArray("/xyz\\") << false << QStringList { "xyz" };
        QTest::newRow("every normal line end")
            << QByteArray("a>b\nc\rd\\e!") << false << QStringList { "a", "b", "c", "d", "e" };
        QTest::newRow("abc ended by >") << QByteArray("abc>") << false << QStringList { "abc" };
        QTest::newRow("xyz ended by !") << QByteArray("xyz!") << false << QStringList { "xyz" };
        QTest::newRow("empty lines ignored")
            << QByteArray("\r\n\r\n/\\>!M3\r\n") << false << QStringList { "M3" };
        QTest::newRow("second slash discards the partial line")
            << QByteArray("/S01 CC/V01 1203\\") << false << QStringList { "V01 1203" };
        QTest::newRow("unterminated line is not reported")
            << QByteArray("/M3") << false << QStringList {};
        QTest::newRow("version frames back to back")
            << QByteArray("/V01 1203\\/V02 1204\\") << false
            << QStringList { "V01 1203", "V02 1204" };
        QTest::newRow("raw collects slash and >")
            << QByteArray("a/b>c\\d!\n") << true << QStringList { "a/b>c\\d!" };
        QTest::newRow("raw ends at backspace and LF")
            << QByteArray("|\b/\b-\b\\\bVersion 1.2.4 loaded OK\n") << true
            << QStringList { "|", "/", "-", "\\", "Version 1.2.4 loaded OK" };
        QTest::newRow("raw keeps CR") << QByteArray("Fail\r\n") << true << QStringList { "Fail\r" };
        QTest::newRow("nul bytes are text")
            << QByteArray("a\0b\\", 4) << false << QStringList { QString::fromLatin1("a\0b", 3) };
        QTest::newRow("line cut at 51") << QByteArray(60, 'x').append('\\') << false
                                        << QStringList { QString(51, QLatin1Char('x')) };
        QTest::newRow("cut line does not spill into the next")
            << QByteArray(80, 'y').append("\\M2\\") << false
            << QStringList { QString(51, QLatin1Char('y')), "M2" };
    }

    void lines()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, raw);
        QFETCH(QStringList, lines);
        QCOMPARE(linesOf(bytes, raw), lines);
    }

    // A line may arrive in any number of reads; the builder keeps its state between them.
    void splitAtEveryPoint()
    {
        const QByteArray stream("/M3\\/S01 GGGGGGGG OOOOCCCC 3.5\\/C02 1.2\\/V03 1203\\xyz!");
        const QStringList whole = linesOf(stream, false);
        for (int cut = 0; cut <= stream.size(); ++cut) {
            LineBuilder builder;
            QStringList lines;
            for (const QByteArray &part : { stream.left(cut), stream.mid(cut) }) {
                for (const char c : part) {
                    if (builder.push(c, false))
                        lines << QString::fromLatin1(builder.line().data(),
                                                     qsizetype(builder.line().size()));
                }
            }
            QCOMPARE(lines, whole);
        }
    }
};

QTEST_APPLESS_MAIN(TestLineBuilder)
#include "tst_linebuilder.moc"
