#include <QtTest>

#include "maintenance/uploadsession.h"

using namespace relaybox;

namespace {

std::vector<std::uint8_t> image(int size)
{
    std::vector<std::uint8_t> bytes(std::size_t(size), 0);
    for (int i = 0; i < size; ++i)
        bytes[std::size_t(i)] = std::uint8_t(i * 7 + 1); // never 0, so padding shows
    return bytes;
}

} // namespace

class TestUploadSession : public QObject
{
    Q_OBJECT

private slots:
    // Every image byte goes out exactly once and in order: the burst, then one per request,
    // zero padding up to the burst's end, and nothing more once all is sent.
    void sendsEveryByteOnce_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("requests"); // byte requests that send a byte
        QTest::newRow("1 byte") << 1 << 0;
        QTest::newRow("10 bytes") << 10 << 0;
        QTest::newRow("20 bytes") << 20 << 0;
        QTest::newRow("21 bytes") << 21 << 1;
        QTest::newRow("1,000 bytes") << 1000 << 980;
        QTest::newRow("65,535 bytes") << 65535 << 65515;
    }

    void sendsEveryByteOnce()
    {
        QFETCH(int, size);
        QFETCH(int, requests);
        const auto bytes = image(size);
        UploadSession session;
        QVERIFY(session.load(bytes));
        QCOMPARE(session.length(), size);

        std::vector<std::uint8_t> sent;
        for (const std::uint8_t byte : session.firstBurst())
            sent.push_back(byte);
        QCOMPARE(session.index(), 19);
        int lastPercent = 0;
        int sending = 0;
        while (const auto step = session.nextByte()) {
            QVERIFY(step->percent >= lastPercent);
            lastPercent = step->percent;
            sent.push_back(step->byte);
            ++sending;
        }
        QCOMPARE(sending, requests);
        if (requests > 0)
            QCOMPARE(lastPercent, 100);
        QVERIFY(!session.nextByte());
        QVERIFY(!session.nextByte());

        auto expected = bytes;
        if (expected.size() < 20)
            expected.resize(20, 0);
        QCOMPARE(sent, expected);
    }

    void barFollowsTheIndex_data()
    {
        QTest::addColumn<int>("request");
        QTest::addColumn<int>("percent");
        // 1,000 bytes: index 19 + request, times 100, over 999.
        QTest::newRow("first") << 1 << 2;
        QTest::newRow("tenth") << 10 << 2;
        QTest::newRow("490th") << 490 << 50;
        QTest::newRow("979th") << 979 << 99;
        QTest::newRow("980th, the last byte") << 980 << 100;
    }

    void barFollowsTheIndex()
    {
        QFETCH(int, request);
        QFETCH(int, percent);
        UploadSession session;
        session.load(image(1000));
        session.firstBurst();
        std::optional<UploadSession::Step> step;
        for (int i = 0; i < request; ++i)
            step = session.nextByte();
        QVERIFY(step);
        QCOMPARE(step->percent, percent);
        QCOMPARE(session.index(), 19 + request);
    }

    void refusesWhatTheBufferCannotHold_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("taken");
        QTest::newRow("empty") << 0 << false;
        QTest::newRow("65,535") << 65535 << true;
        QTest::newRow("65,536") << 65536 << false;
    }

    void refusesWhatTheBufferCannotHold()
    {
        QFETCH(int, size);
        QFETCH(bool, taken);
        UploadSession session;
        QVERIFY(session.load(image(30)));
        QCOMPARE(session.load(image(size)), taken);
        // A refused image leaves the previous one as it was.
        QCOMPARE(session.length(), taken ? size : 30);
    }

    // A shorter image after a longer one: the old bytes do not show through the padding.
    void reloadClearsTheBuffer()
    {
        UploadSession session;
        session.load(image(40));
        session.load({ { std::uint8_t(0xAA), std::uint8_t(0xBB) } });
        std::array<std::uint8_t, 20> expected {};
        expected[0] = 0xAA;
        expected[1] = 0xBB;
        QCOMPARE(session.firstBurst(), expected);
        QVERIFY(!session.nextByte());
    }
};

QTEST_APPLESS_MAIN(TestUploadSession)
#include "tst_uploadsession.moc"
