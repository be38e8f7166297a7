// Save as CSV, the same with or without the chart.
#include <QString>
#include <filesystem>

#include "panel/loadhistory.h"
#include "panel/loadhistorywindow.h"
#include "platform/operatordialogs.h"
#include "platform/textfile.h"

namespace relaybox {

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
