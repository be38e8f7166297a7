#include "resources/digitpainter.h"
#include "resources/faceplategeometry.h"
#include "resources/lamppainter.h"
#include "resources/panelart.h"

#include <QImage>
#include <QTest>

#include <climits>

using namespace relaybox;

namespace {

enum class List { Lamp, LabelledLamp, CurrentDigit, BankDigit, PortButton, MenuButton };

QPixmap picture(const PanelArt &art, List list, int index)
{
    switch (list) {
    case List::Lamp:
        return art.lamp(index);
    case List::LabelledLamp:
        return art.labelledLamp(index);
    case List::CurrentDigit:
        return art.currentDigit(index);
    case List::BankDigit:
        return art.bankDigit(index);
    case List::PortButton:
        return art.portButton(index);
    case List::MenuButton:
        return art.menuButton(index);
    }
    return {};
}

int brightest(QRgb pixel)
{
    return std::max({ qRed(pixel), qGreen(pixel), qBlue(pixel) });
}

int channelDistance(QRgb a, QRgb b)
{
    return std::max({ std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                      std::abs(qBlue(a) - qBlue(b)) });
}

double meanLuminance(const QImage &image)
{
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += qGray(image.pixel(x, y));
    return sum / (image.width() * image.height());
}

// Samples a picture at a point given in its logical (1x) coordinates.
QRgb sample(const QImage &image, QPointF logical)
{
    const qreal ratio = image.devicePixelRatio();
    return image.pixel(static_cast<int>(logical.x() * ratio),
                       static_cast<int>(logical.y() * ratio));
}

} // namespace

Q_DECLARE_METATYPE(List)

class TestPanelArt : public QObject
{
    Q_OBJECT

private slots:
    void listsHaveTheirCountAndSize_data();
    void listsHaveTheirCountAndSize();
    void outOfRangeIndexesGiveNullPixmaps_data();
    void outOfRangeIndexesGiveNullPixmaps();
    void digitsLightTheRightSegments_data();
    void digitsLightTheRightSegments();
    void digitShapesStayInsideTheirImage_data();
    void digitShapesStayInsideTheirImage();
    void lampIndexIsTwiceOnPlusAlarm_data();
    void lampIndexIsTwiceOnPlusAlarm();
    void pressedAndSunkenButtonsAreDarker();
    void faceplateIsDarkAndSeamlessUnderEveryControl();
    void faceplateCarriesAPortCaptionAboveEachButton();
    void separatorIsBlueAndFadesAtBothEnds();
    void programIconHasEverySize();
    void picturesAreRenderedOnce();
};

void TestPanelArt::listsHaveTheirCountAndSize_data()
{
    QTest::addColumn<List>("list");
    QTest::addColumn<int>("count");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<qreal>("ratio");
    for (qreal ratio : { 1.0, 3.0 }) {
        const QByteArray at = ratio == 1.0 ? " 1x" : " 3x";
        QTest::newRow("imlLed" + at) << List::Lamp << 4 << QSize(21, 28) << ratio;
        QTest::newRow("imlRLed" + at) << List::LabelledLamp << 4 << QSize(50, 26) << ratio;
        QTest::newRow("ImageList1" + at) << List::CurrentDigit << 20 << QSize(27, 37) << ratio;
        QTest::newRow("imlBankNo" + at) << List::BankDigit << 10 << QSize(29, 37) << ratio;
        QTest::newRow("imlButton" + at) << List::PortButton << 2 << QSize(29, 28) << ratio;
        QTest::newRow("imLogo" + at) << List::MenuButton << 2 << QSize(39, 15) << ratio;
    }
}

// Every picture has the list's size, and no two pictures of a list look the same.
void TestPanelArt::listsHaveTheirCountAndSize()
{
    QFETCH(List, list);
    QFETCH(int, count);
    QFETCH(QSize, size);
    QFETCH(qreal, ratio);

    const PanelArt art(ratio);
    std::vector<QImage> images;
    for (int i = 0; i < count; ++i) {
        const QPixmap pixmap = picture(art, list, i);
        QVERIFY2(!pixmap.isNull(), qPrintable(QString("image %1").arg(i)));
        QCOMPARE(pixmap.deviceIndependentSize().toSize(), size);
        QCOMPARE(pixmap.size(), size * ratio);
        images.push_back(pixmap.toImage());
    }
    QVERIFY(picture(art, list, count).isNull());
    for (int a = 0; a < count; ++a)
        for (int b = a + 1; b < count; ++b)
            QVERIFY2(images[a] != images[b], qPrintable(QString("images %1 and %2").arg(a).arg(b)));
}

void TestPanelArt::outOfRangeIndexesGiveNullPixmaps_data()
{
    QTest::addColumn<List>("list");
    QTest::addColumn<int>("index");
    const std::pair<List, int> lists[] = { { List::Lamp, 4 },          { List::LabelledLamp, 4 },
                                           { List::CurrentDigit, 20 }, { List::BankDigit, 10 },
                                           { List::PortButton, 2 },    { List::MenuButton, 2 } };
    for (const auto &[list, count] : lists) {
        for (int index : { -1, count, count + 1, INT_MIN, INT_MAX }) {
            QTest::addRow("list %d index %d", static_cast<int>(list), index) << list << index;
        }
    }
}

void TestPanelArt::outOfRangeIndexesGiveNullPixmaps()
{
    QFETCH(List, list);
    QFETCH(int, index);
    const PanelArt art;
    QVERIFY(picture(art, list, index).isNull());
    QVERIFY(!picture(art, list, 0).isNull());
}

void TestPanelArt::digitsLightTheRightSegments_data()
{
    QTest::addColumn<bool>("bank");
    QTest::addColumn<int>("index");
    QTest::addColumn<qreal>("ratio");
    for (qreal ratio : { 1.0, 3.0 }) {
        for (int i = 0; i < 20; ++i)
            QTest::addRow("current %d at %gx", i, ratio) << false << i << ratio;
        for (int i = 0; i < 10; ++i)
            QTest::addRow("bank %d at %gx", i, ratio) << true << i << ratio;
    }
}

// Samples the middle of every segment: lit segments glow, unlit ones stay faint.
void TestPanelArt::digitsLightTheRightSegments()
{
    QFETCH(bool, bank);
    QFETCH(int, index);
    QFETCH(qreal, ratio);

    const PanelArt art(ratio);
    const QImage image = (bank ? art.bankDigit(index) : art.currentDigit(index)).toImage();
    const DigitPainter painter(bank ? DigitStyle::bank() : DigitStyle::current());
    const SevenSegmentLayout layout = painter.layout();
    const int digit = index % 10;
    auto litChannel = [bank](QRgb p) {
        return bank ? qGreen(p) : qRed(p);
    };

    for (Segment s : kDigitSegments) {
        const int level = litChannel(sample(image, layout.centre(s)));
        const QByteArray where = "segment " + QByteArray::number(static_cast<int>(s));
        if (isLit(digit, s))
            QVERIFY2(level > 200, where + " should be lit, level " + QByteArray::number(level));
        else
            QVERIFY2(level < 110, where + " should be dark, level " + QByteArray::number(level));
    }
    if (!bank) {
        const int point = litChannel(sample(image, layout.centre(Segment::Point)));
        QCOMPARE(point > 200, index >= 10);
    }
}

void TestPanelArt::digitShapesStayInsideTheirImage_data()
{
    QTest::addColumn<bool>("bank");
    QTest::newRow("current") << false;
    QTest::newRow("bank") << true;
}

// A slanted digit must not be clipped by its image, and segments must not touch each other.
void TestPanelArt::digitShapesStayInsideTheirImage()
{
    QFETCH(bool, bank);
    const DigitStyle style = bank ? DigitStyle::bank() : DigitStyle::current();
    const SevenSegmentLayout layout = DigitPainter(style).layout();
    const QRectF image = QRectF(QPointF(0, 0), QSizeF(style.imageSize)).adjusted(1, 1, -1, -1);

    std::vector<Segment> segments(kDigitSegments.begin(), kDigitSegments.end());
    if (style.hasPoint)
        segments.push_back(Segment::Point);
    for (Segment s : segments) {
        const QRectF bounds = layout.outline(s).boundingRect();
        QVERIFY2(image.contains(bounds), qPrintable(QString("segment %1").arg(int(s))));
    }
    for (std::size_t a = 0; a < segments.size(); ++a) {
        for (std::size_t b = a + 1; b < segments.size(); ++b) {
            const QPolygonF overlap =
                layout.outline(segments[a]).intersected(layout.outline(segments[b]));
            QVERIFY2(overlap.boundingRect().width() * overlap.boundingRect().height() < 0.05,
                     qPrintable(QString("segments %1 and %2").arg(int(a)).arg(int(b))));
        }
    }
}

void TestPanelArt::lampIndexIsTwiceOnPlusAlarm_data()
{
    QTest::addColumn<bool>("labelled");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("alarm");
    QTest::addColumn<bool>("on");
    for (bool labelled : { false, true }) {
        const char *kind = labelled ? "imlRLed" : "imlLed";
        QTest::addRow("%s 0 both dark", kind) << labelled << 0 << false << false;
        QTest::addRow("%s 1 alarm", kind) << labelled << 1 << true << false;
        QTest::addRow("%s 2 on", kind) << labelled << 2 << false << true;
        QTest::addRow("%s 3 both", kind) << labelled << 3 << true << true;
    }
}

void TestPanelArt::lampIndexIsTwiceOnPlusAlarm()
{
    QFETCH(bool, labelled);
    QFETCH(int, index);
    QFETCH(bool, alarm);
    QFETCH(bool, on);

    const PanelArt art;
    const QImage image = (labelled ? art.labelledLamp(index) : art.lamp(index)).toImage();
    const auto kind = labelled ? LampPainter::Kind::Labelled : LampPainter::Kind::Plain;
    const QRgb top = sample(image, LampPainter::alarmCentre(kind));
    const QRgb bottom = sample(image, LampPainter::onCentre(kind));

    QCOMPARE(qRed(top) > 200, alarm);
    QVERIFY(qRed(top) > 200 || qRed(top) < 120);
    QVERIFY(qRed(top) >= qGreen(top)); // the upper lamp is the red one
    QCOMPARE(qGreen(bottom) > 200, on);
    QVERIFY(qGreen(bottom) > 200 || qGreen(bottom) < 120);
    QVERIFY(qGreen(bottom) >= qRed(bottom)); // the lower lamp is the green one
}

void TestPanelArt::pressedAndSunkenButtonsAreDarker()
{
    const PanelArt art;
    const double pressed = meanLuminance(art.portButton(0).toImage());
    const double released = meanLuminance(art.portButton(1).toImage());
    QVERIFY2(pressed + 40 < released, qPrintable(QString("%1 vs %2").arg(pressed).arg(released)));

    const double raised = meanLuminance(art.menuButton(0).toImage());
    const double sunken = meanLuminance(art.menuButton(1).toImage());
    QVERIFY2(sunken + 15 < raised, qPrintable(QString("%1 vs %2").arg(sunken).arg(raised)));
}

// Nothing printed may hide under a control, and each control's own background continues the
// faceplate's recess around it, so the edges do not show.
void TestPanelArt::faceplateIsDarkAndSeamlessUnderEveryControl()
{
    using namespace faceplate;
    const PanelArt art;
    const QImage plate = art.faceplate().toImage();
    QCOMPARE(plate.size(), kPanelSize);

    struct Control
    {
        QRect rect;
        QImage image;
    };
    std::vector<Control> controls;
    for (int port = 1; port <= kPorts; ++port) {
        controls.push_back({ buttonRect(port), art.portButton(1).toImage() });
        controls.push_back(
            { lampRect(port), (port == 1 ? art.labelledLamp(0) : art.lamp(0)).toImage() });
        controls.push_back({ countdownRect(port), {} });
    }
    for (const QRect &r : kCurrentDigitRect)
        controls.push_back({ r, art.currentDigit(8).toImage() });
    for (const QRect &r : kBankDigitRect)
        controls.push_back({ r, art.bankDigit(8).toImage() });
    controls.push_back({ kMenuButtonRect, art.menuButton(0).toImage() });

    for (const Control &control : controls) {
        const QRect r = control.rect;
        const QByteArray where = QByteArray::number(r.left()) + "," + QByteArray::number(r.top());
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                QVERIFY2(brightest(plate.pixel(x, y)) < 40, where);
        if (control.image.isNull())
            continue;
        const QRgb controlCorner = control.image.pixel(0, 0);
        const QRgb plateCorner = plate.pixel(r.topLeft());
        QVERIFY2(channelDistance(controlCorner, plateCorner) <= 4, where);
    }
}

void TestPanelArt::faceplateCarriesAPortCaptionAboveEachButton()
{
    const QImage plate = PanelArt().faceplate().toImage();
    for (int port = 1; port <= faceplate::kPorts; ++port) {
        const QRect button = faceplate::buttonRect(port);
        int light = 0;
        for (int y = 3; y < button.top() - 2; ++y)
            for (int x = button.left(); x <= button.right(); ++x)
                light += brightest(plate.pixel(x, y)) > 180;
        QVERIFY2(light >= 10, qPrintable(QString("PC %1").arg(port)));
    }
}

void TestPanelArt::separatorIsBlueAndFadesAtBothEnds()
{
    const QImage strip = PanelArt().separator().toImage();
    QCOMPARE(strip.size(), QSize(590, 10));
    const int middle = strip.height() / 2;
    QVERIFY(qAlpha(strip.pixel(0, middle)) < 20);
    QVERIFY(qAlpha(strip.pixel(589, middle)) < 20);
    const QRgb centre = strip.pixel(295, middle);
    QCOMPARE(qAlpha(centre), 255);
    QVERIFY(qBlue(centre) > qRed(centre) + 30);
    QVERIFY(qGray(centre) < 100);
}

void TestPanelArt::programIconHasEverySize()
{
    const QIcon icon = PanelArt().programIcon();
    const QList<QSize> sizes = icon.availableSizes();
    for (int size : PanelArt::kIconSizes) {
        QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));
        const QImage image = icon.pixmap(QSize(size, size)).toImage();
        QCOMPARE(image.size(), QSize(size, size));
        QVERIFY(qAlpha(image.pixel(size / 2, size / 2)) > 0);
    }
    QCOMPARE(PanelArt::programIconImage(256).size(), QSize(256, 256));
}

void TestPanelArt::picturesAreRenderedOnce()
{
    const PanelArt art;
    QCOMPARE(art.faceplate().cacheKey(), art.faceplate().cacheKey());
    QCOMPARE(art.currentDigit(13).cacheKey(), art.currentDigit(13).cacheKey());
    QCOMPARE(art.lamp(2).cacheKey(), art.lamp(2).cacheKey());
}

QTEST_MAIN(TestPanelArt)
#include "tst_panelart.moc"
