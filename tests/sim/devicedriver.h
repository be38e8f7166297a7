#pragma once

#include <QByteArray>
#include <QStringList>

#include "sim/devicemodel.h"

// Drives a DeviceModel the way the pty server does, with a clock the test moves by hand.
class DeviceDriver
{
public:
    // 2026-12-06 is a Sunday.
    static relaybox::sim::DeviceSettings settings(int banks = 2)
    {
        relaybox::sim::DeviceSettings settings;
        settings.banks = banks;
        settings.amps = 3.5;
        settings.startTime = { 2026, 12, 6, 10, 0, 0 };
        return settings;
    }

    explicit DeviceDriver(const relaybox::sim::DeviceSettings &settings = DeviceDriver::settings())
        : model(settings)
    { }

    // Bytes from the host; returns what the switch answered.
    QByteArray send(const QByteArray &bytes)
    {
        model.receive(std::string_view(bytes.constData(), std::size_t(bytes.size())), now);
        return take();
    }

    // Lets time pass on the line (the switch's clock runs with it).
    QByteArray wait(relaybox::sim::Millis by)
    {
        now += by;
        model.tick(now);
        return take();
    }

    QByteArray advanceClock(std::chrono::seconds by)
    {
        model.advanceClock(by, now);
        return take();
    }

    QByteArray take()
    {
        relaybox::sim::DeviceOutput output = model.takeOutput();
        for (const std::string &event : output.events)
            events << QString::fromStdString(event);
        hangup = hangup || output.hangup;
        return QByteArray::fromStdString(output.bytes);
    }

    QStringList eventsStartingWith(const QString &prefix) const
    {
        QStringList found;
        for (const QString &event : events)
            if (event.startsWith(prefix))
                found << event;
        return found;
    }

    QString letters(int bank) const { return QString::fromStdString(model.switchLetters(bank)); }

    relaybox::sim::DeviceModel model;
    relaybox::sim::Millis now { 0 };
    QStringList events;
    bool hangup = false;
};
