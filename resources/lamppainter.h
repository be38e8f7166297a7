#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QSize>

namespace relaybox {

// Paints the red-over-green lamp pairs; index = 2 x on + alarm, as the window picks them.
class LampPainter
{
public:
    enum class Kind { Plain, Labelled }; // Labelled prints ALARM and ON to the left of the lamps

    static QSize imageSize(Kind kind);
    static QPointF alarmCentre(Kind kind);
    static QPointF onCentre(Kind kind);
    static qreal lensRadius(Kind kind);

    // index 0..3; other indexes give both lamps dark.
    static QImage paint(Kind kind, int index, qreal devicePixelRatio = 1.0);
};

} // namespace relaybox
