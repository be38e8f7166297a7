#include <QtTest>

#include "maintenance/firmwareimage.h"
#include "maintenance/uploadsession.h"

using namespace relaybox;

Q_DECLARE_METATYPE(std::optional<relaybox::ImageError>)

class TestFirmwareImage : public QObject
{
    Q_OBJECT

private slots:
    void readsOrRefuses_data()
    {
        QTest::addColumn<int>("size"); // -1: no file at all
        QTest::addColumn<std::optional<ImageError>>("error");
        QTest::newRow("one byte") << 1 << std::optional<ImageError>();
        QTest::newRow("1,000 bytes") << 1000 << std::optional<ImageError>();
        QTest::newRow("65,535 bytes") << 65535 << std::optional<ImageError>();
        QTest::newRow("65,536 bytes") << 65536 << std::optional(ImageError::TooLarge);
        QTest::newRow("1 MB") << (1 << 20) << std::optional(ImageError::TooLarge);
        QTest::newRow("empty") << 0 << std::optional(ImageError::Empty);
        QTest::newRow("missing") << -1 << std::optional(ImageError::Unreadable);
    }

    void readsOrRefuses()
    {
        QFETCH(int, size);
        QFETCH(std::optional<ImageError>, error);
        QTemporaryDir dir;
        const QString path = dir.filePath("image.x");
        QByteArray content;
        for (int i = 0; i < size; ++i)
            content += char(i * 13);
        if (size >= 0) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        const FirmwareImage image =
            readFirmwareImage(path.toStdString(), UploadSession::kBufferSize);
        QCOMPARE(image.error, error);
        if (error)
            QVERIFY(image.bytes.empty());
        else
            QCOMPARE(QByteArray(reinterpret_cast<const char *>(image.bytes.data()),
                                qsizetype(image.bytes.size())),
                     content);
    }

    void directoryIsNoImage()
    {
        QTemporaryDir dir;
        QCOMPARE(readFirmwareImage(dir.path().toStdString(), 100).error,
                 std::optional(ImageError::Unreadable));
    }
};

QTEST_APPLESS_MAIN(TestFirmwareImage)
#include "tst_firmwareimage.moc"
