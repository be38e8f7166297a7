#pragma once

#include <QObject>
#include <array>

class QAction;
class QMainWindow;
class QMenu;

// The main window's menu bar and the three bank pop-up menus, with their names and captions
// (the misspelt fixed captions of the pop-ups are the switch's own and stay as they are).

namespace relaybox {

struct BankPopup
{
    QMenu *menu = nullptr; // popForm1..3
    QAction *openOneBank = nullptr;
    QAction *closeOneBank = nullptr;
    QAction *openAllBanks = nullptr;
    QAction *closeAllBanks = nullptr;
    QAction *setOneTimer = nullptr;
    QAction *checkVersion = nullptr;
};

class MainMenu : public QObject
{
    Q_OBJECT

public:
    explicit MainMenu(QMainWindow *window);

    // Connected: Connect off; Disconnect, Tools, Time and Set Timer on. Disconnected: the reverse.
    void setConnected(bool connected);
    // While a firmware upload holds the line the commands that send frames are unavailable:
    // Configuration, Upgrade and the Time menu.
    void setUploading(bool uploading);

    // A "Bank n" item per bank under Tools > Check Version.
    void addVersionItem(int bank);
    void removeVersionItem(int bank);
    void removeAllVersionItems();

    QMenu *N1;
    QAction *N2; // Exit
    QMenu *Detect;
    QAction *mlConnect;
    QAction *mlDisconnect;
    QAction *mlConfiguration1;
    QMenu *mlTools1;
    QAction *Upgrade1;
    QMenu *CheckVersion1;
    QMenu *mlSetRTC;
    QAction *mlSetRTCNow;
    QAction *mlStartSetRTC_Period;
    QAction *SetTimer1;
    QMenu *Help;
    QAction *N3; // About
    std::array<BankPopup, 3> popups;

signals:
    void versionItemTriggered(int bank);

private:
    QAction *item(QMenu *menu, const char *name, const QString &caption);
    void applyState();

    bool m_connected = false;
    bool m_uploading = false;
};

} // namespace relaybox
