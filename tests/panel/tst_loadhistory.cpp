#include <QtTest>

#include "panel/loadhistory.h"
#include "panel/loadhistorywindow.h"
#include "platform/operatordialogs.h"

using namespace relaybox;
using namespace std::chrono_literals;

namespace {

constexpr std::int64_t kStart = 1796733005123; // 2026-12-08T12:30:05.123Z

class NoDialogs final : public OperatorDialogs
{
public:
    MessageAnswer message(const QString &, const QString &, MessageIcon, MessageButtons) override
    {
        return MessageAnswer::Ok;
    }
    std::optional<QString> openFileName(const QString &, const QString &, const QString &) override
    {
        return std::nullopt;
    }
    std::optional<QString> saveFileName(const QString &, const QString &, const QString &) override
    {
        return std::nullopt;
    }
};

// The highest reading a bank's line shows.
qreal highestDrawn(const LoadHistoryWindow &window, int bank)
{
    qreal highest = 0;
    for (const QPointF &point : window.linePoints(bank))
        highest = std::max(highest, point.y());
    return highest;
}

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
        history.add(2, kStart + 86'400'000 - 5123, 99.9f);
        QCOMPARE(QString::fromStdString(history.toCsv()),
                 QStringLiteral("time,bank,current\n"
                                "2026-12-08T12:30:05.123Z,1,0.1\n"
                                "2026-12-08T12:30:05.123Z,2,12.3\n"
                                "2026-12-08T12:30:10.000Z,1,3.5\n"
                                "2026-12-09T12:30:00.000Z,2,99.9\n"));
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
            history.add(7, kStart + at, float(at % 1000) / 10.0f);
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

    // A stray count or a chain that shrinks for a moment: a bank beyond the count keeps its
    // readings (hidden on the chart, still in the CSV) until they age out.
    void banksOutsideTheCount_data()
    {
        QTest::addColumn<QList<int>>("counts"); // reported after bank 4's reading
        QTest::addColumn<int>("hoursLater"); // of bank 1's readings after that
        QTest::addColumn<int>("keptOfBank4");
        QTest::addColumn<int>("bankCount");

        QTest::newRow("a stray /M0\\") << QList<int> { 0, 16 } << 0 << 1 << 16;
        QTest::newRow("shrinks for a moment") << QList<int> { 3, 4 } << 0 << 1 << 4;
        QTest::newRow("gone for good, still in the CSV") << QList<int> { 3 } << 23 << 1 << 3;
        QTest::newRow("gone for a day: aged out") << QList<int> { 3 } << 25 << 0 << 3;
    }

    void banksOutsideTheCount()
    {
        QFETCH(QList<int>, counts);
        QFETCH(int, hoursLater);
        QFETCH(int, keptOfBank4);
        QFETCH(int, bankCount);
        LoadHistory history(LoadHistoryLimits { 24h, 0ms });
        history.setBankCount(4);
        history.add(4, kStart, 1.5f);
        history.add(17, kStart, 1.0f);
        for (int count : counts)
            history.setBankCount(count);
        for (int hour = 0; hour <= hoursLater; ++hour)
            history.add(1, kStart + hour * 3'600'000LL, 2.0f);
        QCOMPARE(history.sampleCount(4), std::size_t(keptOfBank4));
        QCOMPARE(history.bankCount(), bankCount);
        QCOMPARE(history.toCsv().find(",4,1.5\n") != std::string::npos, keptOfBank4 > 0);
    }

    // A full day for 16 banks: each line keeps what the plot's columns can show (peaks
    // included), follows new readings, and a bank that leaves and comes back gets its line again.
    void windowShowsADay()
    {
        LoadHistory history;
        history.setBankCount(16);
        for (std::int64_t at = 0; at <= 86'400'000; at += 4000)
            for (int bank = 1; bank <= 16; ++bank)
                history.add(bank, kStart + at, at == 43'200'000 && bank == 5 ? 50.0f : 1.0f);
        NoDialogs dialogs;
        LoadHistoryWindow window(history, dialogs);
        window.refresh();
        QCOMPARE(window.seriesCount(), 16);
        for (int bank = 1; bank <= 16; ++bank)
            QVERIFY2(window.linePoints(bank).size() > 100
                         && window.linePoints(bank).size() <= 2 * 800,
                     qPrintable(QString::number(window.linePoints(bank).size())));
        QCOMPARE(highestDrawn(window, 5), 50.0);

        history.add(5, kStart + 86'404'000, 70.0f);
        window.refresh();
        QCOMPARE(highestDrawn(window, 5), 70.0);

        history.setBankCount(3);
        window.refresh();
        QCOMPARE(window.seriesCount(), 3);
        history.setBankCount(16);
        window.refresh();
        QCOMPARE(window.seriesCount(), 16);
        QCOMPARE(highestDrawn(window, 5), 70.0);
    }

    void clockSteps_data()
    {
        QTest::addColumn<QList<qint64>>("added"); // ms after the start, in order
        QTest::addColumn<QList<qint64>>("kept");
        QTest::addColumn<QList<float>>("amperes"); // of the added; none: its seconds, below 100

        QTest::newRow("slip back: dropped")
            << QList<qint64> { 0, -1000, 1000 } << QList<qint64> { 0, 1000 } << QList<float>();
        QTest::newRow("set back: afresh") << QList<qint64> { 0, 3600000, -7200000 }
                                          << QList<qint64> { -7200000 } << QList<float>();
        QList<qint64> month;
        for (qint64 hour = 0; hour <= 30 * 24; ++hour)
            month << hour * 3600000;
        QTest::newRow("a month in one link: its last day")
            << month << month.mid(month.size() - 25) << QList<float>();
        // What a bank cannot carry (the panel's digits show 0 to 99.9 A) stays out of the chart.
        QTest::newRow("absurd and negative currents left out")
            << QList<qint64> { 0, 1000, 2000, 3000, 4000, 5000, 6000 }
            << QList<qint64> { 0, 3000, 6000 }
            << QList<float> { 0.0f, 3.4e38f, -0.1f, 99.9f, 100.0f, -3.4e38f, 12.5f };
    }

    void clockSteps()
    {
        QFETCH(QList<qint64>, added);
        QFETCH(QList<qint64>, kept);
        QFETCH(QList<float>, amperes);
        const auto reading = [&](qint64 at) {
            return amperes.isEmpty() ? float(std::abs(at / 1000) % 100)
                                     : amperes[added.indexOf(at)];
        };
        LoadHistory history(LoadHistoryLimits { 24h, 0ms });
        for (qint64 at : added)
            history.add(1, kStart + at, reading(at));
        QList<qint64> seen;
        for (const LoadSample &sample : history.samples(1)) {
            seen << sample.msSinceEpoch - kStart;
            QCOMPARE(sample.amperes, reading(sample.msSinceEpoch - kStart));
        }
        QCOMPARE(seen, kept);
    }
};

QTEST_MAIN(TestLoadHistory)
#include "tst_loadhistory.moc"
