#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTest>

#include "resources/svgart.h"

// The panel pictures of a build without Qt Svg: drawn from what the host's Qt Svg baked, they
// must look as Qt Svg draws them, also at a scale that was not baked.
class TestBakedArt : public QObject
{
    Q_OBJECT

private slots:
    void drawsAsQtSvgDoes_data();
    void drawsAsQtSvgDoes();
    void unknownPictureDrawsNothing();

private:
    static QImage canvas(QSize logical, qreal ratio)
    {
        QImage image(logical * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        return image;
    }
};

void TestBakedArt::drawsAsQtSvgDoes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("logical");
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<int>("tolerance"); // mean difference per channel, 0 to 255

    QTest::newRow("faceplate 1x") << "faceplate" << QSize(590, 99) << 1.0 << 0;
    QTest::newRow("separator 2x") << "separator" << QSize(590, 10) << 2.0 << 0;
    QTest::newRow("icon 48") << "relaybox" << QSize(48, 48) << 1.0 << 0;
    // Not baked: the 2x picture, scaled down.
    QTest::newRow("faceplate 1.5x") << "faceplate" << QSize(590, 99) << 1.5 << 6;
    QTest::newRow("icon 24") << "relaybox" << QSize(24, 24) << 1.0 << 6;
}

void TestBakedArt::drawsAsQtSvgDoes()
{
    QFETCH(QString, name);
    QFETCH(QSize, logical);
    QFETCH(qreal, ratio);
    QFETCH(int, tolerance);
    const QRectF target(QPointF(0, 0), QSizeF(logical));

    QImage baked = canvas(logical, ratio);
    {
        QPainter painter(&baked);
        relaybox::drawSvgArt(painter, name, target);
    }
    QImage expected = canvas(logical, ratio);
    {
        QPainter painter(&expected);
        QSvgRenderer(QStringLiteral(":/relaybox/art/%1.svg").arg(name)).render(&painter, target);
    }

    qint64 difference = 0;
    qint64 opaque = 0;
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            const QColor a = baked.pixelColor(x, y);
            const QColor b = expected.pixelColor(x, y);
            difference += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green())
                + std::abs(a.blue() - b.blue()) + std::abs(a.alpha() - b.alpha());
            opaque += a.alpha() > 0;
        }
    }
    QVERIFY2(opaque > expected.width() * expected.height() / 20, "the picture is not there");
    const qint64 samples = qint64(expected.width()) * expected.height() * 4;
    QVERIFY2(difference <= tolerance * samples,
             qPrintable(QStringLiteral("mean difference %1").arg(double(difference) / samples)));
}

void TestBakedArt::unknownPictureDrawsNothing()
{
    QImage image = canvas(QSize(20, 20), 1.0);
    {
        QPainter painter(&image);
        relaybox::drawSvgArt(painter, QStringLiteral("nothing"), QRectF(0, 0, 20, 20));
    }
    QCOMPARE(image, canvas(QSize(20, 20), 1.0));
}

QTEST_MAIN(TestBakedArt)
#include "tst_bakedart.moc"
