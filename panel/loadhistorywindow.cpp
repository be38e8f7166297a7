#include "loadhistorywindow.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineSeries>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>

#include "panel/loadhistorycolours.h"
#include "panel/loadhistorylines.h"
#include "platform/operatordialogs.h"
#include "platform/wallclock.h"

namespace relaybox {
namespace {

// Column widths are powers of two of this: the width changes only when the span of the history
// doubles or halves (a few times a day), and only then are the lines read afresh.
constexpr std::int64_t kNarrowestColumnMs = 1000;
// Until the chart is laid out: about what an 800-pixel window gives the plot.
constexpr int kAssumedPlotWidth = 600;
// At least a minute wide, so that the first readings do not sit on one vertical line.
constexpr std::int64_t kNarrowestSpanMs = 60'000;

QPointF point(const LoadSample &sample)
{
    return QPointF(double(sample.msSinceEpoch), double(sample.amperes));
}

} // namespace

LoadHistoryWindow::LoadHistoryWindow(const LoadHistory &history, OperatorDialogs &dialogs,
                                     QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_history(history)
    , m_dialogs(dialogs)
    , m_chart(new QChart)
    , m_view(new QChartView(m_chart, this))
    , m_timeAxis(new QDateTimeAxis(m_chart))
    , m_currentAxis(new QValueAxis(m_chart))
    , m_boxes(new QGridLayout)
    , m_drawn(new LoadHistoryLines(m_chart))
{
    setObjectName(QStringLiteral("LoadHistoryWindow"));
    setWindowTitle(QStringLiteral("Load History"));
    m_shown.fill(true);

    m_timeAxis->setFormat(QStringLiteral("HH:mm"));
    m_timeAxis->setTitleText(QStringLiteral("Time"));
    m_currentAxis->setTitleText(QStringLiteral("Current (A)"));
    m_currentAxis->setLabelFormat(QStringLiteral("%.1f"));
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_chart->addAxis(m_currentAxis, Qt::AlignLeft);
    m_chart->legend()->setAlignment(Qt::AlignRight);
    // A wider or narrower plot holds more or fewer columns: read the lines again for it.
    connect(m_chart, &QChart::plotAreaChanged, this, [this] {
        if (isVisible() && m_columnMs != 0 && columnWidthFor(m_spanMs) != m_columnMs)
            QTimer::singleShot(0, this, &LoadHistoryWindow::refresh);
    });
    m_view->setObjectName(QStringLiteral("chartView"));
    m_view->setRenderHint(QPainter::Antialiasing);

    auto *save = new QPushButton(QStringLiteral("Save as CSV..."), this);
    save->setObjectName(QStringLiteral("btnSaveCsv"));
    connect(save, &QPushButton::clicked, this, &LoadHistoryWindow::saveAsCsv);

    auto *bottom = new QHBoxLayout;
    bottom->addLayout(m_boxes);
    bottom->addStretch();
    bottom->addWidget(save);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addLayout(bottom);
    resize(800, 560); // room for the legend of 16 banks
}

int LoadHistoryWindow::seriesCount() const
{
    return int(m_chart->series().size());
}

const QList<QPointF> &LoadHistoryWindow::linePoints(int bank) const
{
    return m_drawn->line(bank);
}

// A bank beyond the count keeps its readings in the history, not a line here; a bank that comes
// back gets its line again from them.
void LoadHistoryWindow::setBankCount(int bankCount)
{
    for (int bank = m_bankCount; bank > bankCount; --bank) {
        m_chart->removeSeries(m_series[bank - 1]);
        delete m_series[bank - 1];
        delete m_checks[bank - 1];
        m_series[bank - 1] = nullptr;
        m_checks[bank - 1] = nullptr;
        m_lines[bank - 1] = Line {};
        m_drawn->setLine(bank, {});
    }
    for (int bank = m_bankCount + 1; bank <= bankCount; ++bank) {
        // The series stays empty: it gives the legend its entry, the lines are drawn by m_drawn.
        auto *series = new QLineSeries;
        series->setName(QStringLiteral("Bank %1").arg(bank));
        series->setPen(QPen(kLoadHistoryColours[std::size_t(bank - 1)], 1.5));
        m_chart->addSeries(series);
        series->attachAxis(m_timeAxis);
        series->attachAxis(m_currentAxis);
        series->setVisible(m_shown[bank - 1]);
        m_series[bank - 1] = series;
        m_lines[bank - 1] = Line {};
        m_drawn->setColour(bank, kLoadHistoryColours[std::size_t(bank - 1)]);
        m_drawn->setShown(bank, m_shown[bank - 1]);

        auto *check = new QCheckBox(QStringLiteral("Bank %1").arg(bank), this);
        check->setObjectName(QStringLiteral("chkBank%1").arg(bank));
        check->setChecked(m_shown[bank - 1]);
        connect(check, &QCheckBox::toggled, this, [this, bank](bool shown) {
            m_shown[bank - 1] = shown;
            if (m_series[bank - 1])
                m_series[bank - 1]->setVisible(shown);
            m_drawn->setShown(bank, shown);
        });
        m_boxes->addWidget(check, (bank - 1) / kBoxesPerRow, (bank - 1) % kBoxesPerRow);
        m_checks[bank - 1] = check;
    }
    m_bankCount = bankCount;
}

std::int64_t LoadHistoryWindow::columnWidthFor(std::int64_t spanMs) const
{
    const int plotWidth = int(m_chart->plotArea().width());
    const std::int64_t columns = plotWidth > 0 ? plotWidth : kAssumedPlotWidth;
    std::int64_t columnMs = kNarrowestColumnMs;
    while (spanMs / columnMs > columns)
        columnMs *= 2;
    return columnMs;
}

void LoadHistoryWindow::restartLines(std::int64_t columnMs)
{
    m_columnMs = columnMs;
    m_revision = m_history.revision();
    for (Line &line : m_lines)
        line = Line {};
}

// Adds the readings the bank gained since the last refresh, and lets go of the columns whose
// readings have aged out of the history.
void LoadHistoryWindow::follow(int bank)
{
    Line &line = m_lines[bank - 1];
    const std::size_t count = m_history.sampleCount(bank);
    const std::uint64_t appended = m_history.appendedCount(bank);
    std::uint64_t fresh = appended - line.seen;
    if (appended < line.seen || fresh > count) {
        line.columns.clear();
        fresh = count;
    }
    for (std::size_t index = count - std::size_t(fresh); index < count; ++index) {
        const LoadSample sample = m_history.sample(bank, index);
        const std::int64_t column = sample.msSinceEpoch / m_columnMs;
        if (line.columns.empty() || line.columns.back().index != column) {
            line.columns.push_back({ column, sample, sample });
        } else {
            Column &last = line.columns.back();
            if (sample.amperes < last.low.amperes)
                last.low = sample;
            if (sample.amperes > last.high.amperes)
                last.high = sample;
        }
        line.changed = true;
    }
    line.seen = appended;
    const std::int64_t oldest = count > 0 ? m_history.sample(bank, 0).msSinceEpoch / m_columnMs
                                          : std::numeric_limits<std::int64_t>::max();
    while (!line.columns.empty() && line.columns.front().index < oldest) {
        line.columns.pop_front();
        line.changed = true;
    }
}

void LoadHistoryWindow::draw(int bank)
{
    Line &line = m_lines[bank - 1];
    QList<QPointF> points;
    points.reserve(qsizetype(2 * line.columns.size()));
    for (const Column &column : line.columns) {
        const bool lowFirst = column.low.msSinceEpoch <= column.high.msSinceEpoch;
        points << point(lowFirst ? column.low : column.high);
        if (column.low.msSinceEpoch != column.high.msSinceEpoch)
            points << point(lowFirst ? column.high : column.low);
    }
    m_drawn->setLine(bank, std::move(points));
    line.changed = false;
}

void LoadHistoryWindow::refresh()
{
    setBankCount(m_history.bankCount());
    std::int64_t first = std::numeric_limits<std::int64_t>::max();
    std::int64_t last = std::numeric_limits<std::int64_t>::min();
    for (int bank = 1; bank <= m_bankCount; ++bank) {
        const std::size_t count = m_history.sampleCount(bank);
        if (count == 0)
            continue;
        first = std::min(first, m_history.sample(bank, 0).msSinceEpoch);
        last = std::max(last, m_history.sample(bank, count - 1).msSinceEpoch);
    }
    if (first > last) {
        last = utcMillisNow();
        first = last - kNarrowestSpanMs;
    }
    first = std::min(first, last - kNarrowestSpanMs);
    m_spanMs = last - first;

    const std::int64_t columnMs = columnWidthFor(m_spanMs);
    if (columnMs != m_columnMs || m_history.revision() != m_revision)
        restartLines(columnMs);
    float highest = 0.0f;
    for (int bank = 1; bank <= m_bankCount; ++bank) {
        follow(bank);
        if (m_lines[bank - 1].changed)
            draw(bank);
        for (const Column &column : m_lines[bank - 1].columns)
            highest = std::max(highest, column.high.amperes);
    }

    // The axes move only when they must, since a new range lays the whole chart out and paints
    // it again: time in whole columns, the current when the lines outgrow it or shrink to half.
    const std::int64_t axisFirst = first / m_columnMs * m_columnMs;
    const std::int64_t axisLast = (last + m_columnMs - 1) / m_columnMs * m_columnMs;
    m_timeAxis->setFormat(m_spanMs < 600'000 ? QStringLiteral("HH:mm:ss")
                                             : QStringLiteral("HH:mm"));
    m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(axisFirst),
                         QDateTime::fromMSecsSinceEpoch(axisLast));
    const double top = std::max(1.0, double(highest) * 1.1);
    if (top > m_currentAxis->max() || top < m_currentAxis->max() / 2) {
        m_currentAxis->setRange(0.0, top);
        m_currentAxis->applyNiceNumbers();
    }
    m_drawn->setRange(double(axisFirst), double(axisLast), m_currentAxis->min(),
                      m_currentAxis->max());
}

void LoadHistoryWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // Restored after being minimised, when nothing was drawn: catch up.
    if (event->type() == QEvent::WindowStateChange && isVisible() && !isMinimized())
        refresh();
}

} // namespace relaybox
