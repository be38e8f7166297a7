#include "tform1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QWindowStateChangeEvent>

#include "link/frames.h"
#include "maintenance/bankversiondisplay.h"
#include "maintenance/tform5.h"
#include "panel/loadhistorytool.h"
#include "panel/mainmenu.h"
#include "panel/panelstack.h"
#include "panel/remotecommandswindow.h"
#include "panel/switchreadbackmarks.h"
#include "platform/qt/notificationicon.h"
#include "schedule/tform4.h"
#include "settings/settingsfile.h"
#include "settings/settingsmessages.h"
#include "settings/tokrightdlg.h"
#include "sharing/linesharing.h"

namespace relaybox {
namespace {

const QString kCaption = QStringLiteral("KESTRANE Relaybox Management");
// The window heights are outer heights; the title bar, menu and borders take this much of them.
constexpr int kFrameAllowance = 50;

} // namespace

TForm1::TForm1(MainWindowEnvironment environment, QWidget *parent)
    : QMainWindow(parent,
                  Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                      | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
                      | Qt::MSWindowsFixedSizeDialogHint)
    , m_state(environment.state)
    , m_environment(std::move(environment))
{
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(kCaption);
    setWindowIcon(m_art.programIcon());
    buildWindow();
    FormCreate();
}

TForm1::~TForm1()
{
    // Clients are answered and gone before the link they write through; the worker and the port
    // go before anything they could reach.
    m_sharing.reset();
    m_upgrade.reset();
    m_clockSync.reset();
    m_link.reset();
}

void TForm1::buildWindow()
{
    m_menu = new MainMenu(this);
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    setCentralWidget(m_client);
    auto *bevel = new QFrame(m_client);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setGeometry(0, 0, kClientWidth, 2);
    m_panels = new PanelStack(m_state, m_art, m_client);

    m_tmFlash1.setObjectName(QStringLiteral("tmFlash1"));
    m_tmFlash1.setInterval(kFlashInterval);
    connect(&m_tmFlash1, &QTimer::timeout, this, &TForm1::tmFlash1Timer);

    for (int panel = 1; panel <= kVisiblePanels; ++panel) {
        BankPanel *bankPanel = m_panels->panel(panel);
        for (int port = 1; port <= BankPanel::kPorts; ++port) {
            connect(bankPanel->button(port), &PictureControl::pressed, this,
                    &TForm1::imButton11MouseDown);
            connect(bankPanel->button(port), &PictureControl::released, this,
                    &TForm1::imButton11MouseUp);
        }
        connect(bankPanel->menuButton(), &PictureControl::pressed, this,
                [this](int tag, Qt::MouseButton) { btnRight1MouseDown(tag); });
        connect(bankPanel->menuButton(), &PictureControl::released, this,
                [this](int tag, Qt::MouseButton) { btnRight1MouseUp(tag); });
    }
}

void TForm1::FormCreate()
{
    m_link = std::make_unique<LinkController>(m_state, m_environment.clock, m_environment.dialogs,
                                              m_environment.portFactory, m_environment.linkTimings);
    m_link->setRestoreStatusSource([this] { return m_settings.restoreStatus; });
    m_form3 = new TForm3(m_state, m_environment.detection, this);
    setWindowHeight(190, false);

    m_hostPorts = m_environment.hostPorts ? m_environment.hostPorts() : HostPortTable {};
    const bool settingsLoaded = loadSettings();

    // The Configuration dialog lists the ports, so it comes after the port table.
    QStringList portNames;
    for (int slot = 0; slot <= m_hostPorts.count(); ++slot)
        portNames << QString::fromStdString(m_hostPorts.name(slot));
    m_configuration = new TOKRightDlg(
        m_settings, portNames, [this] { return m_state.linkUp(); }, this);
    m_form4 = new TForm4(m_state, m_environment.clock, m_environment.dialogs, this);
    connect(m_form4, &TForm4::transferRequested, this, &TForm1::ReturnToTransfer);

    createMaintenance();
    connectLink();
    connectMenus();
    m_readbackMarks = new SwitchReadbackMarks(m_state, m_art, *m_panels, *m_link, this);
    createSharing();
    m_loadHistory = new LoadHistoryTool(m_state, *m_link, m_menu->mlTools1, m_environment.dialogs,
                                        this, {}, m_environment.loadHistoryLimits);
    if (settingsLoaded)
        applySetRtcToMenu();

    if (m_environment.useNotificationArea) {
        m_trayIcon = new NotificationIcon(m_art.programIcon(), kCaption, this);
        connect(m_trayIcon, &NotificationIcon::restoreRequested, this,
                &TForm1::restoreFromNotificationArea);
    }

    if (m_settings.autoConnect)
        connectProcedure();
}

void TForm1::createSharing()
{
    m_sharing = std::make_unique<sharing::LineSharing>(*m_link, m_state);
    m_sharing->onClientFrame = [this](const std::string &frame) {
        m_readbackMarks->clientFrameWritten(frame);
    };
    connect(m_sharing.get(), &sharing::LineSharing::commandAnswered, this,
            [this](const sharing::RemoteCommand &command) {
                if (!command.ports.empty())
                    m_readbackMarks->switchedByClient(
                        command.ports,
                        QStringLiteral("switched by %1, %2")
                            .arg(command.who, command.time.toString(QStringLiteral("HH:mm:ss"))));
            });
    m_sharing->setEnabled(m_settings.share);
    m_remoteCommands = new RemoteCommandsWindow(*m_sharing, this);
    QAction *item = m_menu->mlTools1->addAction(QStringLiteral("Remote Commands"));
    item->setObjectName(QStringLiteral("mlRemoteCommands"));
    connect(item, &QAction::triggered, this, [this] {
        m_remoteCommands->show();
        m_remoteCommands->raise();
        m_remoteCommands->activateWindow();
    });
}

void TForm1::createMaintenance()
{
    m_clockSync = std::make_unique<ClockSync>(
        m_state, *m_link, m_environment.clock, m_environment.dialogs,
        [this] { return m_settings.setRtc; }, m_environment.clockIntervals);
    m_upgrade = std::make_unique<FirmwareUpgrade>(m_state, *m_link, m_environment.dialogs,
                                                  m_environment.upgradeTimings);
    m_versions = std::make_unique<BankVersionDisplay>(m_state, m_environment.dialogs);
    m_form5 = new TForm5(this);
    m_form5->follow(*m_upgrade);
    // While the operator works in the upgrade window, clicks on the panels do nothing.
    m_form5->mouseGuard().protect({ this, m_panels->panel(1), m_panels->panel(2),
                                    m_panels->panel(3), m_panels->scrollBar() });
    connect(m_upgrade.get(), &FirmwareUpgrade::flashingStopRequested, &m_tmFlash1, &QTimer::stop);
    connect(m_upgrade.get(), &FirmwareUpgrade::flashingRestartRequested, &m_tmFlash1,
            qOverload<>(&QTimer::start));
}

void TForm1::connectLink()
{
    LinkController *link = m_link.get();
    connect(link, &LinkController::linkUp, this, [this] { m_tmFlash1.start(); });
    connect(link, &LinkController::portClosed, this, [this] { m_tmFlash1.stop(); });
    connect(link, &LinkController::hidePanelsRequested, m_panels, &PanelStack::hidePanels);
    connect(link, &LinkController::linkResetRequested, this, &TForm1::onLinkReset);
    connect(link, &LinkController::dialogsCloseRequested, this, &TForm1::onDialogsClose);
    connect(link, &LinkController::bankCountChanged, this, &TForm1::onBankCountChanged);
    connect(link, &LinkController::panelRefresh, m_panels, &PanelStack::refresh);
    connect(link, &LinkController::updateArrived, this, &TForm1::onUpdate);
    connect(link, &LinkController::updateArrived, m_clockSync.get(), &ClockSync::handleUpdate);
    connect(link, &LinkController::updateArrived, m_upgrade.get(), &FirmwareUpgrade::handleUpdate);
    connect(link, &LinkController::linkResetRequested, m_clockSync.get(), &ClockSync::stop);
    connect(link, &LinkController::linkResetRequested, m_upgrade.get(),
            &FirmwareUpgrade::linkReset);
    connect(link, &LinkController::announced, this, &TForm1::onAnnounced);
    connect(link, &LinkController::uploadHoldsLineChanged, m_menu, &MainMenu::setUploading);
}

void TForm1::connectMenus()
{
    MainMenu &menu = *m_menu;
    connect(menu.N2, &QAction::triggered, this, &TForm1::N2Click);
    connect(menu.mlConnect, &QAction::triggered, this, &TForm1::mlConnectClick);
    connect(menu.mlDisconnect, &QAction::triggered, this, &TForm1::mlDisconnectClick);
    connect(menu.mlConfiguration1, &QAction::triggered, this, &TForm1::mlConfiguration1Click);
    connect(menu.SetTimer1, &QAction::triggered, this, &TForm1::SetTimer1Click);
    connect(menu.N3, &QAction::triggered, this, &TForm1::N3Click);
    connect(menu.Upgrade1, &QAction::triggered, m_upgrade.get(), &FirmwareUpgrade::Upgrade1Click);
    connect(menu.mlSetRTCNow, &QAction::triggered, m_clockSync.get(), &ClockSync::mlSetRTCNowClick);
    connect(menu.mlStartSetRTC_Period, &QAction::triggered, m_clockSync.get(),
            &ClockSync::mlStartSetRTC_PeriodClick);
    connect(&menu, &MainMenu::versionItemTriggered, m_versions.get(),
            &BankVersionDisplay::ShowBankVersion);
    connect(m_configuration, &TOKRightDlg::hourlySyncTurnedOn, this, [this] {
        m_menu->mlStartSetRTC_Period->trigger(); // acts only while the item is enabled
        m_menu->mlStartSetRTC_Period->setEnabled(false);
    });
    connect(m_configuration, &TOKRightDlg::hourlySyncTurnedOff, this, [this] {
        m_clockSync->stop();
        m_menu->mlStartSetRTC_Period->setEnabled(true);
    });
    for (int panel = 1; panel <= kVisiblePanels; ++panel) {
        const BankPopup &popup = menu.popups[panel - 1];
        const int tag = panel - 1;
        connect(popup.menu, &QMenu::aboutToShow, this, [this, panel] { popForm1Popup(panel); });
        connect(popup.openOneBank, &QAction::triggered, this,
                [this, tag] { OpenOneBank1Click(tag); });
        connect(popup.closeOneBank, &QAction::triggered, this,
                [this, tag] { CloseOneBank1Click(tag); });
        connect(popup.openAllBanks, &QAction::triggered, this, &TForm1::OpenAllPortofAllBank1Click);
        connect(popup.closeAllBanks, &QAction::triggered, this,
                &TForm1::CloseAllPortofAllBank1Click);
        connect(popup.setOneTimer, &QAction::triggered, this,
                [this, tag] { mlSetOneTimer1Click(tag); });
        connect(popup.checkVersion, &QAction::triggered, this,
                [this, panel] { mlCheckVersion1Click(panel); });
    }
}

bool TForm1::loadSettings()
{
    const SettingsFile file(m_environment.settingsPath);
    const SettingsResult result = file.load(m_settings, unsigned(m_hostPorts.count()));
    reportSettingsResult(m_environment.dialogs, result);
    return result.status == SettingsStatus::Ok;
}

bool TForm1::saveSettings()
{
    const SettingsFile file(m_environment.settingsPath);
    const SettingsResult result = file.save(m_settings);
    reportSettingsResult(m_environment.dialogs, result);
    return result.status == SettingsStatus::Ok;
}

void TForm1::applySetRtcToMenu()
{
    // With hourly sync on, the switch's Version replies start it; the menu item is for off.
    m_menu->mlStartSetRTC_Period->setEnabled(!m_settings.setRtc);
    if (!m_settings.setRtc)
        m_clockSync->stop();
}

void TForm1::onAnnounced()
{
    if (m_settings.setRtc)
        m_menu->mlStartSetRTC_Period->trigger(); // does nothing while the item is disabled
}

void TForm1::mlCheckVersion1Click(int panel)
{
    if (const int bank = popupBank(panel - 1))
        m_versions->ShowBankVersion(bank);
}

void TForm1::setWindowHeight(int height, bool topAt100)
{
    const int clientHeight = height - kFrameAllowance;
    m_client->setFixedSize(kClientWidth, clientHeight);
    setFixedSize(kClientWidth, clientHeight + menuBar()->sizeHint().height());
    if (topAt100)
        move(x(), 100);
}

bool TForm1::confirm(const QString &text)
{
    if (!m_settings.prompt)
        return true;
    return m_environment.dialogs.message(QString(), text, MessageIcon::Warning,
                                         MessageButtons::OkCancel)
        == MessageAnswer::Ok;
}

void TForm1::sendSwitch(const std::string &frame)
{
    // A frame that cannot be written is lost, as on the line; the next poll shows the state.
    if (m_link->sendFrame(frame))
        m_readbackMarks->frameWritten(frame);
}

bool TForm1::uploadHoldsLine() const
{
    // Port buttons and bank pop-ups do nothing while a firmware upload holds the line.
    return m_link->uploadHoldsLine();
}

void TForm1::imButton11MouseDown(int tag, Qt::MouseButton button)
{
    if (button == Qt::LeftButton && !uploadHoldsLine())
        m_panels->showPortButton(tag, true);
}

void TForm1::imButton11MouseUp(int tag, Qt::MouseButton button)
{
    if (button != Qt::LeftButton)
        return;
    m_panels->showPortButton(tag, false);
    if (uploadHoldsLine())
        return;
    const PanelPort where = panelPortOfTag(tag);
    const int bank = bankOfPanel(m_panels->scrollPosition(), where.panel);
    const bool on = m_state.bank(bank).isOn(where.port - 1);
    const QString text = on ? QStringLiteral("Do you want to power off Bank %1 Port %2?")
                            : QStringLiteral("Do you want to power on Bank %1 Port %2?");
    // The operator confirmed what the box asked, even when a status changed the port meanwhile.
    if (confirmForBank(bank, text.arg(bank).arg(where.port)))
        sendSwitch(frames::portSwitch(!on, bank, where.port));
}

bool TForm1::confirmForBank(int bank, const QString &text)
{
    const auto inChain = [this, bank] {
        return bank >= 1 && bank <= m_state.bankCount();
    };
    // The chain may shrink while the box is open.
    return inChain() && confirm(text) && inChain();
}

void TForm1::btnRight1MouseDown(int tag)
{
    if (!uploadHoldsLine())
        m_panels->showMenuButton(tag, true);
}

void TForm1::btnRight1MouseUp(int tag)
{
    if (tag < 1 || tag > kVisiblePanels || uploadHoldsLine())
        return;
    BankPanel *panel = m_panels->panel(tag);
    const QPoint point = m_client->mapToGlobal(panel->pos() + QPoint(20, 55));
    m_panels->showMenuButton(tag, false);
    m_menu->popups[tag - 1].menu->popup(point);
}

void TForm1::popForm1Popup(int panel)
{
    // Every item acts on the bank its menu was opened for, wherever the panels page meanwhile.
    const int bank = bankOfPanel(m_panels->scrollPosition(), panel);
    m_popupBanks[panel - 1] = bank;
    BankPopup &popup = m_menu->popups[panel - 1];
    popup.openOneBank->setText(QStringLiteral("Power on All Ports of Bank %1").arg(bank));
    popup.closeOneBank->setText(QStringLiteral("Power off All Ports of Bank %1").arg(bank));
    popup.checkVersion->setText(QStringLiteral("Check Bank%1 Version").arg(bank, 2));
}

void TForm1::OpenOneBank1Click(int tag)
{
    const int bank = popupBank(tag);
    if (confirmForBank(bank,
                       QStringLiteral("Do you want to power on all ports of bank %1?").arg(bank)))
        sendSwitch(frames::bankSwitch(true, bank));
}

void TForm1::CloseOneBank1Click(int tag)
{
    const int bank = popupBank(tag);
    if (confirmForBank(bank,
                       QStringLiteral("Do you want to power off all ports of bank %1?").arg(bank)))
        sendSwitch(frames::bankSwitch(false, bank));
}

int TForm1::popupBank(int tag) const
{
    // A bank that left the chain since the menu opened is 0: its items do nothing.
    const int bank = tag >= 0 && tag < kVisiblePanels ? m_popupBanks[std::size_t(tag)] : 0;
    return bank <= m_state.bankCount() ? bank : 0;
}

void TForm1::OpenAllPortofAllBank1Click()
{
    if (confirm(QStringLiteral("Do you want to power on all ports of all banks?")))
        sendSwitch(frames::allBanksSwitch(true));
}

void TForm1::CloseAllPortofAllBank1Click()
{
    if (confirm(QStringLiteral("Do you want to power off all ports of  all banks?")))
        sendSwitch(frames::allBanksSwitch(false));
}

void TForm1::mlConnectClick()
{
    m_settings.comPort = m_configuration->selectedPort();
    m_settings.autoConnect = m_configuration->autoConnectChecked();
    connectProcedure();
    saveSettings();
}

bool TForm1::connectProcedure()
{
    m_form3->setSearch(&m_hostPorts, m_settings.comPort, m_settings.comMeg);
    const int result = m_form3->exec();
    // Every index of the port table is a port, the ninth and later ones included.
    if (!m_hostPorts.isPort(result)) {
        if (const auto &held = m_form3->heldPort())
            m_link->portHeldReport(held->path, held->holder);
        else
            m_link->linkLostReport();
        return false;
    }
    m_menu->setConnected(true);
    // Taken by another program since the probe, or refused: say so and return to disconnected.
    if (!m_link->startLink(m_hostPorts.path(result))) {
        m_link->openFailedReport(m_hostPorts.path(result));
        return false;
    }
    return true;
}

void TForm1::mlDisconnectClick()
{
    m_link->closeLink();
}

void TForm1::mlConfiguration1Click()
{
    if (m_configuration->exec() != QDialog::Accepted)
        return;
    m_sharing->setEnabled(m_settings.share);
    if (!saveSettings())
        return;
    m_link->sendFrame(frames::restoreStatus(m_settings.restoreStatus));
}

void TForm1::SetTimer1Click()
{
    openSetTimer(0);
}

void TForm1::mlSetOneTimer1Click(int tag)
{
    if (const int bank = popupBank(tag))
        openSetTimer(bank - 1);
}

void TForm1::openSetTimer(int bankIndex)
{
    if (m_form4->execOnBank(bankIndex) == QDialog::Accepted)
        ReturnToTransfer();
}

void TForm1::ReturnToTransfer()
{
    m_link->returnToTransfer(m_environment.clock.now());
}

void TForm1::N2Click()
{
    close();
}

void TForm1::N3Click()
{
    emit aboutRequested();
}

void TForm1::tmFlash1Timer()
{
    m_flashPhase = 1 - m_flashPhase;
    m_panels->flashTick(m_flashPhase, m_environment.clock.now());
}

void TForm1::onLinkReset()
{
    m_menu->setConnected(false);
    m_menu->removeAllVersionItems();
    m_form4->removeAllBankTabs();
}

void TForm1::onDialogsClose()
{
    m_configuration->endWithCancel();
    m_form4->cancelIfVisible();
}

void TForm1::onBankCountChanged(int oldCount, int newCount)
{
    const BankLayout layout = m_panels->applyBankCount(newCount);
    setWindowHeight(layout.windowHeight, layout.topAt100);
    m_form4->cancelIfShowingBankFrom(newCount);
    if (oldCount > newCount) {
        for (int bank = oldCount; bank > newCount; --bank) {
            m_menu->removeVersionItem(bank);
            m_form4->removeBankTab(bank);
        }
    } else {
        for (int bank = oldCount + 1; bank <= newCount; ++bank) {
            m_menu->addVersionItem(bank);
            m_form4->appendBankTab(bank);
        }
        m_form4->selectFirstBankTab();
    }
    // Draw the banks now rather than leave the read-outs blank until the operator pages.
    m_panels->ScrollBar1Change();
}

void TForm1::onUpdate(const UiUpdate &update)
{
    switch (update.kind) {
    case UpdateKind::EditorRefresh:
        m_form4->refreshIfShowing(update.bank);
        break;
    default:
        break;
    }
}

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shownOnce || !screen())
        return;
    m_shownOnce = true;
    QRect place = frameGeometry();
    place.moveCenter(screen()->availableGeometry().center());
    move(place.topLeft());
}

void TForm1::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // Minimised with a notification area: leave the taskbar and live on as the icon. Not while a
    // dialog or message box is open: it blocks presses on the icon, so the program would be out
    // of reach; it stays minimised on the taskbar instead.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && m_trayIcon
        && m_trayIcon->isAvailable() && !QApplication::activeModalWidget())
        QTimer::singleShot(0, this, [this] {
            if (isMinimized() && !QApplication::activeModalWidget())
                hide();
        });
}

void TForm1::restoreFromNotificationArea()
{
    showNormal();
    raise();
    activateWindow();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    // Nothing is sent to the switch; its ports stay as they are.
    m_link->closeLink();
    QMainWindow::closeEvent(event);
}

} // namespace relaybox
