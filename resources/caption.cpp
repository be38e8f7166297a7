#include "caption.h"

#include "artstyle.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace relaybox {

namespace {

// Text is laid out at a large size and scaled down, so sizes below one pixel step stay exact
// whatever the screen's resolution.
constexpr int kLayoutPixelSize = 100;

QFont layoutFont()
{
    QFont font;
    font.setFamilies({ QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans"),
                       QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Arial") });
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(kLayoutPixelSize);
    font.setBold(true);
    return font;
}

} // namespace

Caption::Caption(QString text, qreal pixelSize)
    : m_text(std::move(text))
    , m_pixelSize(pixelSize)
{ }

qreal Caption::width() const
{
    return QFontMetricsF(layoutFont()).horizontalAdvance(m_text) * m_pixelSize / kLayoutPixelSize;
}

void Caption::draw(QPainter &painter, QPointF baseline, CaptionAnchor anchor, const QColor &colour,
                   bool shadow) const
{
    const qreal scale = m_pixelSize / kLayoutPixelSize;
    QPainterPath path;
    path.addText(0, 0, layoutFont(), m_text);
    qreal left = baseline.x();
    if (anchor == CaptionAnchor::Centre)
        left -= width() / 2;
    else if (anchor == CaptionAnchor::Right)
        left -= width();

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.translate(left, baseline.y());
    painter.scale(scale, scale);
    if (shadow) {
        painter.setBrush(artstyle::kCaptionShadow);
        painter.drawPath(path.translated(0, 0.6 / scale));
    }
    painter.setBrush(colour);
    painter.drawPath(path);
    painter.restore();
}

} // namespace relaybox
