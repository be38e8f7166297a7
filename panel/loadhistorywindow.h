#pragma once

#include <QWidget>
#include <array>

#include "link/bankinfo.h"

class QChart;
class QChartView;
class QCheckBox;
class QDateTimeAxis;
class QGridLayout;
class QLineSeries;
class QValueAxis;

// The "Load History" window: one line per bank of its current against time, banks shown or
// hidden by their boxes, and "Save as CSV...". It draws what the history holds; it keeps nothing.

namespace relaybox {

class LoadHistory;
class OperatorDialogs;

class LoadHistoryWindow : public QWidget
{
    Q_OBJECT

public:
    // A line keeps at most this many points; longer histories keep each stretch's low and high.
    static constexpr int kMaxPointsPerLine = 2000;

    LoadHistoryWindow(const LoadHistory &history, OperatorDialogs &dialogs,
                      QWidget *parent = nullptr);

    // Draws the history as it is now.
    void refresh();

    int seriesCount() const;
    bool isBankShown(int bank) const { return m_shown[bank - 1]; }

private:
    static constexpr int kBoxesPerRow = 8;

    void setBankCount(int bankCount);
    void saveAsCsv();

    const LoadHistory &m_history;
    OperatorDialogs &m_dialogs;
    QChart *m_chart;
    QChartView *m_view;
    QDateTimeAxis *m_timeAxis;
    QValueAxis *m_currentAxis;
    QGridLayout *m_boxes;
    std::array<QLineSeries *, kMaxBanks> m_lines {};
    std::array<QCheckBox *, kMaxBanks> m_checks {};
    std::array<bool, kMaxBanks> m_shown {};
    int m_bankCount = 0;
};

} // namespace relaybox
