#include "tform4.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <algorithm>
#include <filesystem>

#include "link/linkstate.h"
#include "platform/operatordialogs.h"
#include "schedule/digitkeyfilter.h"
#include "schedule/schedulefile.h"
#include "schedule/schedulepage.h"
#include "schedule/schedulerow.h"
#include "schedule/updown.h"

namespace relaybox {
namespace {

const QString kLoadFilter = QStringLiteral("power file(.pwr)|*.pwr|all file(*.*)|*.*");
const QString kSaveFilter = QStringLiteral("power file(*.pwr)|*.pwr|all file(*.*)|*.*");
const QString kFileSuffix = QStringLiteral(".pwr");
const QString kDefaultFileName = QStringLiteral("default0");

constexpr int kPowerOnBase = 0;
constexpr int kPowerOffBase = kRowsPerPage;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;

// Sets a flag for the lifetime of the scope and restores the previous value afterwards.
class FlagScope
{
public:
    explicit FlagScope(bool &flag)
        : m_flag(flag)
        , m_previous(flag)
    {
        m_flag = true;
    }
    ~FlagScope() { m_flag = m_previous; }

private:
    bool &m_flag;
    bool m_previous;
};

std::filesystem::path toPath(const QString &name)
{
#ifdef _WIN32
    return std::filesystem::path(name.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(name).toStdString());
#endif
}

bool isHeadRow(int row)
{
    const int index = row % kRowsPerPage;
    return index == kAllBanksRow || index == kBankRow;
}

int pageEnd(int row)
{
    return row < kRowsPerPage ? kRowsPerPage : 2 * kRowsPerPage;
}

QString appliedText(const ScheduleEntry &entry)
{
    return QString::asprintf("%s %2d:%2d", entry.appliedDate.c_str(), entry.appliedHour,
                             entry.appliedMinute);
}

} // namespace

TForm4::TForm4(SharedState &state, const HostClock &clock, OperatorDialogs &dialogs,
               QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                  | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
    , m_state(state)
    , m_clock(clock)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("TForm4"));
    setWindowTitle(QStringLiteral("Set Timer"));
    setFixedSize(653, 471);

    m_pageControl = new QTabWidget(this);
    m_pageControl->setObjectName(QStringLiteral("PageControl1"));
    m_pageControl->setGeometry(8, 8, 641, 396);
    auto *powerOn = new QWidget;
    powerOn->setObjectName(QStringLiteral("tbOn"));
    auto *powerOff = new QWidget;
    powerOff->setObjectName(QStringLiteral("tbOff"));
    m_pageControl->addTab(powerOn, QStringLiteral("Power ON      "));
    m_pageControl->addTab(powerOff, QStringLiteral("Power OFF    "));
    buildPage(powerOn, kPowerOnBase);
    buildPage(powerOff, kPowerOffBase);

    m_clearOn = new QPushButton(powerOn);
    m_clearOn->setObjectName(QStringLiteral("btnOneBank"));
    m_clearOff = new QPushButton(powerOff);
    m_clearOff->setObjectName(QStringLiteral("btnOneClear1"));
    for (QPushButton *button : { m_clearOn, m_clearOff }) {
        button->setGeometry(544, 344, kButtonWidth, kButtonHeight);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, &TForm4::btnOneBankClick);
    }
    setClearCaptions();

    m_tabSet = new QTabBar(this);
    m_tabSet->setObjectName(QStringLiteral("TabSet1"));
    QFont tabFont(QStringLiteral("Times New Roman"));
    tabFont.setPixelSize(12);
    m_tabSet->setFont(tabFont);
    m_tabSet->setExpanding(false);
    m_tabSet->setGeometry(8, 408, 641, std::max(16, m_tabSet->fontMetrics().height() + 6));
    connect(m_tabSet, &QTabBar::currentChanged, this, &TForm4::TabSet1Click);

    buildButtons();
    for (auto &row : m_rows)
        row->setLabels(m_shownBank);
}

TForm4::~TForm4() = default;

void TForm4::buildPage(QWidget *page, int firstRow)
{
    struct Heading
    {
        const char *text;
        int left;
    };
    static constexpr Heading kHeadings[] = { { "Enable", 12 },
                                             { "Bank", 69 },
                                             { "Port", 116 },
                                             { "Day", 275 },
                                             { "Hour", 335 },
                                             { "Minute", 385 },
                                             { "Applied since Date/Time", 470 } };
    for (const Heading &heading : kHeadings) {
        auto *label = new QLabel(QString::fromLatin1(heading.text), page);
        QFont font = label->font();
        font.setPointSize(11);
        label->setFont(font);
        label->move(heading.left, 16);
        label->adjustSize();
    }
    for (int row = firstRow; row < firstRow + kRowsPerPage; ++row) {
        m_rows[row] = std::make_unique<ScheduleRow>(row, page);
        connectRow(*m_rows[row]);
    }
}

void TForm4::buildButtons()
{
    struct Button
    {
        const char *name;
        const char *caption;
        int left;
        void (TForm4::*handler)();
    };
    static constexpr Button kButtons[] = {
        { "btnClear", "Clear All", 112, &TForm4::btnClearClick },
        { "btnLoad", "Load", 200, &TForm4::btnLoadClick },
        { "btnSave", "Save", 288, &TForm4::btnSaveClick },
        { "BitBtn1", "OK", 376, &TForm4::BitBtn1Click },
        { "BitBtn2", "Cancel", 464, &TForm4::reject },
        { "Apply", "Apply", 552, &TForm4::ApplyClick },
    };
    for (const Button &layout : kButtons) {
        auto *button = new QPushButton(QString::fromLatin1(layout.caption), this);
        button->setObjectName(QString::fromLatin1(layout.name));
        button->setGeometry(layout.left, 440, kButtonWidth, kButtonHeight);
        button->setAutoDefault(false);
        button->setDefault(layout.handler == &TForm4::BitBtn1Click);
        if (layout.handler == &TForm4::btnClearClick)
            m_clearAll = button;
        connect(button, &QPushButton::clicked, this, layout.handler);
    }
}

void TForm4::keyPressEvent(QKeyEvent *event)
{
    // Return presses the focused button, except one that clears; elsewhere it goes on to the
    // default button, OK. It never clears anything: Space still presses a focused clear button.
    const bool plain =
        event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier;
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        if (auto *button = qobject_cast<QPushButton *>(focusWidget())) {
            if (!clearsTimers(button))
                button->click();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

bool TForm4::clearsTimers(const QPushButton *button) const
{
    return button == m_clearOn || button == m_clearOff || button == m_clearAll;
}

void TForm4::connectRow(ScheduleRow &row)
{
    const int index = row.row();
    connect(row.enableBox(), &QCheckBox::toggled, this, [this, index] { enableBoxClick(index); });
    if (!m_keyFilter) {
        m_keyFilter = new DigitKeyFilter(this);
        connect(m_keyFilter, &DigitKeyFilter::enterPressed, this, [this] { focusNextChild(); });
    }
    ScheduleRow *rowPointer = &row;
    for (QLineEdit *field : { row.hourField(), row.minuteField() }) {
        field->installEventFilter(m_keyFilter);
        field->installEventFilter(this);
        const bool hour = field == row.hourField();
        connect(field, &QLineEdit::textChanged, this, [this, field, rowPointer, hour] {
            if (hour)
                fieldChanged(field, rowPointer->hourMaximum(), rowPointer->keptHour());
            else
                fieldChanged(field, ScheduleRow::minuteMaximum(), -1);
        });
    }
}

int TForm4::execOnBank(int bankIndex)
{
    m_selectedBank = bankIndex;
    return exec();
}

void TForm4::refreshIfShowing(int bankIndex)
{
    if (isVisible() && m_tabSet->currentIndex() == bankIndex)
        FormShow();
}

void TForm4::appendBankTab(int bankNumber)
{
    const QSignalBlocker blocker(m_tabSet);
    m_tabSet->addTab(QStringLiteral("Bank%1 ").arg(bankNumber));
}

void TForm4::removeBankTab(int bankNumber)
{
    const QSignalBlocker blocker(m_tabSet);
    if (bankNumber >= 1 && bankNumber <= m_tabSet->count())
        m_tabSet->removeTab(bankNumber - 1);
}

void TForm4::selectFirstBankTab()
{
    selectTabSilently(0);
}

void TForm4::removeAllBankTabs()
{
    const QSignalBlocker blocker(m_tabSet);
    while (m_tabSet->count() > 0)
        m_tabSet->removeTab(m_tabSet->count() - 1);
}

void TForm4::cancelIfShowingBankFrom(int bankCount)
{
    // The shown bank counts too: after a tab change it may differ from the one opened on.
    if (isVisible() && (m_selectedBank >= bankCount || m_shownBank >= bankCount))
        reject();
}

void TForm4::cancelIfVisible()
{
    if (isVisible())
        reject();
}

void TForm4::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

bool TForm4::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut) {
        // Focus that goes to a message box or a pop-up has not left the field.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        bool hour = false;
        ScheduleRow *row = rowOfField(watched, hour);
        if (row && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            fieldLeft(static_cast<QLineEdit *>(watched),
                      hour ? row->hourMaximum() : ScheduleRow::minuteMaximum(),
                      hour ? row->keptHour() : -1);
    }
    return QDialog::eventFilter(watched, event);
}

void TForm4::FormShow()
{
    m_shownBank = isBankIndex(m_selectedBank) ? m_selectedBank : 0;
    setClearCaptions();
    // Edits that were neither applied nor confirmed are dropped.
    const BankTimers timers = m_state.revertEditor(m_shownBank);
    labelRows();
    fillPage(kPowerOnBase, timers.on);
    fillPage(kPowerOffBase, timers.off);
    selectTabSilently(m_shownBank);
    clearChangedMarks();
}

void TForm4::TabSet1Click(int index)
{
    if (!isVisible() || !isBankIndex(index))
        return;
    collectPages();
    m_shownBank = index;
    labelRows();
    fillPages();
    setClearCaptions();
    clearChangedMarks();
}

void TForm4::enableBoxClick(int rowIndex)
{
    ScheduleRow &row = *m_rows[rowIndex];
    if (m_guard || row.invalid())
        return;
    row.setChanged(true);
    if (!row.ticked()) {
        unlockAndReset(rowIndex);
        if (isHeadRow(rowIndex)) {
            for (int below = rowIndex + 1; below < pageEnd(rowIndex); ++below)
                unlockAndReset(below);
        }
        return;
    }

    const RowSetting setting = row.setting();
    if (setting.mode == ModeEveryWeek && setting.day == 0) {
        refuseTick(row, QStringLiteral("Please Select Value of Day field"));
        return;
    }
    // While the pages are filled the tables are shown as they are.
    if (!m_suppress && identicalToCounterpart(rowIndex)) {
        refuseTick(row,
                   row.isPowerOn()
                       ? QStringLiteral("These Time Values should not be identical like for "
                                        "PowerOff Funciton")
                       : QStringLiteral("These Time Values should not be identical like for "
                                        "PowerON Funciton"));
        return;
    }
    row.lock(m_cascadeDepth > 0);
    if (isHeadRow(rowIndex))
        cascadeFrom(rowIndex);
}

void TForm4::refuseTick(ScheduleRow &row, const QString &text)
{
    m_dialogs.message(QString(), text, MessageIcon::Error);
    {
        const FlagScope guard(m_guard);
        row.enableBox()->setChecked(false);
    }
    row.setChanged(false);
}

bool TForm4::identicalToCounterpart(int rowIndex) const
{
    int counterpart = rowIndex < kRowsPerPage ? rowIndex + kRowsPerPage : rowIndex - kRowsPerPage;
    const auto tickedRow = [this](int index) {
        return m_rows[index]->ticked() && !m_rows[index]->invalid();
    };
    // An all-banks timer is also compared with the other page's bank timer.
    if (rowIndex % kRowsPerPage == kAllBanksRow && !tickedRow(counterpart))
        counterpart += kBankRow;
    if (!tickedRow(counterpart))
        return false;
    return sameTimeLeft(m_rows[counterpart]->setting(), m_rows[rowIndex]->setting(), m_clock.now());
}

void TForm4::cascadeFrom(int rowIndex)
{
    ++m_cascadeDepth;
    const ScheduleRow &source = *m_rows[rowIndex];
    for (int below = rowIndex + 1; below < pageEnd(rowIndex); ++below) {
        ScheduleRow &target = *m_rows[below];
        if (target.invalid())
            continue;
        target.enableBox()->setChecked(false);
        target.setValues(source.modeList()->currentIndex(), source.dayList()->currentIndex(),
                         source.hourField()->text(), source.minuteField()->text());
        target.enableBox()->setChecked(true);
    }
    --m_cascadeDepth;
}

void TForm4::unlockAndReset(int rowIndex)
{
    m_rows[rowIndex]->unlockAndReset();
}

void TForm4::labelRows()
{
    for (auto &row : m_rows)
        row->setLabels(m_shownBank);
}

void TForm4::fillPages()
{
    const BankTimers timers = m_state.editorTimers(m_shownBank);
    fillPage(kPowerOnBase, timers.on);
    fillPage(kPowerOffBase, timers.off);
}

void TForm4::fillPage(int firstRow, const ScheduleBank &entries)
{
    for (int port = 0; port < kPortsPerBank; ++port)
        m_rows[firstRow + kFirstPortRow + port]->setInvalid(entries[port].invalid != 0);

    const FlagScope suppress(m_suppress);
    const ScheduleEntry &first = entries[0];
    if (first.scope == AllBanksScope) {
        for (int row = firstRow; row < firstRow + kRowsPerPage; ++row)
            showEntry(row, first);
    } else if (first.scope == BankScope) {
        unlockAndReset(firstRow + kAllBanksRow);
        for (int row = firstRow + kBankRow; row < firstRow + kRowsPerPage; ++row)
            showEntry(row, first);
    } else {
        unlockAndReset(firstRow + kAllBanksRow);
        unlockAndReset(firstRow + kBankRow);
        for (int port = 0; port < kPortsPerBank; ++port)
            showEntry(firstRow + kFirstPortRow + port, entries[port]);
    }
}

void TForm4::showEntry(int rowIndex, const ScheduleEntry &entry)
{
    ScheduleRow &row = *m_rows[rowIndex];
    if (row.invalid())
        return;
    row.setChanged(entry.enabled != 0);
    // The values go in before the Enable box, whose handling checks and copies them.
    row.setValues(entry.mode, entry.day, QString::number(entry.hour),
                  QString::number(entry.minute));
    row.setAppliedText(appliedText(entry));
    row.enableBox()->setChecked(entry.enabled != 0);
    if (row.ticked()) {
        row.appliedLabel()->setEnabled(false);
        row.dayList()->setEnabled(false);
        if (entry.appliedDate.empty())
            row.setAppliedText(QString());
    } else {
        row.setAppliedText(QString());
        row.setValues(ModeAfter, 0, QStringLiteral("0"), QStringLiteral("0"));
    }
}

void TForm4::collectPages()
{
    PageSettings on;
    PageSettings off;
    for (int index = 0; index < kRowsPerPage; ++index) {
        on[index] = m_rows[kPowerOnBase + index]->setting();
        off[index] = m_rows[kPowerOffBase + index]->setting();
    }
    m_state.storeEditorPages(m_shownBank, on, off);
}

void TForm4::untickAllRows()
{
    for (auto &row : m_rows)
        row->enableBox()->setChecked(false);
}

void TForm4::clearChangedMarks()
{
    for (auto &row : m_rows)
        row->setChanged(false);
}

void TForm4::setClearCaptions()
{
    const QString caption = QStringLiteral("Clear Bank %1").arg(m_shownBank + 1);
    m_clearOn->setText(caption);
    m_clearOff->setText(caption);
}

void TForm4::selectTabSilently(int index)
{
    const QSignalBlocker blocker(m_tabSet);
    if (index >= 0 && index < m_tabSet->count())
        m_tabSet->setCurrentIndex(index);
}

void TForm4::btnOneBankClick()
{
    untickAllRows();
}

void TForm4::btnClearClick()
{
    untickAllRows();
    m_state.markEditorForClearing();
}

void TForm4::btnLoadClick()
{
    const auto name = m_dialogs.openFileName(kLoadFilter, kFileSuffix, kDefaultFileName);
    if (!name)
        return;
    const auto text = readScheduleFile(toPath(*name));
    if (!text)
        return;
    m_state.loadEditorTables(*text);
    if (isBankIndex(m_tabSet->currentIndex()))
        m_shownBank = m_tabSet->currentIndex();
    labelRows();
    fillPages();
    // The load marked what it changed, on every bank alike; the shown rows add nothing (a head
    // row that the fill unticked would otherwise clear every bank on Apply).
    clearChangedMarks();
}

void TForm4::btnSaveClick()
{
    collectPages();
    const auto name = m_dialogs.saveFileName(kSaveFilter, kFileSuffix, kDefaultFileName);
    if (!name)
        return;
    if (!saveScheduleFile(toPath(*name), m_state.editorFileText()))
        m_dialogs.message(QString(), QStringLiteral("Unable to write to %1").arg(*name),
                          MessageIcon::Error);
}

void TForm4::ApplyClick()
{
    collectPages();
    emit transferRequested();
    // What the rows hold has been sent; only a new edit is sent by the next Apply.
    clearChangedMarks();
    if (m_tabSet->currentIndex() >= 0)
        m_selectedBank = m_tabSet->currentIndex();
}

void TForm4::BitBtn1Click()
{
    collectPages();
    accept();
}

void TForm4::fieldChanged(QLineEdit *field, int maximum, int kept)
{
    if (acceptableWhileTyping(field->text().toStdString(), maximum, kept))
        return;
    // Text that is not a number (a typed ".") is reported like a value out of range.
    m_dialogs.message(QString(), QStringLiteral("Value range: 0 - %1").arg(maximum),
                      MessageIcon::None);
    field->setText(QString::number(maximum));
    field->setFocus(Qt::OtherFocusReason);
}

void TForm4::fieldLeft(QLineEdit *field, int maximum, int kept)
{
    if (acceptableOnLeaving(field->text().toStdString(), maximum, kept))
        return;
    m_dialogs.message(QString(), QStringLiteral("Value must between 0 and %1").arg(maximum),
                      MessageIcon::None);
    field->setText(QString::number(maximum));
    field->setFocus(Qt::OtherFocusReason);
}

ScheduleRow *TForm4::rowOfField(const QObject *field, bool &isHour) const
{
    for (const auto &row : m_rows) {
        if (field == row->hourField() || field == row->minuteField()) {
            isHour = field == row->hourField();
            return row.get();
        }
    }
    return nullptr;
}

} // namespace relaybox
