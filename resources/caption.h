#pragma once

#include <QColor>
#include <QPointF>
#include <QString>

class QPainter;

namespace relaybox {

enum class CaptionAnchor { Left, Centre, Right };

// Printed panel lettering: bold condensed sans at any fractional size, with a faint shadow below.
class Caption
{
public:
    Caption(QString text, qreal pixelSize);

    qreal width() const;
    // baseline: where the text's baseline meets the anchor edge or centre.
    void draw(QPainter &painter, QPointF baseline, CaptionAnchor anchor, const QColor &colour,
              bool shadow = true) const;

private:
    QString m_text;
    qreal m_pixelSize;
};

} // namespace relaybox
