#include "sim/ptyendpoint.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace relaybox::sim {

namespace {

std::string failure(const char *what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

bool PtyEndpoint::open(std::string &error)
{
    close();
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        error = failure("posix_openpt");
        return false;
    }
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);

    char name[128] {};
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0
        || ptsname_r(m_master, name, sizeof name) != 0) {
        error = failure("preparing the pseudo-terminal");
        close();
        return false;
    }
    m_terminalPath = name;

    m_terminal = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_terminal < 0) {
        error = failure(name);
        close();
        return false;
    }
    termios settings {};
    if (tcgetattr(m_terminal, &settings) != 0) {
        error = failure("tcgetattr");
        close();
        return false;
    }
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    cfsetispeed(&settings, B9600);
    cfsetospeed(&settings, B9600);
    if (tcsetattr(m_terminal, TCSANOW, &settings) != 0) {
        error = failure("tcsetattr");
        close();
        return false;
    }
    return true;
}

void PtyEndpoint::close()
{
    if (m_master >= 0)
        ::close(m_master);
    if (m_terminal >= 0)
        ::close(m_terminal);
    m_master = -1;
    m_terminal = -1;
    m_terminalPath.clear();
}

} // namespace relaybox::sim
