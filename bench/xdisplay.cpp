#include "xdisplay.h"

#include <chrono>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace relaybox::bench {
namespace {

pid_t spawn(std::vector<std::string> args, const std::vector<std::string> &addedEnvironment,
            posix_spawn_file_actions_t *actions)
{
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::vector<std::string> variables(addedEnvironment);
    for (char **entry = environ; *entry; ++entry)
        variables.emplace_back(*entry);
    std::vector<char *> envp;
    for (std::string &variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], actions, nullptr, argv.data(), envp.data()) != 0)
        return -1;
    return pid;
}

void stop(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// openbox sets _NET_SUPPORTING_WM_CHECK on the root window once it manages the display.
bool windowManagerReady(const std::string &display)
{
    const std::string command = "DISPLAY=" + display
        + " xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'";
    return std::system(command.c_str()) == 0;
}

} // namespace

XDisplay::XDisplay()
{
    int numberPipe[2];
    if (pipe2(numberPipe, O_CLOEXEC) != 0) {
        m_failure = "no pipe";
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, numberPipe[1], 3);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // Xvfb picks a free display and writes its number to descriptor 3 once it accepts clients.
    m_server = spawn({ "Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten",
                       "tcp", "-noreset" },
                     {}, &actions);
    posix_spawn_file_actions_destroy(&actions);
    close(numberPipe[1]);
    std::string number;
    pollfd entry { numberPipe[0], POLLIN, 0 };
    while (m_server > 0 && number.find('\n') == std::string::npos && poll(&entry, 1, 30000) > 0) {
        char buffer[32];
        const ssize_t got = read(numberPipe[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        number.append(buffer, std::size_t(got));
    }
    close(numberPipe[0]);
    if (number.find('\n') == std::string::npos) {
        m_failure = "Xvfb did not start";
        return;
    }
    const std::string display = ":" + number.substr(0, number.find('\n'));

    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    m_windowManager = spawn({ "openbox", "--sm-disable" }, { "DISPLAY=" + display }, &actions);
    posix_spawn_file_actions_destroy(&actions);
    for (int i = 0; i < 300 && m_windowManager > 0; ++i) {
        if (windowManagerReady(display)) {
            m_name = display;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    m_failure = "openbox did not take the display";
}

XDisplay::~XDisplay()
{
    stop(m_windowManager);
    stop(m_server);
}

double taskCpuNs(pid_t pid, pid_t thread)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/task/" + std::to_string(thread)
                       + "/schedstat");
    double onCpu = -1;
    if (!(file >> onCpu))
        return -1;
    return onCpu;
}

double processCpuNs(pid_t pid)
{
    const std::string folder = "/proc/" + std::to_string(pid) + "/task";
    DIR *tasks = opendir(folder.c_str());
    if (!tasks)
        return -1;
    double total = 0;
    while (const dirent *task = readdir(tasks)) {
        const int thread = std::atoi(task->d_name);
        if (thread > 0)
            total += std::max(0.0, taskCpuNs(pid, thread));
    }
    closedir(tasks);
    return total;
}

} // namespace relaybox::bench
