#include "resources/sevensegment.h"

#include <QTest>

using namespace relaybox;

// The segment table checked against the digits as an LED display shows them; the pictures are
// sampled from this same table, so a wrong bit here would otherwise go unnoticed.
class TestSevenSegment : public QObject
{
    Q_OBJECT

private slots:
    void digitsLightTheirSegments_data();
    void digitsLightTheirSegments();
    void segmentsSitWhereTheirNameSays();
};

void TestSevenSegment::digitsLightTheirSegments_data()
{
    QTest::addColumn<int>("digit");
    QTest::addColumn<QString>("lit"); // segment letters a (top) .. g (middle)
    QTest::newRow("0") << 0 << "abcdef";
    QTest::newRow("1") << 1 << "bc";
    QTest::newRow("2") << 2 << "abdeg";
    QTest::newRow("3") << 3 << "abcdg";
    QTest::newRow("4") << 4 << "bcfg";
    QTest::newRow("5") << 5 << "acdfg";
    QTest::newRow("6") << 6 << "acdefg";
    QTest::newRow("7") << 7 << "abc";
    QTest::newRow("8") << 8 << "abcdefg";
    QTest::newRow("9") << 9 << "abcdfg";
    QTest::newRow("-1 lights nothing") << -1 << "";
    QTest::newRow("10 lights nothing") << 10 << "";
}

void TestSevenSegment::digitsLightTheirSegments()
{
    QFETCH(int, digit);
    QFETCH(QString, lit);
    QString actual;
    for (Segment s : kDigitSegments) {
        if (isLit(digit, s))
            actual += QChar('a' + static_cast<int>(s));
    }
    QCOMPARE(actual, lit);
    QVERIFY(!isLit(digit, Segment::Point));
}

void TestSevenSegment::segmentsSitWhereTheirNameSays()
{
    const SevenSegmentLayout layout(QRectF(0, 0, 20, 40), 0.1, 4, 0.5);
    auto at = [&](Segment s) {
        return layout.centre(s);
    };
    QVERIFY(at(Segment::A).y() < at(Segment::G).y());
    QVERIFY(at(Segment::G).y() < at(Segment::D).y());
    QVERIFY(at(Segment::F).x() < at(Segment::B).x());
    QVERIFY(at(Segment::E).x() < at(Segment::C).x());
    QVERIFY(at(Segment::B).y() < at(Segment::C).y());
    // Slanted to the right: the upper right segment lies further right than the lower one.
    QVERIFY(at(Segment::B).x() > at(Segment::C).x());
    QVERIFY(at(Segment::Point).x() > at(Segment::C).x());
    QVERIFY(at(Segment::Point).y() > at(Segment::C).y());
    for (Segment s : kDigitSegments)
        QVERIFY(layout.outline(s).containsPoint(layout.centre(s), Qt::OddEvenFill));
}

QTEST_MAIN(TestSevenSegment)
#include "tst_sevensegment.moc"
