#include "panelart.h"

#include "brushedmetal.h"
#include "buttonpainter.h"
#include "digitpainter.h"
#include "lamppainter.h"
#include "svgart.h"

#include <QImage>
#include <QPainter>

namespace relaybox {

namespace {

const QColor kPlateMetal(0x34, 0x38, 0x3f);

// Draws an SVG picture of the art over whatever the image already holds.
void renderSvg(QImage &image, const QString &name, QSize logicalSize)
{
    QPainter painter(&image);
    drawSvgArt(painter, name, QRectF(QPointF(0, 0), QSizeF(logicalSize)));
}

QImage transparentImage(QSize logicalSize, qreal ratio)
{
    QImage image(logicalSize * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    return image;
}

template<typename Paint> void fillOnce(std::vector<QPixmap> &list, int count, Paint paint)
{
    if (!list.empty())
        return;
    list.reserve(count);
    for (int i = 0; i < count; ++i)
        list.push_back(QPixmap::fromImage(paint(i)));
}

QPixmap pick(const std::vector<QPixmap> &list, int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= list.size())
        return {};
    return list[static_cast<std::size_t>(index)];
}

} // namespace

PanelArt::PanelArt(qreal devicePixelRatio)
    : m_ratio(devicePixelRatio > 0 ? devicePixelRatio : 1.0)
{ }

QPixmap PanelArt::faceplate() const
{
    if (m_faceplate.isNull()) {
        QImage image = BrushedMetal::texture(kFaceplateSize, m_ratio, kPlateMetal);
        renderSvg(image, QStringLiteral("faceplate"), kFaceplateSize);
        m_faceplate = QPixmap::fromImage(image);
    }
    return m_faceplate;
}

QPixmap PanelArt::separator() const
{
    if (m_separator.isNull()) {
        QImage image = transparentImage(kSeparatorSize, m_ratio);
        renderSvg(image, QStringLiteral("separator"), kSeparatorSize);
        m_separator = QPixmap::fromImage(image);
    }
    return m_separator;
}

QPixmap PanelArt::lamp(int index) const
{
    fillOnce(m_lamps, kLampCount,
             [this](int i) { return LampPainter::paint(LampPainter::Kind::Plain, i, m_ratio); });
    return pick(m_lamps, index);
}

QPixmap PanelArt::labelledLamp(int index) const
{
    fillOnce(m_labelledLamps, kLampCount,
             [this](int i) { return LampPainter::paint(LampPainter::Kind::Labelled, i, m_ratio); });
    return pick(m_labelledLamps, index);
}

QPixmap PanelArt::currentDigit(int index) const
{
    fillOnce(m_currentDigits, kCurrentDigitCount, [this](int i) {
        return DigitPainter(DigitStyle::current()).paint(i % 10, i >= 10, m_ratio);
    });
    return pick(m_currentDigits, index);
}

QPixmap PanelArt::bankDigit(int index) const
{
    fillOnce(m_bankDigits, kBankDigitCount,
             [this](int i) { return DigitPainter(DigitStyle::bank()).paint(i, false, m_ratio); });
    return pick(m_bankDigits, index);
}

QPixmap PanelArt::portButton(int index) const
{
    fillOnce(m_portButtons, kButtonCount,
             [this](int i) { return ButtonPainter::portButton(i == 0, m_ratio); });
    return pick(m_portButtons, index);
}

QPixmap PanelArt::menuButton(int index) const
{
    fillOnce(m_menuButtons, kButtonCount,
             [this](int i) { return ButtonPainter::menuButton(i == 1, m_ratio); });
    return pick(m_menuButtons, index);
}

QPixmap PanelArt::portButtonRing(int index) const
{
    fillOnce(m_portButtonRings, kButtonCount,
             [this](int i) { return ButtonPainter::portButtonRing(i == 1, m_ratio); });
    return pick(m_portButtonRings, index);
}

QImage PanelArt::programIconImage(int size)
{
    QImage image = transparentImage(QSize(size, size), 1.0);
    renderSvg(image, QStringLiteral("relaybox"), QSize(size, size));
    return image;
}

QIcon PanelArt::programIcon() const
{
    if (m_icon.isNull()) {
        for (int size : kIconSizes)
            m_icon.addPixmap(QPixmap::fromImage(programIconImage(size)));
    }
    return m_icon;
}

} // namespace relaybox
