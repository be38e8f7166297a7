#include "tform2.h"

#include <QLabel>
#include <QPushButton>

namespace relaybox {

TForm2::TForm2(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QStringLiteral("About KESTRANE Relaybox Manager"));
    setFixedSize(298, 138);

    auto *title = new QLabel(QStringLiteral("KESTRANE Relaybox Management V1.00"), this);
    title->setObjectName(QStringLiteral("Label7"));
    QFont titleFont = title->font();
    titleFont.setPixelSize(15);
    titleFont.setBold(true);
    title->setFont(titleFont);
    title->setAlignment(Qt::AlignCenter);
    title->setGeometry(0, 16, 298, 24);

    auto *text =
        new QLabel(QStringLiteral("Switches, timers and firmware of the rack power switch\n"
                                  "on its serial line."),
                   this);
    text->setObjectName(QStringLiteral("Label1"));
    text->setAlignment(Qt::AlignCenter);
    text->setGeometry(0, 48, 298, 40);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("BitBtn1"));
    ok->setDefault(true);
    ok->setGeometry(111, 100, 75, 25);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace relaybox
