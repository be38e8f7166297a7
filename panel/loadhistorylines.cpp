#include "loadhistorylines.h"

#include <QChart>
#include <QPainter>

namespace relaybox {

LoadHistoryLines::LoadHistoryLines(QChart *chart)
    : QGraphicsItem(chart)
    , m_chart(chart)
{
    m_shown.fill(true);
    setZValue(10); // above the grid and the (empty) series
    QObject::connect(chart, &QChart::plotAreaChanged, [this] {
        prepareGeometryChange();
        update();
    });
}

void LoadHistoryLines::setLine(int bank, QList<QPointF> points)
{
    m_lines[bank - 1] = std::move(points);
    update();
}

void LoadHistoryLines::setColour(int bank, const QColor &colour)
{
    m_colours[bank - 1] = colour;
}

void LoadHistoryLines::setShown(int bank, bool shown)
{
    m_shown[bank - 1] = shown;
    update();
}

void LoadHistoryLines::setRange(double firstMs, double lastMs, double lowest, double highest)
{
    const QRectF range(firstMs, lowest, lastMs - firstMs, highest - lowest);
    if (range != m_range) {
        m_range = range;
        update();
    }
}

QRectF LoadHistoryLines::boundingRect() const
{
    return m_chart->plotArea();
}

void LoadHistoryLines::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    const QRectF plot = m_chart->plotArea();
    if (plot.isEmpty() || m_range.width() <= 0 || m_range.height() <= 0)
        return;
    const double xScale = plot.width() / m_range.width();
    const double yScale = plot.height() / m_range.height();
    painter->save();
    painter->setClipRect(plot);
    // Plain one-pixel lines: smoothing them costs more than the rest of the repaint.
    painter->setRenderHint(QPainter::Antialiasing, false);
    for (int bank = 1; bank <= kMaxBanks; ++bank) {
        const QList<QPointF> &points = m_lines[bank - 1];
        if (!m_shown[bank - 1] || points.isEmpty())
            continue;
        m_scratch.resize(points.size());
        for (qsizetype i = 0; i < points.size(); ++i)
            m_scratch[i] = QPointF(plot.left() + (points[i].x() - m_range.left()) * xScale,
                                   plot.bottom() - (points[i].y() - m_range.top()) * yScale);
        // A one-pixel cosmetic pen takes the painter's fast path: no outline is worked out.
        QPen pen(m_colours[bank - 1], 1);
        pen.setCosmetic(true);
        painter->setPen(pen);
        painter->drawPolyline(m_scratch);
    }
    painter->restore();
}

} // namespace relaybox
