#pragma once

#include <atomic>
#include <mutex>
#include <termios.h>

#include "platform/serialport.h"

// The serial port on a POSIX terminal device (a real serial line or a pseudo-terminal).

namespace relaybox {

class PosixSerialPort final : public SerialPort
{
public:
    PosixSerialPort() = default;
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort &) = delete;
    PosixSerialPort &operator=(const PosixSerialPort &) = delete;

    bool open(const std::string &path, PortMode mode) override;
    bool readLineSettings() override;
    bool applyLineSettings() override;
    bool setBufferSizes(std::size_t in, std::size_t out) override;
    bool setTimeouts(const SerialTimeouts &timeouts) override;
    void purge(bool transmit, bool receive) override;
    std::uint64_t receivePurges() const override;
    long read(char *data, std::size_t size) override;
    long write(const char *data, std::size_t size) override;
    WaitResult waitForInput() override;
    long readAvailable(char *data, std::size_t size) override;
    void interrupt() override;
    void close() override;
    bool isOpen() const override;
    OpenError openError() const override { return m_openError; }

private:
    SerialTimeouts timeouts() const;
    long readOnce(char *data, std::size_t size);

    // Set by open() and cleared by close(), which no other thread overlaps.
    int m_fd = -1;
    int m_wakeRead = -1; // interrupt() writes the pipe: closing the port does not wake poll()
    int m_wakeWrite = -1;
    termios m_lineSettings {};
    bool m_haveLineSettings = false;
    OpenError m_openError = OpenError::None;
    bool m_restoreLowLatency = false; // close() clears the driver flag that open() set

    mutable std::mutex m_timeoutsMutex;
    SerialTimeouts m_timeouts { 0, 0, 0, 0, 0 };
    std::mutex m_receiveMutex; // keeps a receive purge out of a read
    std::atomic<std::uint64_t> m_receivePurges { 0 };
    std::atomic<bool> m_interrupted { false };
};

} // namespace relaybox
