#include <QtTest>

#include "sim/firmwareloader.h"
#include "tests/sim/devicedriver.h"

using namespace relaybox::sim;
using namespace std::chrono_literals;

namespace {

QByteArray image(int size, int seed = 7)
{
    QByteArray bytes;
    for (int i = 0; i < size; ++i)
        bytes += char((i * 31 + seed) & 0xff);
    return bytes;
}

std::vector<std::uint8_t> toVector(const QByteArray &bytes)
{
    return { bytes.begin(), bytes.end() };
}

QString checksum(const QByteArray &bytes)
{
    quint32 sum = 0;
    for (const char c : bytes)
        sum += quint8(c);
    return QStringLiteral("%1").arg(sum, 8, 16, QChar('0'));
}

// Sends the image as the host does: 20 bytes in one burst, then one byte per spinner.
// Returns everything the loader answered; stops early when a byte gets no spinner.
QByteArray feedImage(DeviceDriver &device, const QByteArray &bytes)
{
    QByteArray answers = device.send(bytes.left(20));
    for (int i = 20; i < bytes.size(); ++i) {
        if (!answers.endsWith('\b'))
            break;
        answers += device.send(bytes.mid(i, 1));
    }
    return answers;
}

QByteArray spinners(int count)
{
    static const char turn[] = { '|', '/', '-', '\\' };
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes += QByteArray(1, turn[i % 4]) + '\b';
    return bytes;
}

DeviceSettings withImage(const QByteArray &expected)
{
    DeviceSettings settings = DeviceDriver::settings(1);
    settings.expectedImage = toVector(expected);
    return settings;
}

} // namespace

class TestSimLoader : public QObject
{
    Q_OBJECT

private slots:
    void bannerSpeaksTheHostsLines()
    {
        // Every banner line is one the host's receiver recognises: three words starting
        // "Kavtron", four words starting with a known loader word, then the "Please" prompt.
        const QStringList lines =
            QString::fromStdString(FirmwareLoader::banner()).split("\r\n", Qt::SkipEmptyParts);
        QVERIFY(QString::fromStdString(FirmwareLoader::banner()).endsWith("\r\n"));
        QCOMPARE(lines.first().split(' ').size(), 3);
        QCOMPARE(lines.first().split(' ').first(), "Kavtron");
        const QStringList known { "Serial", "CPU", "System", "Read", "LAN", "Check" };
        for (int i = 1; i + 1 < lines.size(); ++i) {
            QCOMPARE(lines[i].split(' ').size(), 4);
            QVERIFY2(known.contains(lines[i].split(' ').first()), qPrintable(lines[i]));
        }
        QCOMPARE(lines.last().split(' ').size(), 4);
        QCOMPARE(lines.last().split(' ').first(), "Please");
        for (const QString &line : lines)
            QVERIFY2(!line.contains(QRegularExpression("[/\\\\>!]")), qPrintable(line));
    }

    void upload_data()
    {
        QTest::addColumn<QByteArray>("expected"); // empty: no expected image
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("answers");
        QTest::addColumn<QString>("end");

        const QByteArray thirty = image(30);
        QTest::newRow("match") << thirty << thirty << spinners(11) + "Version 1.2.4 loaded OK\n"
                               << "UPLOAD END bytes=30 checksum=" + checksum(thirty) + " ok";

        QByteArray wrong = thirty;
        wrong[25] = char(wrong[25] ^ 0x40);
        QTest::newRow("mismatch") << thirty << wrong << spinners(6) + "Fail\n"
                                  << "UPLOAD END bytes=26 checksum=" + checksum(wrong.left(26))
                + " mismatch at 25";

        QByteArray early = thirty;
        early[3] = char(early[3] + 1);
        QTest::newRow("mismatch in the burst")
            << thirty << early << QByteArray("Fail\n")
            << "UPLOAD END bytes=4 checksum=" + checksum(early.left(4)) + " mismatch at 3";

        const QByteArray ten = image(10);
        const QByteArray padded = ten + QByteArray(10, '\0');
        QTest::newRow("10 bytes with padding")
            << ten << padded << spinners(1) + "Version 1.2.4 loaded OK\n"
            << "UPLOAD END bytes=20 checksum=" + checksum(padded) + " ok";

        QTest::newRow("10 bytes, padding not zero")
            << ten << ten + QByteArray(10, 'x') << QByteArray("Fail\n")
            << "UPLOAD END bytes=11 checksum=" + checksum(ten + "x") + " mismatch at 10";
    }

    void upload()
    {
        QFETCH(QByteArray, expected);
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, answers);
        QFETCH(QString, end);

        DeviceDriver device(withImage(expected));
        QCOMPARE(device.send("/UPGRADE\\"), QByteArray::fromStdString(FirmwareLoader::banner()));
        QCOMPARE(feedImage(device, sent), answers);
        QCOMPARE(device.eventsStartingWith("UPLOAD "), QStringList({ "UPLOAD BEGIN", end }));

        if (end.endsWith(" ok")) {
            // New firmware: answers as normal again, one build higher, without timers.
            QVERIFY(!device.model.loaderMode());
            QCOMPARE(device.send("/uni\\"), "/xyz\\");
            QCOMPARE(device.send("/VER\\"), "/V01 1204\\");
        } else {
            // A failed upload leaves the loader, which answers as a loader.
            QVERIFY(device.model.loaderMode());
            device.wait(FirmwareLoader::kBurstGap);
            QCOMPARE(device.send("/uni\\"), "/abc\\");
        }
    }

    void uploadClearsTimers()
    {
        DeviceDriver device(withImage(image(20)));
        device.send("/T0111 0010000\\");
        device.send("/UPGRADE\\");
        feedImage(device, image(20));
        QVERIFY(!device.model.hasTimer(1, 1, 1));
    }

    void withoutExpectedImageSilenceEnds()
    {
        DeviceDriver device(DeviceDriver::settings(1));
        device.send("/UPGRADE\\");
        const QByteArray sent = image(25);
        QCOMPARE(feedImage(device, sent), spinners(6));
        QCOMPARE(device.wait(FirmwareLoader::kEndSilence - 1ms), QByteArray());
        QVERIFY(device.model.loaderMode());
        QCOMPARE(device.wait(1ms), "Version 1.2.4 loaded OK\n");
        QCOMPARE(device.eventsStartingWith("UPLOAD END"),
                 QStringList("UPLOAD END bytes=25 checksum=" + checksum(sent) + " ok"));
        QCOMPARE(device.send("/uni\\"), "/xyz\\");
    }

    void loaderModeAnswers()
    {
        DeviceSettings settings = DeviceDriver::settings(2);
        settings.loader = true;
        DeviceDriver device(settings);
        // Quiet until asked; the normal frames go unanswered.
        QCOMPARE(device.wait(10s), QByteArray());
        QCOMPARE(device.send("/VER\\/C\\/EN001\\/O010\\"), QByteArray());
        QCOMPARE(device.letters(1), "CCCCCCCC");

        QCOMPARE(device.send("/uni\\"), "/abc\\");
        QCOMPARE(device.wait(FirmwareLoader::kBannerDelay - 1ms), QByteArray());
        const QByteArray banner = QByteArray::fromStdString(FirmwareLoader::banner());
        QCOMPARE(device.wait(1ms), banner);
        // Again every few seconds while no image byte comes.
        QCOMPARE(device.wait(FirmwareLoader::kBannerRepeat - 1ms), QByteArray());
        QCOMPARE(device.wait(1ms), banner);

        // The host, in loader mode, sends the image on the prompt without "/UPGRADE\".
        const QByteArray sent = image(24);
        QCOMPARE(feedImage(device, sent), spinners(5));
        QCOMPARE(device.wait(FirmwareLoader::kEndSilence), "Version 1.2.4 loaded OK\n");
        QCOMPARE(device.send("/VER\\"), "/V01 1204\\/V02 1204\\");
    }

    void loaderCommandEntersLoaderMode()
    {
        DeviceDriver device;
        QCOMPARE(device.send("/uni\\"), "/xyz\\");
        device.model.enterLoader();
        QCOMPARE(device.send("/uni\\"), "/abc\\");
    }

    void probeAfterAPromptIsReadAsFrames()
    {
        // A new link probes a loader that had prompted: "/uni\" arrives where image bytes were
        // expected. Too few for the first burst, then quiet: they are frames after all.
        DeviceSettings settings = DeviceDriver::settings(1);
        settings.loader = true;
        DeviceDriver device(settings);
        device.send("/uni\\");
        device.wait(FirmwareLoader::kBannerDelay);
        QCOMPARE(device.send("/uni\\"), QByteArray());
        QCOMPARE(device.wait(FirmwareLoader::kBurstGap - 1ms), QByteArray());
        QCOMPARE(device.wait(1ms), "/abc\\");
        QCOMPARE(device.eventsStartingWith("UPLOAD END").size(), 1);
    }

    void stalledUploadIsGivenUp()
    {
        const QByteArray thirty = image(30);
        DeviceDriver device(withImage(thirty));
        device.send("/UPGRADE\\");
        feedImage(device, thirty.left(25));
        QCOMPARE(device.wait(FirmwareLoader::kStall), QByteArray());
        QCOMPARE(device.eventsStartingWith("UPLOAD END"),
                 QStringList("UPLOAD END bytes=25 checksum=" + checksum(thirty.left(25))
                             + " incomplete"));
        QCOMPARE(device.send("/uni\\"), "/abc\\"); // the next link finds the loader
    }

    void dropUploadHangsUp()
    {
        DeviceDriver device(DeviceDriver::settings(1));
        device.send("/UPGRADE\\");
        device.send(image(22).left(21));
        device.model.dropNextUploadByte();
        QCOMPARE(device.send("x"), QByteArray());
        QVERIFY(device.hangup);
        QCOMPARE(device.eventsStartingWith("UPLOAD "),
                 QStringList({ "UPLOAD BEGIN", "UPLOAD DROPPED",
                               "UPLOAD END bytes=21 checksum=" + checksum(image(22).left(21))
                                   + " incomplete" }));
        QVERIFY(device.model.loaderMode());
    }

    void failedUploadPromptsAgain()
    {
        // After "Fail" the host asks the operator for a file and then waits for the prompt.
        DeviceDriver device(withImage(image(30)));
        device.send("/UPGRADE\\");
        device.send(QByteArray(1, char(image(30)[0] + 1)));
        QCOMPARE(device.wait(FirmwareLoader::kBannerRepeat),
                 QByteArray::fromStdString(FirmwareLoader::banner()));
        QCOMPARE(feedImage(device, image(30)), spinners(11) + "Version 1.2.4 loaded OK\n");
    }

    void versions_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("next");
        QTest::addColumn<QString>("dotted");

        QTest::newRow("1203") << "1203"
                              << "1204"
                              << "1.2.4";
        QTest::newRow("1299 wraps the build") << "1299"
                                              << "1200"
                                              << "1.2.0";
        QTest::newRow("0917") << "0917"
                              << "0918"
                              << "0.9.18";
        QTest::newRow("letters stay") << "AB1C"
                                      << "AB1C"
                                      << "A.B.1C";
    }

    void versions()
    {
        QFETCH(QString, version);
        QFETCH(QString, next);
        QFETCH(QString, dotted);
        QCOMPARE(QString::fromStdString(DeviceModel::nextVersion(version.toStdString())), next);
        QCOMPARE(QString::fromStdString(DeviceModel::dottedVersion(next.toStdString())), dotted);
    }
};

QTEST_APPLESS_MAIN(TestSimLoader)
#include "tst_simloader.moc"
