#pragma once

#ifdef _WIN32

#include <atomic>
#include <mutex>
#include <windows.h>

#include "platform/serialport.h"

// The serial port on a Windows COM device, opened plain for the probe or overlapped for the link.

namespace relaybox {

class WinSerialPort final : public SerialPort
{
public:
    WinSerialPort() = default;
    ~WinSerialPort() override;
    WinSerialPort(const WinSerialPort &) = delete;
    WinSerialPort &operator=(const WinSerialPort &) = delete;

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
    long transfer(char *readInto, const char *writeFrom, std::size_t size, HANDLE event,
                  DWORD waitMs);

    // Set by open() and cleared by close(), which no other thread overlaps.
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    PortMode m_mode = PortMode::Blocking;
    OpenError m_openError = OpenError::None;
    HANDLE m_waitEvent = nullptr; // the receive wait's own record and event
    HANDLE m_readEvent = nullptr;
    HANDLE m_writeEvent = nullptr; // writes never share the receive wait's record
    HANDLE m_interruptEvent = nullptr; // manual reset: once set, every later wait ends at once
    OVERLAPPED m_waitOverlapped {};
    DCB m_lineSettings {};
    bool m_haveLineSettings = false;

    mutable std::mutex m_timeoutsMutex;
    SerialTimeouts m_timeouts { 0, 0, 0, 0, 0 };
    std::mutex m_receiveMutex; // keeps a receive purge out of a read
    std::atomic<std::uint64_t> m_receivePurges { 0 };
    std::atomic<bool> m_interrupted { false };
};

} // namespace relaybox

#endif
