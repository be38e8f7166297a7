#ifdef _WIN32

#include "platform/win/winserialport.h"

#include <algorithm>

#include "platform/serialtimelimits.h"

namespace relaybox {

namespace {

HANDLE makeManualResetEvent()
{
    return CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

void closeEvent(HANDLE &event)
{
    if (event)
        CloseHandle(event);
    event = nullptr;
}

// "COM10" and above open only in the device namespace form; the port table already uses it.
std::string deviceName(const std::string &path)
{
    const bool bareCom = path.size() > 3 && (path[0] == 'C' || path[0] == 'c')
        && (path[1] == 'O' || path[1] == 'o') && (path[2] == 'M' || path[2] == 'm');
    return bareCom ? "\\\\.\\" + path : path;
}

DWORD clampedMs(int ms)
{
    return static_cast<DWORD>(std::max(0, ms));
}

// Windows reads and writes take a DWORD length.
DWORD clampedLength(std::size_t size)
{
    return static_cast<DWORD>(std::min<std::size_t>(size, 0x7fffffff));
}

// A port another program holds refuses with access denied: its share mode is 0, as ours is.
OpenError openErrorFrom(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
        return OpenError::NoSuchPort;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return OpenError::InUse;
    default:
        return OpenError::Other;
    }
}

} // namespace

WinSerialPort::~WinSerialPort()
{
    close();
}

bool WinSerialPort::open(const std::string &path, PortMode mode)
{
    if (isOpen())
        return false;
    // Share mode 0: no other program may open the port while it is ours.
    const DWORD flags = mode == PortMode::Overlapped ? FILE_FLAG_OVERLAPPED : 0;
    const HANDLE handle = CreateFileA(deviceName(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        m_openError = openErrorFrom(GetLastError());
        return false;
    }
    m_openError = OpenError::None;
    m_handle = handle;
    m_mode = mode;
    m_haveLineSettings = false;
    m_interrupted = false;
    if (mode == PortMode::Overlapped) {
        m_waitEvent = makeManualResetEvent();
        m_readEvent = makeManualResetEvent();
        m_writeEvent = makeManualResetEvent();
        m_interruptEvent = makeManualResetEvent();
        if (!m_waitEvent || !m_readEvent || !m_writeEvent || !m_interruptEvent
            || !SetCommMask(m_handle, EV_RXCHAR)) {
            close();
            return false;
        }
    }
    return true;
}

bool WinSerialPort::readLineSettings()
{
    if (!isOpen())
        return false;
    m_lineSettings = {};
    m_lineSettings.DCBlength = sizeof(DCB);
    m_haveLineSettings = GetCommState(m_handle, &m_lineSettings) != 0;
    return m_haveLineSettings;
}

bool WinSerialPort::applyLineSettings()
{
    if (!isOpen() || (!m_haveLineSettings && !readLineSettings()))
        return false;
    DCB settings = m_lineSettings;
    settings.BaudRate = CBR_9600;
    settings.ByteSize = 8;
    settings.Parity = NOPARITY;
    settings.StopBits = ONESTOPBIT;
    settings.fOutxCtsFlow = TRUE;
    if (!SetCommState(m_handle, &settings))
        return false;
    m_lineSettings = settings;
    return true;
}

bool WinSerialPort::setBufferSizes(std::size_t in, std::size_t out)
{
    return isOpen() && SetupComm(m_handle, clampedLength(in), clampedLength(out)) != 0;
}

bool WinSerialPort::setTimeouts(const SerialTimeouts &timeouts)
{
    if (!isOpen())
        return false;
    COMMTIMEOUTS driver {};
    driver.ReadIntervalTimeout = clampedMs(timeouts.readIntervalMs);
    driver.ReadTotalTimeoutMultiplier = clampedMs(timeouts.readTotalMultiplierMs);
    driver.ReadTotalTimeoutConstant = clampedMs(timeouts.readTotalConstantMs);
    driver.WriteTotalTimeoutMultiplier = clampedMs(timeouts.writeTotalMultiplierMs);
    driver.WriteTotalTimeoutConstant = clampedMs(timeouts.writeTotalConstantMs);
    if (!SetCommTimeouts(m_handle, &driver))
        return false;
    const std::lock_guard lock(m_timeoutsMutex);
    m_timeouts = timeouts;
    return true;
}

SerialTimeouts WinSerialPort::timeouts() const
{
    const std::lock_guard lock(m_timeoutsMutex);
    return m_timeouts;
}

void WinSerialPort::purge(bool transmit, bool receive)
{
    if (!isOpen())
        return;
    if (transmit)
        PurgeComm(m_handle, PURGE_TXABORT | PURGE_TXCLEAR);
    if (receive) {
        const std::lock_guard lock(m_receiveMutex);
        PurgeComm(m_handle, PURGE_RXABORT | PURGE_RXCLEAR);
        ++m_receivePurges;
    }
}

std::uint64_t WinSerialPort::receivePurges() const
{
    return m_receivePurges.load();
}

// One ReadFile or WriteFile. On the overlapped port it waits for completion up to waitMs (the
// driver's time-outs end it first) and cancels it past that, so the record is free on return.
long WinSerialPort::transfer(char *readInto, const char *writeFrom, std::size_t size, HANDLE event,
                             DWORD waitMs)
{
    const bool reading = readInto != nullptr;
    const DWORD length = clampedLength(size);
    DWORD done = 0;
    if (m_mode == PortMode::Blocking) {
        const BOOL ok = reading ? ReadFile(m_handle, readInto, length, &done, nullptr)
                                : WriteFile(m_handle, writeFrom, length, &done, nullptr);
        return ok ? static_cast<long>(done) : -1;
    }
    OVERLAPPED overlapped {};
    overlapped.hEvent = event;
    ResetEvent(event);
    const BOOL ok = reading ? ReadFile(m_handle, readInto, length, nullptr, &overlapped)
                            : WriteFile(m_handle, writeFrom, length, nullptr, &overlapped);
    if (!ok && GetLastError() != ERROR_IO_PENDING)
        return -1;
    if (!ok && WaitForSingleObject(event, waitMs) != WAIT_OBJECT_0)
        CancelIoEx(m_handle, &overlapped);
    if (!GetOverlappedResult(m_handle, &overlapped, &done, TRUE))
        return GetLastError() == ERROR_OPERATION_ABORTED ? static_cast<long>(done) : -1;
    return static_cast<long>(done);
}

long WinSerialPort::read(char *data, std::size_t size)
{
    if (!isOpen())
        return -1;
    if (size == 0)
        return 0;
    // No lock here: a receive purge (PURGE_RXABORT) is meant to end a pending read.
    const auto limit = readTotalLimit(timeouts(), size);
    const DWORD waitMs = limit ? static_cast<DWORD>(limit->count()) : INFINITE;
    return transfer(data, nullptr, size, m_readEvent, waitMs);
}

long WinSerialPort::write(const char *data, std::size_t size)
{
    if (!isOpen())
        return -1;
    const auto limit = writeTotalLimit(timeouts(), size);
    const DWORD waitMs = limit ? static_cast<DWORD>(limit->count()) : INFINITE;
    return transfer(nullptr, data, size, m_writeEvent, waitMs);
}

WaitResult WinSerialPort::waitForInput()
{
    if (!isOpen() || m_mode != PortMode::Overlapped)
        return { WaitResult::Failed };
    if (m_interrupted)
        return { WaitResult::Interrupted };

    m_waitOverlapped = {};
    m_waitOverlapped.hEvent = m_waitEvent;
    ResetEvent(m_waitEvent);
    DWORD mask = 0;
    if (!WaitCommEvent(m_handle, &mask, &m_waitOverlapped)) {
        if (GetLastError() != ERROR_IO_PENDING)
            return { WaitResult::Failed };
        const HANDLE events[2] = { m_interruptEvent, m_waitEvent };
        const DWORD woken = WaitForMultipleObjects(2, events, FALSE, INFINITE);
        if (woken != WAIT_OBJECT_0 + 1) {
            // The wait must be over before its record is reused or the port closed.
            DWORD unused = 0;
            CancelIoEx(m_handle, &m_waitOverlapped);
            GetOverlappedResult(m_handle, &m_waitOverlapped, &unused, TRUE);
            return { woken == WAIT_OBJECT_0 ? WaitResult::Interrupted : WaitResult::Failed };
        }
        DWORD unused = 0;
        if (!GetOverlappedResult(m_handle, &m_waitOverlapped, &unused, FALSE))
            return { WaitResult::Failed };
    }
    DWORD errors = 0;
    COMSTAT status {};
    if (!ClearCommError(m_handle, &errors, &status))
        return { WaitResult::Failed };
    return { WaitResult::Ready, status.cbInQue };
}

long WinSerialPort::readAvailable(char *data, std::size_t size)
{
    if (!isOpen())
        return -1;
    const std::lock_guard lock(m_receiveMutex);
    DWORD errors = 0;
    COMSTAT status {};
    if (!ClearCommError(m_handle, &errors, &status))
        return -1;
    const std::size_t queued = std::min<std::size_t>(size, status.cbInQue);
    if (queued == 0)
        return 0;
    // The bytes are already queued, so the read completes without waiting on the line.
    return transfer(data, nullptr, queued, m_readEvent, INFINITE);
}

void WinSerialPort::interrupt()
{
    m_interrupted = true;
    if (m_interruptEvent)
        SetEvent(m_interruptEvent);
}

void WinSerialPort::close()
{
    if (m_handle != INVALID_HANDLE_VALUE)
        CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    closeEvent(m_waitEvent);
    closeEvent(m_readEvent);
    closeEvent(m_writeEvent);
    closeEvent(m_interruptEvent);
    m_haveLineSettings = false;
}

bool WinSerialPort::isOpen() const
{
    return m_handle != INVALID_HANDLE_VALUE;
}

std::unique_ptr<SerialPort> makeSerialPort()
{
    return std::make_unique<WinSerialPort>();
}

} // namespace relaybox

#endif
