#include "schedulerow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <algorithm>

#include "schedule/updown.h"

namespace relaybox {
namespace {

constexpr int kRowHeight = 21;
constexpr int kLabelPointSize = 12;
constexpr int kLongestDelayHours = 99; // what the operator may type
constexpr int kHourDigits = 2;
constexpr int kLastHourOfDay = 23;

int rowTop(int indexInPage)
{
    return 42 + 30 * indexInPage;
}

QLabel *makeLabel(QWidget *page, const QString &name, int left, int width, int top)
{
    auto *label = new QLabel(page);
    label->setObjectName(name);
    QFont font = label->font();
    font.setPointSize(kLabelPointSize);
    label->setFont(font);
    label->setGeometry(left, top, width, kRowHeight);
    return label;
}

} // namespace

ScheduleRow::ScheduleRow(int row, QWidget *page)
    : m_row(row)
{
    const int top = rowTop(indexInPage());
    const QString number = QString::number(row);

    m_enableBox = new QCheckBox(page);
    m_enableBox->setObjectName(QStringLiteral("chkEnable") + number);
    m_enableBox->setGeometry(29, top, 20, kRowHeight);

    m_bankLabel = makeLabel(page, QStringLiteral("lblBank") + number, 72, 31, top);
    m_portLabel = makeLabel(page, QStringLiteral("lblPort") + number, 116, 30, top);

    m_modeList = new QComboBox(page);
    m_modeList->setObjectName(QStringLiteral("cmbMode") + number);
    m_modeList->addItems({ QStringLiteral("After"), QStringLiteral("At"),
                           QStringLiteral("Every day"), QStringLiteral("Every week") });
    m_modeList->setGeometry(164, top, 100, kRowHeight);

    m_dayList = new QComboBox(page);
    m_dayList->setObjectName(QStringLiteral("cmbDay") + number);
    m_dayList->addItems({ QStringLiteral("NULL"), QStringLiteral("Sun"), QStringLiteral("Mon"),
                          QStringLiteral("Tue"), QStringLiteral("Wed"), QStringLiteral("Thu"),
                          QStringLiteral("Fri"), QStringLiteral("Sat") });
    m_dayList->setGeometry(267, top, 67, kRowHeight);

    m_hourField = new QLineEdit(page);
    m_hourField->setObjectName(QStringLiteral("edtHour") + number);
    m_hourField->setMaxLength(kHourDigits);
    m_hourField->setGeometry(336, top, 30, kRowHeight);
    m_hourSpinner = new UpDown(m_hourField, page);
    m_hourSpinner->setObjectName(QStringLiteral("udHour") + number);
    m_hourSpinner->setGeometry(366, top, 20, kRowHeight);

    m_minuteField = new QLineEdit(page);
    m_minuteField->setObjectName(QStringLiteral("edtMinute") + number);
    m_minuteField->setMaxLength(2);
    m_minuteField->setGeometry(391, top, 30, kRowHeight);
    m_minuteSpinner = new UpDown(m_minuteField, page);
    m_minuteSpinner->setObjectName(QStringLiteral("udMinute") + number);
    m_minuteSpinner->setGeometry(421, top, 20, kRowHeight);
    m_minuteSpinner->setRange(0, minuteMaximum());

    // The date and time need more room than the 30 pixels of the original layout.
    m_appliedLabel = makeLabel(page, QStringLiteral("lblApplied") + number, 465, 170, top);

    QObject::connect(m_modeList, &QComboBox::currentIndexChanged, m_modeList,
                     [this] { applyModeRules(); });

    m_hourField->setText(QStringLiteral("0"));
    m_minuteField->setText(QStringLiteral("0"));
    applyModeRules();
}

bool ScheduleRow::ticked() const
{
    return m_enableBox->isChecked();
}

int ScheduleRow::hourMaximum() const
{
    return m_hourSpinner->maximum();
}

RowSetting ScheduleRow::setting() const
{
    RowSetting setting;
    setting.ticked = ticked();
    setting.changed = m_changed && !m_invalid;
    setting.mode = std::max(0, m_modeList->currentIndex());
    setting.day = std::max(0, m_dayList->currentIndex());
    setting.hour = fieldValue(m_hourField->text().toStdString(), hourMaximum(), m_keptHour);
    setting.minute = fieldValue(m_minuteField->text().toStdString(), minuteMaximum());
    return setting;
}

void ScheduleRow::setLabels(int shownBank)
{
    const int index = indexInPage();
    const QString all = QStringLiteral("all");
    m_bankLabel->setText(index == kAllBanksRow ? all : QString::number(shownBank + 1));
    m_portLabel->setText(index < kFirstPortRow ? all : QString::number(index - kFirstPortRow + 1));
}

void ScheduleRow::setInvalid(bool invalid)
{
    m_invalid = invalid;
    for (QWidget *control :
         std::initializer_list<QWidget *> { m_enableBox, m_modeList, m_dayList, m_hourField,
                                            m_hourSpinner, m_minuteField, m_minuteSpinner })
        control->setVisible(!invalid);
    QPalette palette = m_appliedLabel->parentWidget()->palette();
    if (invalid)
        palette.setColor(QPalette::WindowText, Qt::red);
    m_appliedLabel->setPalette(palette);
    m_appliedLabel->setText(invalid ? QStringLiteral("Invalid") : QString());
}

void ScheduleRow::setValues(int mode, int day, const QString &hour, const QString &minute)
{
    m_modeList->setCurrentIndex(mode);
    m_dayList->setCurrentIndex(day);
    setHourText(hour);
    m_minuteField->setText(minute);
    m_minuteSpinner->setPosition(minute.toInt());
}

void ScheduleRow::setAppliedText(const QString &text)
{
    m_appliedLabel->setText(text);
}

void ScheduleRow::lock(bool greyEnableBox)
{
    for (QWidget *control : std::initializer_list<QWidget *> {
             m_bankLabel, m_portLabel, m_modeList, m_dayList, m_hourField, m_hourSpinner,
             m_minuteField, m_minuteSpinner })
        control->setEnabled(false);
    m_enableBox->setEnabled(!greyEnableBox);
    m_locked = true;
}

void ScheduleRow::unlockAndReset()
{
    if (m_invalid)
        return;
    for (QWidget *control : std::initializer_list<QWidget *> {
             m_bankLabel, m_portLabel, m_modeList, m_hourField, m_hourSpinner, m_minuteField,
             m_minuteSpinner, m_enableBox, m_appliedLabel })
        control->setEnabled(true);
    m_locked = false;
    m_modeList->setCurrentIndex(ModeAfter);
    m_hourField->setText(QStringLiteral("0"));
    m_hourSpinner->setPosition(0);
    forgetKeptHour();
    m_minuteField->setText(QStringLiteral("0"));
    m_minuteSpinner->setPosition(0);
    m_dayList->setEnabled(false);
    m_dayList->setCurrentIndex(0);
    m_appliedLabel->clear();
    m_enableBox->setChecked(false);
}

void ScheduleRow::applyModeRules()
{
    const int mode = m_modeList->currentIndex();
    if (mode == ModeEveryWeek) {
        m_dayList->setEnabled(!m_locked);
    } else {
        m_dayList->setEnabled(false);
        m_dayList->setCurrentIndex(0);
    }
    if (mode == ModeAfter) {
        m_hourSpinner->setRange(0, kLongestDelayHours);
        return;
    }
    bool ok = false;
    if (m_hourField->text().toInt(&ok) > kLastHourOfDay && ok)
        m_hourField->setText(QString::number(kLastHourOfDay));
    forgetKeptHour();
    m_hourSpinner->setRange(0, kLastHourOfDay);
}

void ScheduleRow::setHourText(const QString &hour)
{
    bool ok = false;
    const int value = hour.toInt(&ok);
    // The switch reports delays of up to 999 hours, a carried minute makes 1000.
    const bool beyondTyping =
        ok && m_modeList->currentIndex() == ModeAfter && value > kLongestDelayHours;
    if (beyondTyping) {
        // Set before the text, whose change is checked against them.
        m_keptHour = value;
        m_hourField->setMaxLength(std::max<int>(kHourDigits, hour.size()));
        m_hourField->setText(hour);
    } else {
        m_hourField->setText(hour);
        forgetKeptHour();
    }
    m_hourSpinner->setPosition(value);
}

void ScheduleRow::forgetKeptHour()
{
    m_keptHour = -1;
    m_hourField->setMaxLength(kHourDigits);
}

} // namespace relaybox
