#pragma once

#include <QDialog>
#include <array>
#include <memory>

#include "schedule/scheduleentry.h"

class QLineEdit;
class QPushButton;
class QTabBar;
class QTabWidget;

namespace relaybox {

class DigitKeyFilter;
class HostClock;
class OperatorDialogs;
class ScheduleRow;
class SharedState;

// The "Set Timer" dialog: edits the power-on and power-off timers of one bank at a time in the
// editor tables, saves and loads schedule files, and asks for the transfer on Apply and OK.
class TForm4 : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kOpenedFromTimeMenu = 17;
    static constexpr int kRowCount = 20;

    TForm4(SharedState &state, const HostClock &clock, OperatorDialogs &dialogs,
           QWidget *parent = nullptr);
    ~TForm4() override;

    // The bank index the dialog opens on; kOpenedFromTimeMenu until a bank is chosen.
    int selectedBank() const { return m_selectedBank; }
    void setSelectedBank(int bankIndex) { m_selectedBank = bankIndex; }
    // The bank index whose timers the pages show.
    int shownBank() const { return m_shownBank; }
    // Shows the dialog modally on a bank; on Accepted the caller runs the transfer.
    int execOnBank(int bankIndex);

    // A schedule reply concerned bankIndex: refills the dialog from the committed tables when it
    // is visible and that bank's tab is selected.
    void refreshIfShowing(int bankIndex);

    // Bank tabs follow the connected banks: "Bank1 ", "Bank2 ", ...
    void appendBankTab(int bankNumber);
    void removeBankTab(int bankNumber);
    void selectFirstBankTab();
    void removeAllBankTabs();

    // The chain shrank to bankCount banks: a visible dialog on a bank that is gone is cancelled.
    void cancelIfShowingBankFrom(int bankCount);
    // The link was lost.
    void cancelIfVisible();

signals:
    // Apply: the editor tables are collected and ready to be transferred.
    void transferRequested();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void buildPage(QWidget *page, int firstRow);
    void buildButtons();
    bool clearsTimers(const QPushButton *button) const;
    void connectRow(ScheduleRow &row);

    void FormShow();
    void TabSet1Click(int index);
    void enableBoxClick(int row);
    void btnOneBankClick();
    void btnClearClick();
    void btnLoadClick();
    void btnSaveClick();
    void ApplyClick();
    void BitBtn1Click();

    void labelRows();
    void fillPages();
    void fillPage(int firstRow, const ScheduleBank &entries);
    void showEntry(int row, const ScheduleEntry &entry);
    void unlockAndReset(int row);
    void cascadeFrom(int row);
    void refuseTick(ScheduleRow &row, const QString &text);
    bool identicalToCounterpart(int row) const;
    void collectPages();
    void untickAllRows();
    void clearChangedMarks();
    void setClearCaptions();
    void selectTabSilently(int index);

    // `kept`: a long delay from the switch that the hour field holds beyond its maximum, or -1.
    void fieldChanged(QLineEdit *field, int maximum, int kept);
    void fieldLeft(QLineEdit *field, int maximum, int kept);
    ScheduleRow *rowOfField(const QObject *field, bool &isHour) const;

    SharedState &m_state;
    const HostClock &m_clock;
    OperatorDialogs &m_dialogs;

    int m_selectedBank = kOpenedFromTimeMenu;
    int m_shownBank = 0;
    bool m_suppress = false; // filling from the tables: no identical-times check
    int m_cascadeDepth = 0; // copying a ticked all-banks or bank row into the rows below
    bool m_guard = false; // the dialog unticks a refused Enable box itself

    std::array<std::unique_ptr<ScheduleRow>, kRowCount> m_rows;
    QTabWidget *m_pageControl = nullptr;
    QPushButton *m_clearOn = nullptr;
    QPushButton *m_clearOff = nullptr;
    QPushButton *m_clearAll = nullptr;
    QTabBar *m_tabSet = nullptr;
    DigitKeyFilter *m_keyFilter = nullptr;
};

} // namespace relaybox
