// The "Load History" window of a build without Qt Charts (the Windows build while its Qt lacks
// the module): no chart, but the history can still be saved as CSV for a spreadsheet to draw.
// It defines what loadhistorywindow.h declares that a program calls; the drawing is not there.
#include "panel/loadhistorywindow.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "panel/loadhistory.h"
#include "platform/operatordialogs.h"
#include "platform/textfile.h"

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
