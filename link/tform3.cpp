#include "tform3.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QThread>

#include "link/linkmessages.h"

namespace relaybox {
namespace {

const QString kFoundSuffix = QStringLiteral("... KESTRANE Relaybox Found!");
const QString kFoundLine = QStringLiteral("KESTRANE Relaybox Found!");
const QString kRule = QString(44, QLatin1Char('='));
constexpr std::chrono::milliseconds kPauseBetweenPorts { 200 };
constexpr std::chrono::milliseconds kPauseAfterFoundOne { 500 };
constexpr std::chrono::milliseconds kPauseAfterFoundAny { 700 };

// The probe's lines go straight into the memo.
class MemoLog final : public ProbeLog
{
public:
    explicit MemoLog(QPlainTextEdit *memo)
        : m_memo(memo)
    { }

    void append(const std::string &line) override
    {
        m_memo->appendPlainText(QString::fromStdString(line));
    }

    void replaceLast(const std::string &line) override
    {
        QTextCursor cursor(m_memo->document()->lastBlock());
        cursor.select(QTextCursor::BlockUnderCursor);
        cursor.removeSelectedText();
        if (m_memo->document()->blockCount() == 1
            && m_memo->document()->firstBlock().text().isEmpty())
            m_memo->setPlainText(QString::fromStdString(line));
        else
            append(line);
    }

private:
    QPlainTextEdit *m_memo;
};

} // namespace

TForm3::TForm3(SharedState &state, QWidget *parent)
    : TForm3(state, Options {}, parent)
{ }

TForm3::TForm3(SharedState &state, Options options, QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                  | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_state(state)
    , m_options(std::move(options))
    , m_label1(new QLabel(this))
    , m_progressBar1(new QProgressBar(this))
    , m_moShowComCheck(new QPlainTextEdit(this))
    , m_bitBtn1(new QPushButton(QStringLiteral("OK"), this))
{
    if (!m_options.pause)
        m_options.pause = [](std::chrono::milliseconds ms) {
            QThread::msleep(ms.count());
        };
    setObjectName(QStringLiteral("TForm3"));
    setWindowTitle(QStringLiteral("KESTRANE Relaybox"));
    setFixedSize(440, 237);

    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setGeometry(10, 8, 420, 20);
    m_label1->setAlignment(Qt::AlignCenter);
    QFont labelFont = m_label1->font();
    labelFont.setPixelSize(15);
    m_label1->setFont(labelFont);

    m_progressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar1->setGeometry(10, 32, 420, 16);
    m_progressBar1->setMinimum(0);
    m_progressBar1->setTextVisible(false);

    m_moShowComCheck->setObjectName(QStringLiteral("moShowComCheck"));
    m_moShowComCheck->setGeometry(11, 52, 417, 153);
    m_moShowComCheck->setReadOnly(true);
    m_moShowComCheck->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_moShowComCheck->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Fixed pitch, so that the 43-column probe lines line up.
    QFont courier(QStringLiteral("Courier New"));
    courier.setStyleHint(QFont::TypeWriter);
    courier.setPixelSize(11);
    m_moShowComCheck->setFont(courier);

    m_bitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    m_bitBtn1->setGeometry(182, 209, 75, 25);
    m_bitBtn1->setDefault(true);
    connect(m_bitBtn1, &QPushButton::clicked, this, &TForm3::BitBtn1Click);

    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timer1.setInterval(20);
    connect(&m_timer1, &QTimer::timeout, this, &TForm3::Timer1Timer);
}

void TForm3::setSearch(const HostPortTable *ports, int comPort, bool showLog)
{
    m_ports = ports;
    m_comPort = comPort;
    m_showLog = showLog;
}

void TForm3::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Once per showing: restoring the minimised dialog must not start the search again.
    if (m_showing)
        return;
    m_showing = true;
    if (screen()) {
        QRect place = frameGeometry();
        place.moveCenter(screen()->availableGeometry().center());
        move(place.topLeft());
    }
    FormShow();
}

void TForm3::hideEvent(QHideEvent *event)
{
    if (!event->spontaneous()) {
        m_showing = false;
        m_timer1.stop();
    }
    QDialog::hideEvent(event);
}

void TForm3::keyPressEvent(QKeyEvent *event)
{
    // There is no Cancel: Esc must not throw away a switch that was found, nor end the search.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TForm3::abandoned() const
{
    // The title-bar box ended the dialog while the search pumped events.
    return !m_showing;
}

void TForm3::FormShow()
{
    m_bitBtn1->setEnabled(false);
    m_timer1.start();
    m_label1->clear();
    m_progressBar1->setValue(0);
    m_moShowComCheck->setVisible(m_showLog);
    m_moShowComCheck->clear();
    m_moShowComCheck->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void TForm3::BitBtn1Click()
{
    done(m_result);
}

void TForm3::Timer1Timer()
{
    m_timer1.stop();
    if (abandoned())
        return;
    const int portCount = m_ports ? m_ports->count() : 0;
    m_progressBar1->setMaximum(std::max(portCount, 1));
    m_heldPort.reset();
    if (m_comPort != 0)
        searchOne(m_comPort);
    else
        searchAll();
    if (abandoned())
        m_result = kNotFound;
    m_bitBtn1->setEnabled(true);
}

bool TForm3::probe(int index)
{
    auto port = m_options.portFactory();
    MemoLog log(m_moShowComCheck);
    const std::string path =
        m_ports && m_ports->isPort(index) ? m_ports->path(index) : std::string();
    if (!port)
        return false;
    if (probePort(*port, path, log, m_state, m_options.probeTimeouts))
        return true;
    if (port->openError() == OpenError::InUse)
        m_heldPort = HeldPort { path, findPortHolder(path) };
    return false;
}

void TForm3::searchOne(int index)
{
    const QString name = m_ports ? QString::fromStdString(m_ports->name(index)) : QString();
    m_label1->setText(QStringLiteral("Checking %1").arg(name));
    repaintNow();
    appendMemo(QStringLiteral("Check %1").arg(name));
    if (probe(index)) {
        reportFound(index, kPauseAfterFoundOne);
        return;
    }
    appendMemo(kRule);
    appendMemo(kLinkLostMessage);
    m_result = kNotFound;
}

void TForm3::searchAll()
{
    m_result = kNotFound;
    const int portCount = m_ports ? m_ports->count() : 0;
    for (int index = 1; index <= portCount; ++index) {
        const QString name = QString::fromStdString(m_ports->name(index));
        m_label1->setText(QStringLiteral("Checking %1").arg(name));
        repaintNow();
        if (m_moShowComCheck->document()->blockCount() >= 10)
            m_moShowComCheck->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        QCoreApplication::processEvents();
        if (abandoned())
            return;
        m_options.pause(kPauseBetweenPorts);
        m_progressBar1->setValue(m_progressBar1->value() + 1);
        appendMemo(QStringLiteral("Check %1").arg(name));
        if (probe(index)) {
            reportFound(index, kPauseAfterFoundAny);
            return;
        }
        m_result = kNotFound;
        m_heldPort.reset(); // only the one configured port is named
        appendMemo(kRule);
        if (index == portCount)
            appendMemo(kLinkLostMessage);
    }
}

void TForm3::reportFound(int index, std::chrono::milliseconds pause)
{
    m_label1->setText(m_label1->text() + kFoundSuffix);
    m_progressBar1->setValue(m_progressBar1->maximum());
    QCoreApplication::processEvents();
    m_result = index;
    appendMemo(kRule);
    appendMemo(kFoundLine);
    m_options.pause(pause);
}

void TForm3::appendMemo(const QString &line)
{
    m_moShowComCheck->appendPlainText(line);
}

void TForm3::repaintNow()
{
    repaint();
    QCoreApplication::processEvents();
}

} // namespace relaybox
