#pragma once

#include <QMainWindow>
#include <QTimer>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>

#include "link/linkcontroller.h"
#include "link/tform3.h"
#include "maintenance/clocksync.h"
#include "maintenance/firmwareupgrade.h"
#include "panel/loadhistory.h"
#include "panel/panellogic.h"
#include "platform/hostports.h"
#include "resources/panelart.h"
#include "settings/settings.h"

// The main window: the bank panels, the menus and the operator's commands, and the wiring of the
// link, the dialogs and the maintenance features.

namespace relaybox {

namespace sharing {
class LineSharing;
}

class BankVersionDisplay;
class LoadHistoryTool;
class MainMenu;
class NotificationIcon;
class PanelStack;
class RemoteCommandsWindow;
class SwitchReadbackMarks;
class TForm4;
class TForm5;
class TOKRightDlg;

// What the window needs from outside, so that tests can run it against their own ports, clock,
// settings file and message boxes.
struct MainWindowEnvironment
{
    MainWindowEnvironment(SharedState &state, const HostClock &clock, OperatorDialogs &dialogs)
        : state(state)
        , clock(clock)
        , dialogs(dialogs)
    { }

    SharedState &state;
    const HostClock &clock;
    OperatorDialogs &dialogs;
    std::filesystem::path settingsPath;
    // Builds the host port table, once, while the window is created.
    std::function<HostPortTable()> hostPorts;
    LinkController::PortFactory portFactory = makeSerialPort;
    LinkTimings linkTimings;
    ClockSyncIntervals clockIntervals;
    UpgradeTimings upgradeTimings;
    TForm3::Options detection;
    bool useNotificationArea = true;
    LoadHistoryLimits loadHistoryLimits;
};

class TForm1 : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kFlashInterval { 500 };
    static constexpr int kClientWidth = 639;

    explicit TForm1(MainWindowEnvironment environment, QWidget *parent = nullptr);
    ~TForm1() override;

    // Operator commands and handlers, named after the controls they serve.
    void imButton11MouseDown(int tag, Qt::MouseButton button);
    void imButton11MouseUp(int tag, Qt::MouseButton button);
    void btnRight1MouseDown(int tag);
    void btnRight1MouseUp(int tag);
    void popForm1Popup(int panel);
    void OpenOneBank1Click(int tag);
    void CloseOneBank1Click(int tag);
    void OpenAllPortofAllBank1Click();
    void CloseAllPortofAllBank1Click();
    void mlConnectClick();
    bool connectProcedure();
    void mlDisconnectClick();
    void mlConfiguration1Click();
    void SetTimer1Click();
    void mlSetOneTimer1Click(int tag);
    void ReturnToTransfer();
    void N2Click();
    void N3Click();
    void tmFlash1Timer();

    // Parts other windows and tests reach.
    LinkController &link() { return *m_link; }
    PanelStack &panels() { return *m_panels; }
    MainMenu &menu() { return *m_menu; }
    TForm3 &detectionDialog() { return *m_form3; }
    TOKRightDlg &configurationDialog() { return *m_configuration; }
    TForm4 &setTimerDialog() { return *m_form4; }
    TForm5 &upgradeWindow() { return *m_form5; }
    SwitchReadbackMarks &readbackMarks() { return *m_readbackMarks; }
    LoadHistoryTool &loadHistory() { return *m_loadHistory; }
    sharing::LineSharing &lineSharing() { return *m_sharing; }
    ClockSync &clockSync() { return *m_clockSync; }
    FirmwareUpgrade &upgrade() { return *m_upgrade; }
    QTimer &tmFlash1() { return m_tmFlash1; }
    const Settings &settings() const { return m_settings; }
    const HostPortTable &hostPorts() const { return m_hostPorts; }
    int flashPhase() const { return m_flashPhase; }

signals:
    void aboutRequested(); // Help > About

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate();
    void buildWindow();
    void connectLink();
    void connectMenus();
    void createMaintenance();
    bool loadSettings();
    bool saveSettings();
    void applySetRtcToMenu();
    bool confirm(const QString &text);
    bool uploadHoldsLine() const;
    void sendSwitch(const std::string &frame);
    void setWindowHeight(int height, bool topAt100);
    void onLinkReset();
    void onDialogsClose();
    void onBankCountChanged(int oldCount, int newCount);
    void onUpdate(const UiUpdate &update);
    void onAnnounced();
    void mlCheckVersion1Click(int panel);
    // The bank a pop-up's items act on (tag 0 to 2), fixed when the menu opened; 0 once it has
    // left the chain.
    int popupBank(int tag) const;
    // Asks when Prompt is on; false also when the bank is not (or no longer) in the chain.
    bool confirmForBank(int bank, const QString &text);
    void openSetTimer(int bankIndex);
    void restoreFromNotificationArea();
    void createSharing();

    SharedState &m_state;
    MainWindowEnvironment m_environment;
    Settings m_settings;
    HostPortTable m_hostPorts;
    PanelArt m_art;

    QWidget *m_client = nullptr;
    PanelStack *m_panels = nullptr;
    MainMenu *m_menu = nullptr;
    QTimer m_tmFlash1;
    int m_flashPhase = 0;
    std::array<int, kVisiblePanels> m_popupBanks {};
    bool m_shownOnce = false;

    std::unique_ptr<LinkController> m_link;
    TForm3 *m_form3 = nullptr;
    TOKRightDlg *m_configuration = nullptr;
    TForm4 *m_form4 = nullptr;
    TForm5 *m_form5 = nullptr;
    std::unique_ptr<ClockSync> m_clockSync;
    std::unique_ptr<FirmwareUpgrade> m_upgrade;
    std::unique_ptr<BankVersionDisplay> m_versions;
    NotificationIcon *m_trayIcon = nullptr;
    SwitchReadbackMarks *m_readbackMarks = nullptr;
    LoadHistoryTool *m_loadHistory = nullptr;
    std::unique_ptr<sharing::LineSharing> m_sharing;
    RemoteCommandsWindow *m_remoteCommands = nullptr;
};

} // namespace relaybox
