// relaybox-sim: a simulated switch on a pseudo-terminal, controlled from its standard input.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "sim/commandline.h"
#include "sim/simulatedswitch.h"

namespace {

constexpr std::size_t kMaxCommandLine = 8192;

int g_signalPipe[2] = { -1, -1 };

void onSignal(int)
{
    const char byte = 0;
    [[maybe_unused]] const auto written = write(g_signalPipe[1], &byte, 1);
}

void printLine(const std::string &line)
{
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    using namespace relaybox::sim;

    std::string error;
    const auto commandLine =
        parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!commandLine) {
        std::fprintf(stderr, "relaybox-sim: %s\n", error.c_str());
        return 2;
    }
    if (commandLine->help) {
        std::fputs(helpText().c_str(), stdout);
        return 0;
    }

    if (pipe(g_signalPipe) != 0)
        return 1;
    struct sigaction action
    {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    auto device = SimulatedSwitch::start(commandLine->options, error, printLine);
    if (!device) {
        std::fprintf(stderr, "relaybox-sim: %s\n", error.c_str());
        return 1;
    }

    std::string pending;
    bool overlong = false;
    while (!device->quitRequested()) {
        pollfd fds[2] = { { STDIN_FILENO, POLLIN, 0 }, { g_signalPipe[0], POLLIN, 0 } };
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents & POLLIN)
            break;
        if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        char buffer[4096];
        const ssize_t count = read(STDIN_FILENO, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break; // end of input
        for (ssize_t i = 0; i < count && !device->quitRequested(); ++i) {
            if (buffer[i] != '\n') {
                if (pending.size() < kMaxCommandLine)
                    pending += buffer[i];
                else
                    overlong = true;
                continue;
            }
            if (overlong)
                device->log().append("ERROR command line longer than "
                                     + std::to_string(kMaxCommandLine) + " characters");
            else if (!pending.empty() && pending != "\r")
                device->command(pending);
            pending.clear();
            overlong = false;
        }
    }
    device.reset(); // closes the terminal and removes the link
    return 0;
}
