#pragma once

#include <chrono>
#include <memory>

#include "platform/serialport.h"

// The switch's port as relayboxd reads it. At 9600 baud a byte comes every millisecond, and
// waking a thread for each costs more than the line carries (four polled 16-bank switches spent
// ten times the idle goal that way); after the first byte of a burst a read gathers what comes
// within a few milliseconds and returns it at once.

namespace relaybox::daemon {

class GatheringPort final : public SerialPort
{
public:
    static constexpr std::chrono::milliseconds kGather { 30 };

    explicit GatheringPort(std::unique_ptr<SerialPort> port)
        : m_port(std::move(port))
    { }

    long read(char *data, std::size_t size) override;

    bool open(const std::string &path, PortMode mode) override { return m_port->open(path, mode); }
    bool readLineSettings() override { return m_port->readLineSettings(); }
    bool applyLineSettings() override { return m_port->applyLineSettings(); }
    bool setBufferSizes(std::size_t in, std::size_t out) override
    {
        return m_port->setBufferSizes(in, out);
    }
    bool setTimeouts(const SerialTimeouts &timeouts) override
    {
        return m_port->setTimeouts(timeouts);
    }
    void purge(bool transmit, bool receive) override { m_port->purge(transmit, receive); }
    std::uint64_t receivePurges() const override { return m_port->receivePurges(); }
    long write(const char *data, std::size_t size) override { return m_port->write(data, size); }
    WaitResult waitForInput() override { return m_port->waitForInput(); }
    long readAvailable(char *data, std::size_t size) override
    {
        return m_port->readAvailable(data, size);
    }
    void interrupt() override { m_port->interrupt(); }
    void close() override { m_port->close(); }
    bool isOpen() const override { return m_port->isOpen(); }
    OpenError openError() const override { return m_port->openError(); }

private:
    std::unique_ptr<SerialPort> m_port;
};

} // namespace relaybox::daemon
