#include "platform/posix/posixserialport.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/serial.h>
#endif

#include "platform/serialtimelimits.h"

namespace relaybox {

namespace {

using Clock = std::chrono::steady_clock;

int closeQuietly(int fd)
{
    if (fd >= 0)
        ::close(fd);
    return -1;
}

bool makePipe(int &readEnd, int &writeEnd)
{
    int ends[2];
    if (::pipe(ends) != 0)
        return false;
    for (const int fd : ends) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    readEnd = ends[0];
    writeEnd = ends[1];
    return true;
}

// Milliseconds for poll() until the deadline: -1 without one, never negative with one.
int pollTimeout(std::optional<Clock::time_point> deadline)
{
    if (!deadline)
        return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
    return static_cast<int>(std::max<long long>(0, left.count()));
}

// poll() that sleeps on after a signal until its deadline; returns revents, 0 on time-out, -1.
int pollOne(int fd, short events, std::optional<Clock::time_point> deadline)
{
    pollfd entry { fd, events, 0 };
    for (;;) {
        const int ready = ::poll(&entry, 1, pollTimeout(deadline));
        if (ready > 0)
            return entry.revents;
        if (ready == 0)
            return 0;
        if (errno != EINTR)
            return -1;
    }
}

OpenError openErrorFrom(int error)
{
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
        return OpenError::NoSuchPort;
    case EACCES:
    case EPERM:
        return OpenError::PermissionDenied;
    case EBUSY:
    case EWOULDBLOCK:
        return OpenError::InUse;
    case ENOTTY:
        return OpenError::NotASerialPort;
    default:
        return OpenError::Other;
    }
}

// USB adapters hold received bytes for up to 16 ms unless asked not to, which makes a reply
// that the host waits for byte by byte (the firmware upload) several times slower than the
// line. Pseudo-terminals and some drivers refuse; that costs nothing. Returns true when this
// call set the flag, so that close() can clear it again.
bool requestLowLatency([[maybe_unused]] int fd)
{
#ifdef __linux__
    serial_struct serial {};
    if (::ioctl(fd, TIOCGSERIAL, &serial) != 0 || (serial.flags & ASYNC_LOW_LATENCY))
        return false;
    serial.flags |= ASYNC_LOW_LATENCY;
    return ::ioctl(fd, TIOCSSERIAL, &serial) == 0;
#else
    return false;
#endif
}

void clearLowLatency([[maybe_unused]] int fd)
{
#ifdef __linux__
    serial_struct serial {};
    if (::ioctl(fd, TIOCGSERIAL, &serial) == 0) {
        serial.flags &= ~ASYNC_LOW_LATENCY;
        ::ioctl(fd, TIOCSSERIAL, &serial);
    }
#endif
}

} // namespace

PosixSerialPort::~PosixSerialPort()
{
    close();
}

bool PosixSerialPort::open(const std::string &path, PortMode)
{
    // Both modes are the same here: the fd stays non-blocking and read()/write() wait in poll().
    if (isOpen())
        return false;
    m_openError = OpenError::Other;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_openError = openErrorFrom(errno);
        return false;
    }
    // TIOCEXCL keeps other users off the port but root ignores it; the lock also stops a second
    // manager running as root. TIOCEXCL also fails on anything that is not a terminal.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
        m_openError = openErrorFrom(errno);
        closeQuietly(fd);
        return false;
    }
    if (!makePipe(m_wakeRead, m_wakeWrite)) {
        ::ioctl(fd, TIOCNXCL);
        closeQuietly(fd);
        return false;
    }
    m_openError = OpenError::None;
    m_restoreLowLatency = requestLowLatency(fd);
    m_fd = fd;
    m_haveLineSettings = false;
    m_interrupted = false;
    return true;
}

bool PosixSerialPort::readLineSettings()
{
    m_haveLineSettings = isOpen() && ::tcgetattr(m_fd, &m_lineSettings) == 0;
    return m_haveLineSettings;
}

bool PosixSerialPort::applyLineSettings()
{
    if (!isOpen() || (!m_haveLineSettings && !readLineSettings()))
        return false;
    termios settings = m_lineSettings;
    ::cfmakeraw(&settings);
    if (::cfsetispeed(&settings, B9600) != 0 || ::cfsetospeed(&settings, B9600) != 0)
        return false;
    settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB);
    settings.c_cflag |= CS8 | CLOCAL | CREAD | CRTSCTS;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    // The fd is non-blocking and the waits are poll() deadlines, so the driver's own timer is off.
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (::tcsetattr(m_fd, TCSANOW, &settings) != 0)
        return false;
    m_lineSettings = settings;
    return true;
}

bool PosixSerialPort::setBufferSizes(std::size_t, std::size_t)
{
    // The driver sizes its own queues; there is nothing to set.
    return isOpen();
}

bool PosixSerialPort::setTimeouts(const SerialTimeouts &timeouts)
{
    if (!isOpen())
        return false;
    if (timeouts.readIntervalMs < 0 || timeouts.readTotalMultiplierMs < 0
        || timeouts.readTotalConstantMs < 0 || timeouts.writeTotalMultiplierMs < 0
        || timeouts.writeTotalConstantMs < 0)
        return false;
    const std::lock_guard lock(m_timeoutsMutex);
    m_timeouts = timeouts;
    return true;
}

SerialTimeouts PosixSerialPort::timeouts() const
{
    const std::lock_guard lock(m_timeoutsMutex);
    return m_timeouts;
}

void PosixSerialPort::purge(bool transmit, bool receive)
{
    if (!isOpen())
        return;
    if (transmit)
        ::tcflush(m_fd, TCOFLUSH);
    if (receive) {
        const std::lock_guard lock(m_receiveMutex);
        ::tcflush(m_fd, TCIFLUSH);
        ++m_receivePurges;
    }
}

std::uint64_t PosixSerialPort::receivePurges() const
{
    return m_receivePurges.load();
}

long PosixSerialPort::readOnce(char *data, std::size_t size)
{
    const std::lock_guard lock(m_receiveMutex);
    for (;;) {
        const ssize_t count = ::read(m_fd, data, size);
        if (count >= 0)
            return static_cast<long>(count);
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        if (errno != EINTR)
            return -1;
    }
}

long PosixSerialPort::read(char *data, std::size_t size)
{
    if (!isOpen())
        return -1;
    if (size == 0)
        return 0;
    const SerialTimeouts limits = timeouts();
    const auto start = Clock::now();
    std::optional<Clock::time_point> totalDeadline;
    if (const auto total = readTotalLimit(limits, size))
        totalDeadline = start + *total;

    std::size_t got = 0;
    while (got < size) {
        std::optional<Clock::time_point> deadline = totalDeadline;
        if (got > 0 && limits.readIntervalMs > 0) {
            // The interval counts from the last byte, as the serial drivers do.
            const auto interval = Clock::now() + std::chrono::milliseconds(limits.readIntervalMs);
            deadline = deadline ? std::min(*deadline, interval) : interval;
        }
        const int revents = pollOne(m_fd, POLLIN, deadline);
        if (revents == 0)
            break;
        if (revents < 0 || (revents & POLLNVAL))
            return got > 0 ? static_cast<long>(got) : -1;
        const long count = readOnce(data + got, size - got);
        if (count < 0 || (count == 0 && (revents & (POLLHUP | POLLERR))))
            return got > 0 ? static_cast<long>(got) : -1;
        got += static_cast<std::size_t>(count);
    }
    return static_cast<long>(got);
}

long PosixSerialPort::write(const char *data, std::size_t size)
{
    if (!isOpen())
        return -1;
    std::optional<Clock::time_point> deadline;
    if (const auto total = writeTotalLimit(timeouts(), size))
        deadline = Clock::now() + *total;

    std::size_t sent = 0;
    while (sent < size) {
        const ssize_t count = ::write(m_fd, data + sent, size - sent);
        if (count > 0) {
            sent += static_cast<std::size_t>(count);
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return sent > 0 ? static_cast<long>(sent) : -1;
        // The driver's queue is full (or flow control holds it): wait for room until the deadline.
        const int revents = pollOne(m_fd, POLLOUT, deadline);
        if (revents == 0)
            break;
        if (revents < 0 || (revents & (POLLERR | POLLHUP | POLLNVAL)))
            return sent > 0 ? static_cast<long>(sent) : -1;
    }
    return static_cast<long>(sent);
}

WaitResult PosixSerialPort::waitForInput()
{
    if (!isOpen())
        return { WaitResult::Failed };
    pollfd entries[2] = { { m_fd, POLLIN, 0 }, { m_wakeRead, POLLIN, 0 } };
    for (;;) {
        if (m_interrupted)
            return { WaitResult::Interrupted };
        const int ready = ::poll(entries, 2, -1);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return { WaitResult::Failed };
        }
        if (entries[1].revents != 0)
            return { WaitResult::Interrupted };
        const short revents = entries[0].revents;
        if (revents & POLLIN) {
            int queued = 0;
            if (::ioctl(m_fd, FIONREAD, &queued) == 0 && queued > 0)
                return { WaitResult::Ready, static_cast<std::size_t>(queued) };
        }
        // A pseudo-terminal whose other side closed reports POLLHUP; a removed device POLLERR.
        if (revents & (POLLHUP | POLLERR | POLLNVAL))
            return { WaitResult::Failed };
        if (revents & POLLIN)
            return { WaitResult::Ready, 0 };
    }
}

long PosixSerialPort::readAvailable(char *data, std::size_t size)
{
    if (!isOpen())
        return -1;
    if (size == 0)
        return 0;
    const long count = readOnce(data, size);
    if (count != 0)
        return count;
    // A read of 0 with nothing to wait for is the hang-up of a pseudo-terminal; report it.
    pollfd entry { m_fd, POLLIN, 0 };
    if (::poll(&entry, 1, 0) > 0 && (entry.revents & (POLLHUP | POLLERR | POLLNVAL)))
        return -1;
    return 0;
}

void PosixSerialPort::interrupt()
{
    m_interrupted = true;
    if (m_wakeWrite >= 0) {
        const char byte = 1;
        // A full pipe already wakes every poll(); the result does not matter.
        [[maybe_unused]] const ssize_t ignored = ::write(m_wakeWrite, &byte, 1);
    }
}

void PosixSerialPort::close()
{
    if (m_fd >= 0) {
        // Clear exclusive use: on a pseudo-terminal it outlives this fd while the other side stays
        // open, and would keep every later non-root open out.
        ::ioctl(m_fd, TIOCNXCL);
        if (m_restoreLowLatency)
            clearLowLatency(m_fd);
        m_restoreLowLatency = false;
        m_fd = closeQuietly(m_fd);
    }
    m_wakeRead = closeQuietly(m_wakeRead);
    m_wakeWrite = closeQuietly(m_wakeWrite);
    m_haveLineSettings = false;
}

bool PosixSerialPort::isOpen() const
{
    return m_fd >= 0;
}

std::unique_ptr<SerialPort> makeSerialPort()
{
    return std::make_unique<PosixSerialPort>();
}

} // namespace relaybox
