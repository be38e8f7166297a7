#include "qtoperatordialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace relaybox {
namespace {

QMessageBox::Icon qtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

std::optional<QString> chosen(const QString &name)
{
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

} // namespace

QString qtFileFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        filters << QStringLiteral("%1 (%2)").arg(
            parts.at(i), QString(parts.at(i + 1)).replace(QLatin1Char(';'), QLatin1Char(' ')));
    return filters.join(QStringLiteral(";;"));
}

MessageAnswer QtOperatorDialogs::message(const QString &title, const QString &text,
                                         MessageIcon icon, MessageButtons buttons)
{
    QMessageBox box(qtIcon(icon), title,
                    QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n')),
                    buttons == MessageButtons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel
                                                        : QMessageBox::Ok,
                    QApplication::activeWindow());
    return box.exec() == QMessageBox::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

std::optional<QString> QtOperatorDialogs::openFileName(const QString &filter,
                                                       const QString &defaultSuffix,
                                                       const QString &fileName)
{
    QFileDialog dialog(QApplication::activeWindow(), QString(), fileName, qtFileFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(
        QString(defaultSuffix).remove(0, defaultSuffix.startsWith('.') ? 1 : 0));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return chosen(dialog.selectedFiles().constFirst());
}

std::optional<QString> QtOperatorDialogs::saveFileName(const QString &filter,
                                                       const QString &defaultSuffix,
                                                       const QString &fileName)
{
    QFileDialog dialog(QApplication::activeWindow(), QString(), fileName, qtFileFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(
        QString(defaultSuffix).remove(0, defaultSuffix.startsWith('.') ? 1 : 0));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return chosen(dialog.selectedFiles().constFirst());
}

} // namespace relaybox
