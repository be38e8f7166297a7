#pragma once

#include <QColor>
#include <QGraphicsItem>
#include <QList>
#include <QPointF>
#include <array>

#include "link/bankinfo.h"

class QChart;

// The lines of the Load History chart, drawn over its plot straight from each bank's reduced
// readings. The chart library's own line series work out the outline of every line again on
// each change (tens of milliseconds a poll for 16 banks with a full day); thin lines drawn here
// cost a fraction of a millisecond. The library's series stay, empty, for the legend.

namespace relaybox {

class LoadHistoryLines : public QGraphicsItem
{
public:
    explicit LoadHistoryLines(QChart *chart);

    // Points are (milliseconds since 1970, amperes), in time order.
    void setLine(int bank, QList<QPointF> points);
    const QList<QPointF> &line(int bank) const { return m_lines[bank - 1]; }
    void setColour(int bank, const QColor &colour);
    void setShown(int bank, bool shown);
    // The values at the plot's edges.
    void setRange(double firstMs, double lastMs, double lowest, double highest);

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *) override;

private:
    QChart *m_chart;
    std::array<QList<QPointF>, kMaxBanks> m_lines {};
    std::array<QColor, kMaxBanks> m_colours {};
    std::array<bool, kMaxBanks> m_shown {};
    QRectF m_range; // x: time, y: current
    QPolygonF m_scratch; // reused for every line
};

} // namespace relaybox
