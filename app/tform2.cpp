#include "tform2.h"

#include <QLabel>
#include <QPushButton>
#include <algorithm>

namespace relaybox {
namespace {

constexpr int kWidth = 298;
constexpr int kHeight = 138;
constexpr int kMargin = 12;

} // namespace

TForm2::TForm2(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QStringLiteral("About KESTRANE Relaybox Manager"));
    auto *title = new QLabel(QStringLiteral("KESTRANE Relaybox Management V1.00"), this);
    title->setObjectName(QStringLiteral("Label7"));
    QFont titleFont = title->font();
    titleFont.setPixelSize(15);
    title->setFont(titleFont);
    title->setAlignment(Qt::AlignCenter);

    auto *text = new QLabel(QStringLiteral("Switches ports, sets timers and the clock,\n"
                                           "and upgrades the switch's firmware."),
                            this);
    text->setObjectName(QStringLiteral("Label1"));
    text->setAlignment(Qt::AlignCenter);

    // 298 pixels wide, or wider where the desktop's font needs it: the texts always show whole.
    const int width = std::max({ kWidth, title->sizeHint().width() + 2 * kMargin,
                                 text->sizeHint().width() + 2 * kMargin });
    setFixedSize(width, kHeight);
    title->setGeometry(0, 16, width, std::max(24, title->sizeHint().height()));
    text->setGeometry(0, 48, width, std::max(40, text->sizeHint().height()));

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("BitBtn1"));
    ok->setDefault(true);
    ok->setGeometry((width - 75) / 2, 100, 75, 25);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace relaybox
