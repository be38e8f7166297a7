#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

// The simulator's terminal opened with plain POSIX calls, as a host's serial layer opens it.
class TerminalClient
{
public:
    explicit TerminalClient(const QString &path)
        : m_fd(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    { }
    ~TerminalClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    TerminalClient(const TerminalClient &) = delete;
    TerminalClient &operator=(const TerminalClient &) = delete;

    bool isOpen() const { return m_fd >= 0; }

    bool write(const QByteArray &bytes)
    {
        return ::write(m_fd, bytes.constData(), std::size_t(bytes.size())) == bytes.size();
    }

    // Up to `count` bytes, waiting at most timeoutMs for them all.
    QByteArray read(int count, int timeoutMs = 3000)
    {
        QByteArray bytes;
        QElapsedTimer timer;
        timer.start();
        while (bytes.size() < count) {
            const int left = timeoutMs - int(timer.elapsed());
            if (left <= 0 || waitReadable(left) == 0)
                break;
            char buffer[512];
            const ssize_t got =
                ::read(m_fd, buffer,
                       std::min<std::size_t>(sizeof buffer, std::size_t(count - bytes.size())));
            if (got <= 0)
                break;
            bytes.append(buffer, int(got));
        }
        return bytes;
    }

    // Whatever arrives until the line has been quiet for quietMs.
    QByteArray readUntilQuiet(int quietMs = 300)
    {
        QByteArray bytes;
        while (waitReadable(quietMs) & POLLIN) {
            char buffer[512];
            const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
            if (got <= 0)
                break;
            bytes.append(buffer, int(got));
        }
        return bytes;
    }

    // poll()'s revents for reading, 0 on time-out.
    short waitReadable(int timeoutMs)
    {
        pollfd fd { m_fd, POLLIN, 0 };
        return ::poll(&fd, 1, timeoutMs) > 0 ? fd.revents : short(0);
    }

    // The result of one read() after a hang-up: 0 (end of file) or -1 with errno EIO.
    ssize_t readOnce(int &error)
    {
        char byte;
        const ssize_t got = ::read(m_fd, &byte, 1);
        error = got < 0 ? errno : 0;
        return got;
    }

private:
    int m_fd;
};
