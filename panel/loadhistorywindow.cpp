#include "loadhistorywindow.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineSeries>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>

#include "panel/loadhistory.h"
#include "panel/loadhistorycolours.h"
#include "platform/operatordialogs.h"
#include "platform/textfile.h"
#include "platform/wallclock.h"

namespace relaybox {
namespace {

// A day at 5 s polls is 17,280 samples a bank: each stretch keeps its lowest and highest
// reading, in the order they came, so peaks survive the thinning.
QList<QPointF> thinned(const std::vector<LoadSample> &samples, int maxPoints)
{
    QList<QPointF> points;
    const auto point = [](const LoadSample &sample) {
        return QPointF(double(sample.msSinceEpoch), double(sample.amperes));
    };
    const std::size_t count = samples.size();
    if (count <= std::size_t(maxPoints)) {
        points.reserve(qsizetype(count));
        for (const LoadSample &sample : samples)
            points << point(sample);
        return points;
    }
    const std::size_t stretches = std::size_t(maxPoints / 2);
    points.reserve(qsizetype(2 * stretches));
    for (std::size_t stretch = 0; stretch < stretches; ++stretch) {
        const auto begin = samples.begin() + std::ptrdiff_t(stretch * count / stretches);
        const auto end = samples.begin() + std::ptrdiff_t((stretch + 1) * count / stretches);
        const auto [low, high] =
            std::minmax_element(begin, end, [](const LoadSample &a, const LoadSample &b) {
                return a.amperes < b.amperes;
            });
        points << point(*std::min(low, high)) << point(*std::max(low, high));
    }
    return points;
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

void LoadHistoryWindow::setBankCount(int bankCount)
{
    for (int bank = m_bankCount; bank > bankCount; --bank) {
        m_chart->removeSeries(m_lines[bank - 1]);
        delete m_lines[bank - 1];
        delete m_checks[bank - 1];
        m_lines[bank - 1] = nullptr;
        m_checks[bank - 1] = nullptr;
    }
    for (int bank = m_bankCount + 1; bank <= bankCount; ++bank) {
        auto *line = new QLineSeries;
        line->setName(QStringLiteral("Bank %1").arg(bank));
        line->setPen(QPen(kLoadHistoryColours[std::size_t(bank - 1)], 1.5));
        m_chart->addSeries(line);
        line->attachAxis(m_timeAxis);
        line->attachAxis(m_currentAxis);
        line->setVisible(m_shown[bank - 1]);
        m_lines[bank - 1] = line;

        auto *check = new QCheckBox(QStringLiteral("Bank %1").arg(bank), this);
        check->setObjectName(QStringLiteral("chkBank%1").arg(bank));
        check->setChecked(m_shown[bank - 1]);
        connect(check, &QCheckBox::toggled, this, [this, bank](bool shown) {
            m_shown[bank - 1] = shown;
            if (m_lines[bank - 1])
                m_lines[bank - 1]->setVisible(shown);
        });
        m_boxes->addWidget(check, (bank - 1) / kBoxesPerRow, (bank - 1) % kBoxesPerRow);
        m_checks[bank - 1] = check;
    }
    m_bankCount = bankCount;
}

void LoadHistoryWindow::refresh()
{
    setBankCount(m_history.bankCount());
    std::int64_t first = std::numeric_limits<std::int64_t>::max();
    std::int64_t last = std::numeric_limits<std::int64_t>::min();
    float highest = 0.0f;
    for (int bank = 1; bank <= m_bankCount; ++bank) {
        const std::vector<LoadSample> samples = m_history.samples(bank);
        m_lines[bank - 1]->replace(thinned(samples, kMaxPointsPerLine));
        if (samples.empty())
            continue;
        first = std::min(first, samples.front().msSinceEpoch);
        last = std::max(last, samples.back().msSinceEpoch);
        for (const LoadSample &sample : samples)
            highest = std::max(highest, sample.amperes);
    }
    if (first > last) {
        last = utcMillisNow();
        first = last - 60'000;
    }
    // At least a minute wide, so that the first readings do not sit on one vertical line.
    first = std::min(first, last - 60'000);
    m_timeAxis->setFormat(last - first < 600'000 ? QStringLiteral("HH:mm:ss")
                                                 : QStringLiteral("HH:mm"));
    m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(first),
                         QDateTime::fromMSecsSinceEpoch(last));
    m_currentAxis->setRange(0.0, std::max(1.0, double(highest) * 1.1));
    m_currentAxis->applyNiceNumbers();
}

void LoadHistoryWindow::saveAsCsv()
{
    const std::optional<QString> file =
        m_dialogs.saveFileName(QStringLiteral("CSV files (*.csv)|*.csv"), QStringLiteral("csv"),
                               QStringLiteral("load-history.csv"));
    if (!file)
        return;
    if (!replaceTextFile(std::filesystem::path(file->toStdU16String()), m_history.toCsv()))
        m_dialogs.message(QStringLiteral("Warning"),
                          QStringLiteral("The load history could not be saved to %1.").arg(*file),
                          MessageIcon::Warning);
}

} // namespace relaybox
