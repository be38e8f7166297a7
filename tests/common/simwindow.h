#pragma once

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "common/scripteddialogs.h"
#include "common/sharedstateaccess.h"
#include "common/simhelpers.h"
#include "panel/mainmenu.h"
#include "panel/tform1.h"

// The main window in-process, linked over a real pseudo-terminal to the simulated switch, with
// short timers, a scripted message box and its settings in a temporary folder.

namespace relaybox::testing {

struct SimWindow
{
    explicit SimWindow(sim::DeviceSettings device, bool pace = false,
                       const QByteArray &ini = "[Form]\nAuto=0\nPrompt=0\nComPort=1\n")
        : simulated(startSwitch(std::move(device), pace))
    {
        settingsPath = dir.filePath(QStringLiteral("define.ini"));
        QFile file(settingsPath);
        if (file.open(QIODevice::WriteOnly))
            file.write(ini);
        file.close();
        const std::string path = simulated ? simulated->path() : std::string();
        MainWindowEnvironment environment { state, clock, dialogs };
        environment.settingsPath = settingsPath.toStdString();
        environment.hostPorts = [path] {
            return HostPortTable(std::vector<HostPort> { { "sim", path } });
        };
        environment.linkTimings.poll = std::chrono::milliseconds(200);
        environment.linkTimings.watchdog = std::chrono::milliseconds(1500);
        environment.upgradeTimings.timeout = std::chrono::milliseconds(800);
        environment.detection.probeTimeouts = { 0, 0, 300, 0, 1000 };
        environment.detection.pause = [](std::chrono::milliseconds) {
        };
        environment.useNotificationArea = false;
        form = std::make_unique<TForm1>(std::move(environment));
    }

    ~SimWindow() { form.reset(); }

    // Linked as Connect leaves it, once the switch has reported its banks.
    bool link()
    {
        form->menu().setConnected(true);
        if (!form->link().startLink(simulated->path()))
            return false;
        return QTest::qWaitFor([this] { return shownBankCount() > 0; }, 3000);
    }

    int shownBankCount()
    {
        return locked(state, [](StateValues &v) { return v.link.shownBankCount; });
    }

    std::size_t queued()
    {
        return locked(state, [](StateValues &v) { return v.transferQueue.size(); });
    }

    // Waits for a line in the simulator's log while the window keeps handling the link.
    bool simSaw(const std::string &text, int timeoutMs = 3000)
    {
        const auto contains = [&](const std::string &line) {
            return line.find(text) != std::string::npos;
        };
        return QTest::qWaitFor(
            [&] {
                return simulated->waitForLine(contains, std::chrono::milliseconds(0)).has_value();
            },
            timeoutMs);
    }

    QTemporaryDir dir;
    QString settingsPath;
    SharedState state;
    FixedClock clock { LocalTime { 2026, 12, 7, 10, 0, 0, 2 } };
    ScriptedDialogs dialogs;
    std::unique_ptr<sim::SimulatedSwitch> simulated;
    std::unique_ptr<TForm1> form;
};

} // namespace relaybox::testing
