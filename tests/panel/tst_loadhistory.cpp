#include <QtTest>

#include "panel/loadhistory.h"

using namespace relaybox;
using namespace std::chrono_literals;

namespace {

constexpr std::int64_t kStart = 1796733005123; // 2026-12-08T12:30:05.123Z

} // namespace

class TestLoadHistory : public QObject
{
    Q_OBJECT

private slots:
    void csvRowsInTimeOrder()
    {
        LoadHistory history(LoadHistoryLimits { 24h, 0ms });
        history.add(2, kStart, 12.3f);
        history.add(1, kStart, 0.1f);
        history.add(1, kStart + 4877, 3.5f);
        history.add(2, kStart + 86'400'000 - 5123, 100.25f);
        QCOMPARE(QString::fromStdString(history.toCsv()),
                 QStringLiteral("time,bank,current\n"
                                "2026-12-08T12:30:05.123Z,1,0.1\n"
                                "2026-12-08T12:30:05.123Z,2,12.3\n"
                                "2026-12-08T12:30:10.000Z,1,3.5\n"
                                "2026-12-09T12:30:00.000Z,2,100.25\n"));
    }

    void bounded_data()
    {
        QTest::addColumn<int>("spacingMs");
        QTest::addColumn<int>("everyMs");
        QTest::addColumn<int>("hours");
        QTest::addColumn<int>("kept");
        QTest::addColumn<int>("firstKeptMs"); // after the start

        // 24 h at 5 s polls: 17280 intervals, the sample exactly 24 h old stays.
        QTest::newRow("a day of polls") << 4000 << 5000 << 25 << 17281 << 3600000;
        QTest::newRow("faster replies are thinned") << 4000 << 1000 << 1 << 901 << 0;
        QTest::newRow("no spacing: the ring bounds")
            << 0 << 500 << 25 << 86401 << 3600000 + 43200000;
    }

    void bounded()
    {
        QFETCH(int, spacingMs);
        QFETCH(int, everyMs);
        QFETCH(int, hours);
        QFETCH(int, kept);
        QFETCH(int, firstKeptMs);
        LoadHistory history(LoadHistoryLimits { 24h, std::chrono::milliseconds(spacingMs) });
        const std::int64_t end = std::int64_t(hours) * 3600000;
        for (std::int64_t at = 0; at <= end; at += everyMs)
            history.add(7, kStart + at, float(at % 1000));
        QCOMPARE(history.sampleCount(7), std::size_t(kept));
        QVERIFY(history.sampleCount(7) <= history.capacityPerBank());
        QCOMPARE(history.samples(7).front().msSinceEpoch - kStart, std::int64_t(firstKeptMs));
        QCOMPARE(history.samples(7).back().msSinceEpoch - kStart, end);
    }

    void memoryIsStatedUpFront()
    {
        const LoadHistory history;
        QCOMPARE(history.capacityPerBank(), std::size_t(21601));
        QCOMPARE(history.maxBytes(), std::size_t(21601 * 8 * 16));
    }

    void endedLinkStaysUntilTheNextLink_data()
    {
        QTest::addColumn<bool>("byCount"); // the next link reports its count, or a reading first
        QTest::newRow("bank count") << true;
        QTest::newRow("reading") << false;
    }

    void endedLinkStaysUntilTheNextLink()
    {
        QFETCH(bool, byCount);
        LoadHistory history(LoadHistoryLimits { 24h, 0ms });
        history.setBankCount(3);
        history.add(3, kStart, 1.0f);
        history.endLink();
        QCOMPARE(history.sampleCount(3), std::size_t(1));
        QCOMPARE(history.bankCount(), 3);
        if (byCount)
            history.setBankCount(2);
        history.add(1, kStart + 10, 2.0f);
        QCOMPARE(history.sampleCount(3), std::size_t(0));
        QCOMPARE(history.bankCount(), byCount ? 2 : 3);
        QCOMPARE(history.samples(1), (std::vector<LoadSample> { { kStart + 10, 2.0f } }));
    }

    void fewerBanksDropTheirHistory()
    {
        LoadHistory history(LoadHistoryLimits { 24h, 0ms });
        history.setBankCount(4);
        history.add(4, kStart, 1.0f);
        history.add(17, kStart, 1.0f);
        history.setBankCount(3);
        history.setBankCount(4);
        QCOMPARE(history.sampleCount(4), std::size_t(0));
        QCOMPARE(history.bankCount(), 4);
    }

    void clockSteps_data()
    {
        QTest::addColumn<QList<qint64>>("added"); // ms after the start, in order
        QTest::addColumn<QList<qint64>>("kept");

        QTest::newRow("slip back: dropped")
            << QList<qint64> { 0, -1000, 1000 } << QList<qint64> { 0, 1000 };
        QTest::newRow("set back: afresh")
            << QList<qint64> { 0, 3600000, -7200000 } << QList<qint64> { -7200000 };
        QList<qint64> month;
        for (qint64 hour = 0; hour <= 30 * 24; ++hour)
            month << hour * 3600000;
        QTest::newRow("a month in one link: its last day") << month << month.mid(month.size() - 25);
    }

    void clockSteps()
    {
        QFETCH(QList<qint64>, added);
        QFETCH(QList<qint64>, kept);
        LoadHistory history(LoadHistoryLimits { 24h, 0ms });
        for (qint64 at : added)
            history.add(1, kStart + at, float(at / 1000));
        QList<qint64> seen;
        for (const LoadSample &sample : history.samples(1)) {
            seen << sample.msSinceEpoch - kStart;
            QCOMPARE(sample.amperes, float((sample.msSinceEpoch - kStart) / 1000));
        }
        QCOMPARE(seen, kept);
    }
};

QTEST_APPLESS_MAIN(TestLoadHistory)
#include "tst_loadhistory.moc"
