#include "tform5.h"

#include "maintenance/firmwareupgrade.h"

namespace relaybox {

TForm5::TForm5(QWidget *parent)
    : QWidget(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                  | Qt::MSWindowsFixedSizeDialogHint)
    , UpGrade1(new QProgressBar(this))
    , Memo1(new QPlainTextEdit(this))
    , BitBtn1(new QPushButton(tr("Cancel"), this))
{
    setObjectName(QStringLiteral("TForm5"));
    setWindowTitle(QStringLiteral("Upgrade Process"));
    setFixedSize(537, 240);

    UpGrade1->setObjectName(QStringLiteral("UpGrade1"));
    UpGrade1->setRange(0, 100);
    UpGrade1->setValue(0);
    UpGrade1->setGeometry(32, 24, 481, 16);

    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setGeometry(32, 48, 481, 177);

    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->move(464, 232);
    BitBtn1->setVisible(false);
    connect(BitBtn1, &QPushButton::clicked, this, &QWidget::close);

    m_guard = new UpgradeMouseGuard(this, Memo1, this);
}

void TForm5::follow(const FirmwareUpgrade &upgrade)
{
    connect(&upgrade, &FirmwareUpgrade::progressChanged, this, &TForm5::setProgress);
    connect(&upgrade, &FirmwareUpgrade::logLineAppended, this, &TForm5::appendLog);
    connect(&upgrade, &FirmwareUpgrade::logCleared, this, &TForm5::clearLog);
    connect(&upgrade, &FirmwareUpgrade::windowShowRequested, this, &TForm5::showWindow);
    connect(&upgrade, &FirmwareUpgrade::windowCloseRequested, this, &TForm5::closeWindow);
}

void TForm5::setProgress(int percent)
{
    UpGrade1->setValue(percent);
}

void TForm5::appendLog(const QString &line)
{
    Memo1->appendPlainText(line);
}

void TForm5::clearLog()
{
    Memo1->clear();
}

void TForm5::showWindow()
{
    show();
    raise();
    activateWindow();
}

void TForm5::closeWindow()
{
    BitBtn1->click();
}

} // namespace relaybox
