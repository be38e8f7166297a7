#include "switchterminal.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace relaybox::bench {

SwitchTerminal::SwitchTerminal()
{
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128] = {};
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0
        || ptsname_r(m_master, name, sizeof name) != 0) {
        if (m_master >= 0)
            close(m_master);
        m_master = -1;
        return;
    }
    m_path = name;
}

SwitchTerminal::~SwitchTerminal()
{
    if (m_master >= 0)
        close(m_master);
}

bool SwitchTerminal::send(const std::string &bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t count = write(m_master, bytes.data() + sent, bytes.size() - sent);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        sent += std::size_t(count);
    }
    return true;
}

void SwitchTerminal::drain()
{
    const int flags = fcntl(m_master, F_GETFL);
    fcntl(m_master, F_SETFL, flags | O_NONBLOCK);
    char buffer[1024];
    while (read(m_master, buffer, sizeof buffer) > 0) { }
    fcntl(m_master, F_SETFL, flags);
}

} // namespace relaybox::bench
