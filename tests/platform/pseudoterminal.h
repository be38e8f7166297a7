#pragma once

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// A pseudo-terminal for the serial port tests: the test holds the master side and plays the
// switch; the port under test opens the slave path as it would open a serial device.
class PseudoTerminal
{
public:
    PseudoTerminal()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128] = {};
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0
            || ::ptsname_r(m_master, name, sizeof(name)) != 0) {
            closeMaster();
            return;
        }
        m_slavePath = name;
        // Root owns the slave: let other users open it, so that only exclusive use keeps them out.
        ::chmod(name, 0666);
    }
    ~PseudoTerminal() { closeMaster(); }
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool isValid() const { return m_master >= 0; }
    const std::string &slavePath() const { return m_slavePath; }
    int master() const { return m_master; }

    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

    bool send(const std::string &bytes)
    {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t count = ::write(m_master, bytes.data() + sent, bytes.size() - sent);
            if (count <= 0)
                return false;
            sent += static_cast<std::size_t>(count);
        }
        return true;
    }

    // What the port wrote: up to size bytes, returning early once nothing came for quietMs.
    std::string receive(std::size_t size, int quietMs = 300)
    {
        std::string bytes;
        while (bytes.size() < size) {
            pollfd entry { m_master, POLLIN, 0 };
            if (::poll(&entry, 1, quietMs) <= 0 || !(entry.revents & POLLIN))
                break;
            char buffer[4096];
            const ssize_t count =
                ::read(m_master, buffer, std::min(sizeof(buffer), size - bytes.size()));
            if (count <= 0)
                break;
            bytes.append(buffer, static_cast<std::size_t>(count));
        }
        return bytes;
    }

private:
    int m_master = -1;
    std::string m_slavePath;
};

inline long long millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now()
                                                                 - start)
        .count();
}
