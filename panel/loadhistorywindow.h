#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <deque>

#include "link/bankinfo.h"
#include "panel/loadhistory.h"

class QChart;
class QChartView;
class QCheckBox;
class QDateTimeAxis;
class QGridLayout;
class QLineSeries;
class QValueAxis;

// The "Load History" window: one line per bank of its current against time, banks shown or
// hidden by their boxes, and "Save as CSV...". Each line is reduced to what the chart's width can
// show: the readings of one column of the plot keep their lowest and highest, in the order they
// came, so peaks survive. A refresh only adds what the history gained since the last one.

namespace relaybox {

class LoadHistoryLines;
class OperatorDialogs;

class LoadHistoryWindow : public QWidget
{
    Q_OBJECT

public:
    LoadHistoryWindow(const LoadHistory &history, OperatorDialogs &dialogs,
                      QWidget *parent = nullptr);

    // Draws the history as it is now.
    void refresh();

    int seriesCount() const;
    bool isBankShown(int bank) const { return m_shown[bank - 1]; }
    // The points of the bank's line (at most two a column of the plot): (ms since 1970, A).
    const QList<QPointF> &linePoints(int bank) const;

protected:
    void changeEvent(QEvent *event) override;

private:
    static constexpr int kBoxesPerRow = 8;

    // One column of the plot: the lowest and highest reading in its stretch of time.
    struct Column
    {
        std::int64_t index = 0; // time / column width
        LoadSample low;
        LoadSample high;
    };
    struct Line
    {
        std::deque<Column> columns;
        std::uint64_t seen = 0; // the history's appended count already in the columns
        bool changed = true; // since it was last drawn
    };

    void setBankCount(int bankCount);
    std::int64_t columnWidthFor(std::int64_t spanMs) const;
    void restartLines(std::int64_t columnMs);
    void follow(int bank);
    void draw(int bank);
    void saveAsCsv();

    const LoadHistory &m_history;
    OperatorDialogs &m_dialogs;
    QChart *m_chart;
    QChartView *m_view;
    QDateTimeAxis *m_timeAxis;
    QValueAxis *m_currentAxis;
    QGridLayout *m_boxes;
    LoadHistoryLines *m_drawn;
    std::array<QLineSeries *, kMaxBanks> m_series {};
    std::array<QCheckBox *, kMaxBanks> m_checks {};
    std::array<bool, kMaxBanks> m_shown {};
    std::array<Line, kMaxBanks> m_lines {};
    int m_bankCount = 0;
    std::uint64_t m_revision = 0;
    std::int64_t m_columnMs = 0; // 0: nothing followed yet
    std::int64_t m_spanMs = 0; // of the last refresh
};

} // namespace relaybox
