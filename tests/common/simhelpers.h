#pragma once

#include <QStringList>
#include <QtTest>
#include <memory>

#include "sim/simulatedswitch.h"

// Starting the simulated switch on a pseudo-terminal inside a test, and reading what it saw.

namespace relaybox::testing {

inline std::unique_ptr<sim::SimulatedSwitch> startSwitch(sim::DeviceSettings device,
                                                         bool pace = false)
{
    sim::SimOptions options;
    options.device = std::move(device);
    options.pace = pace;
    std::string error;
    auto simulated = sim::SimulatedSwitch::start(std::move(options), error);
    if (!simulated)
        qWarning("simulator: %s", error.c_str());
    return simulated;
}

inline sim::DeviceSettings banks(int count, double amps = 2.5)
{
    sim::DeviceSettings device;
    device.banks = count;
    device.amps = amps;
    device.startTime = { 2026, 12, 7, 10, 0, 0 };
    return device;
}

// The host frames the switch received, in order, without their time stamps.
inline QStringList receivedFrames(const sim::SimulatedSwitch &simulated)
{
    QStringList frames;
    for (const std::string &line : const_cast<sim::SimulatedSwitch &>(simulated).log().lines()) {
        const auto at = line.find(" RX ");
        if (at != std::string::npos)
            frames << QString::fromStdString(line.substr(at + 4));
    }
    return frames;
}

} // namespace relaybox::testing
