#include "mainmenu.h"

#include <QMainWindow>
#include <QMenuBar>

namespace relaybox {
namespace {

// The all-banks captions differ per panel, spelling included.
constexpr std::array<const char *, 3> kAllBanksOn { "Powre on All Ports of All Banks",
                                                    "Power on All Ports of All Banks",
                                                    "Powr on All Ports of All Banks" };
constexpr std::array<const char *, 3> kAllBanksOff { "Power off All Ports of All Banks",
                                                     "Power off All Ports of All Banks",
                                                     "Powr off All Ports of All Banks" };
constexpr std::array<const char *, 3> kAllBanksOnName { "OpenAllPortofAllBank1", "MenuItem3",
                                                        "MenuItem7" };
constexpr std::array<const char *, 3> kAllBanksOffName { "CloseAllPortofAllBank1", "MenuItem4",
                                                         "MenuItem8" };
constexpr std::array<const char *, 3> kSeparatorName { "N4", "N5", "N6" };

} // namespace

QAction *MainMenu::item(QMenu *menu, const char *name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

MainMenu::MainMenu(QMainWindow *window)
    : QObject(window)
{
    QMenuBar *bar = window->menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    N1 = bar->addMenu(QStringLiteral("File"));
    N1->setObjectName(QStringLiteral("N1"));
    N2 = item(N1, "N2", QStringLiteral("Exit"));
    N2->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));

    Detect = bar->addMenu(QStringLiteral("Setting.."));
    Detect->setObjectName(QStringLiteral("Detect"));
    mlConnect = item(Detect, "mlConnect", QStringLiteral("Connect"));
    mlDisconnect = item(Detect, "mlDisconnect", QStringLiteral("Disconnect"));
    mlConfiguration1 = item(Detect, "mlConfiguration1", QStringLiteral("Configuration"));

    mlTools1 = bar->addMenu(QStringLiteral("Tools "));
    mlTools1->setObjectName(QStringLiteral("mlTools1"));
    Upgrade1 = item(mlTools1, "Upgrade1", QStringLiteral("Upgrade"));
    CheckVersion1 = mlTools1->addMenu(QStringLiteral("Check Version"));
    CheckVersion1->setObjectName(QStringLiteral("CheckVersion1"));

    mlSetRTC = bar->addMenu(QStringLiteral("Time"));
    mlSetRTC->setObjectName(QStringLiteral("mlSetRTC"));
    mlSetRTCNow = item(mlSetRTC, "mlSetRTCNow", QStringLiteral("Set System Time"));
    mlStartSetRTC_Period =
        item(mlSetRTC, "mlStartSetRTC_Period", QStringLiteral("Sync System Time per hour"));
    mlSetRTC->addSeparator()->setObjectName(QStringLiteral("N8"));
    SetTimer1 = item(mlSetRTC, "SetTimer1", QStringLiteral("Set Timer"));

    Help = bar->addMenu(QStringLiteral("&Help"));
    Help->setObjectName(QStringLiteral("Help"));
    N3 = item(Help, "N3", QStringLiteral("About"));

    for (int panel = 1; panel <= 3; ++panel) {
        BankPopup &popup = popups[panel - 1];
        const int tag = panel - 1;
        popup.menu = new QMenu(window);
        popup.menu->setObjectName(QStringLiteral("popForm%1").arg(panel));
        popup.menu->setProperty("Tag", panel);
        const QByteArray digit = QByteArray::number(panel);
        popup.openOneBank = item(popup.menu, ("OpenOneBank" + digit).constData(), QString());
        popup.closeOneBank = item(popup.menu, ("CloseOneBank" + digit).constData(), QString());
        popup.openAllBanks =
            item(popup.menu, kAllBanksOnName[tag], QString::fromLatin1(kAllBanksOn[tag]));
        popup.closeAllBanks =
            item(popup.menu, kAllBanksOffName[tag], QString::fromLatin1(kAllBanksOff[tag]));
        popup.menu->addSeparator()->setObjectName(QString::fromLatin1(kSeparatorName[tag]));
        popup.setOneTimer =
            item(popup.menu, ("mlSetOneTimer" + digit).constData(), QStringLiteral("Set Timer"));
        popup.checkVersion = item(popup.menu, ("mlCheckVersion" + digit).constData(), QString());
        for (QAction *tagged : { popup.openOneBank, popup.closeOneBank, popup.setOneTimer })
            tagged->setProperty("Tag", tag);
        popup.checkVersion->setProperty("Tag", panel);
    }
    setConnected(false);
}

void MainMenu::setConnected(bool connected)
{
    m_connected = connected;
    applyState();
}

void MainMenu::setUploading(bool uploading)
{
    m_uploading = uploading;
    applyState();
}

void MainMenu::applyState()
{
    mlConnect->setEnabled(!m_connected);
    mlDisconnect->setEnabled(m_connected);
    mlConfiguration1->setEnabled(!m_uploading);
    mlTools1->menuAction()->setEnabled(m_connected);
    Upgrade1->setEnabled(!m_uploading);
    mlSetRTC->menuAction()->setEnabled(m_connected && !m_uploading);
    SetTimer1->setEnabled(m_connected);
}

void MainMenu::addVersionItem(int bank)
{
    QAction *action = CheckVersion1->addAction(QStringLiteral("Bank %1").arg(bank));
    action->setProperty("Tag", bank);
    connect(action, &QAction::triggered, this, [this, bank] { emit versionItemTriggered(bank); });
}

void MainMenu::removeVersionItem(int bank)
{
    const QList<QAction *> actions = CheckVersion1->actions();
    if (bank >= 1 && bank <= actions.size()) {
        QAction *action = actions.at(bank - 1);
        CheckVersion1->removeAction(action);
        delete action;
    }
}

void MainMenu::removeAllVersionItems()
{
    for (QAction *action : CheckVersion1->actions()) {
        CheckVersion1->removeAction(action);
        delete action;
    }
}

} // namespace relaybox
