#pragma once

#include <QString>

#include "schedule/scheduleentry.h"
#include "schedule/schedulepage.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace relaybox {

class UpDown;

// The controls of one timer row of the Set Timer dialog, with its invalid and changed marks.
// Ticking and unticking the Enable box is handled by the dialog.
class ScheduleRow
{
public:
    // Row 0 to 19; rows 0 to 9 lie on the power-on page, 10 to 19 on the power-off page.
    ScheduleRow(int row, QWidget *page);

    int row() const { return m_row; }
    bool isPowerOn() const { return m_row < kRowsPerPage; }
    int indexInPage() const { return m_row % kRowsPerPage; }

    bool invalid() const { return m_invalid; }
    bool changed() const { return m_changed; }
    void setChanged(bool changed) { m_changed = changed; }

    QCheckBox *enableBox() const { return m_enableBox; }
    QComboBox *modeList() const { return m_modeList; }
    QComboBox *dayList() const { return m_dayList; }
    QLineEdit *hourField() const { return m_hourField; }
    QLineEdit *minuteField() const { return m_minuteField; }
    UpDown *hourSpinner() const { return m_hourSpinner; }
    UpDown *minuteSpinner() const { return m_minuteSpinner; }
    QLabel *appliedLabel() const { return m_appliedLabel; }

    bool ticked() const;
    // The most hours the operator may type or spin to.
    int hourMaximum() const;
    // An "After" delay beyond hourMaximum() that the program put into the hour field (the switch
    // reports up to 999 hours); the field keeps it whole. -1 when there is none.
    int keptHour() const { return m_keptHour; }
    static constexpr int minuteMaximum() { return 59; }
    // What the row holds now; an invalid row never counts as changed.
    RowSetting setting() const;

    // "all" or the bank number, "all" or the port number.
    void setLabels(int shownBank);
    // An invalid row hides its controls and reads "Invalid" in red.
    void setInvalid(bool invalid);
    void setValues(int mode, int day, const QString &hour, const QString &minute);
    void setAppliedText(const QString &text);
    // Locked rows cannot be edited; during a cascade the Enable box is greyed as well.
    void lock(bool greyEnableBox);
    // Back to an editable "After 0:00" row with an empty date. Unticks the Enable box, which
    // the dialog handles like a click.
    void unlockAndReset();

private:
    // Every mode but "After" is a time of day: the day list is for "Every week" only.
    void applyModeRules();
    void setHourText(const QString &hour);
    void forgetKeptHour();

    int m_row;
    bool m_invalid = false;
    bool m_changed = false;
    bool m_locked = false;
    int m_keptHour = -1;
    QCheckBox *m_enableBox;
    QLabel *m_bankLabel;
    QLabel *m_portLabel;
    QComboBox *m_modeList;
    QComboBox *m_dayList;
    QLineEdit *m_hourField;
    UpDown *m_hourSpinner;
    QLineEdit *m_minuteField;
    UpDown *m_minuteSpinner;
    QLabel *m_appliedLabel;
};

} // namespace relaybox
