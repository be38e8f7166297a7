// The "Load History" window of a build without Qt Charts (the Windows build while its Qt lacks
// the module): no chart, but the history can still be saved as CSV for a spreadsheet to draw.
// It defines what loadhistorywindow.h declares that a program calls (Save as CSV is shared, in
// loadhistorysave.cpp); the drawing is not there.
#include "panel/loadhistorywindow.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "panel/loadhistory.h"
#include "platform/operatordialogs.h"

namespace relaybox {

LoadHistoryWindow::LoadHistoryWindow(const LoadHistory &history, OperatorDialogs &dialogs,
                                     QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_history(history)
    , m_dialogs(dialogs)
    , m_chart(nullptr)
    , m_view(nullptr)
    , m_timeAxis(nullptr)
    , m_currentAxis(nullptr)
    , m_boxes(nullptr)
    , m_drawn(nullptr)
{
    setObjectName(QStringLiteral("LoadHistoryWindow"));
    setWindowTitle(QStringLiteral("Load History"));
    m_shown.fill(true);
    auto *note = new QLabel(
        QStringLiteral("This build draws no chart. Save the history as CSV to chart it elsewhere."),
        this);
    auto *save = new QPushButton(QStringLiteral("Save as CSV..."), this);
    save->setObjectName(QStringLiteral("btnSaveCsv"));
    connect(save, &QPushButton::clicked, this, &LoadHistoryWindow::saveAsCsv);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addWidget(save, 0, Qt::AlignRight);
}

int LoadHistoryWindow::seriesCount() const
{
    return 0;
}

const QList<QPointF> &LoadHistoryWindow::linePoints(int) const
{
    static const QList<QPointF> none;
    return none;
}

void LoadHistoryWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
}

void LoadHistoryWindow::refresh() { }

} // namespace relaybox
