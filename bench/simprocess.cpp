#include "simprocess.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "bench/childprobe.h"

extern char **environ;

namespace relaybox::bench {
namespace {

std::string readFile(const std::string &path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace

SimProcess::SimProcess(const std::vector<std::string> &options, std::string outputFile)
    : m_output(std::move(outputFile))
{
    const std::string program = programDir() + "/relaybox-sim";
    std::vector<std::string> args { program };
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    int input[2];
    if (pipe2(input, O_CLOEXEC) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, m_output.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(input[0]);
    m_input = input[1];
}

SimProcess::~SimProcess()
{
    if (m_input >= 0)
        close(m_input); // end of input: the simulator removes its link and ends
    if (m_pid <= 0)
        return;
    for (int i = 0; i < 500; ++i) {
        if (waitpid(m_pid, nullptr, WNOHANG) == m_pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(m_pid, SIGTERM);
    waitpid(m_pid, nullptr, 0);
}

std::string SimProcess::linkPath() const
{
    for (int i = 0; i < 500 && m_pid > 0; ++i) {
        const std::string text = readFile(m_output);
        const auto end = text.find('\n');
        if (text.rfind("LINK ", 0) == 0 && end != std::string::npos)
            return text.substr(5, end - 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
}

std::string SimProcess::waitForLineStarting(const std::string &prefix) const
{
    for (int i = 0; i < 200; ++i) {
        std::istringstream lines(readFile(m_output));
        for (std::string line; std::getline(lines, line);) {
            // Event lines carry their time stamp first.
            const auto space = line.find(' ');
            if (line.rfind(prefix, 0) == 0)
                return line;
            if (space != std::string::npos && line.compare(space + 1, prefix.size(), prefix) == 0)
                return line.substr(space + 1);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {};
}

int SimProcess::countLinesEndingWith(const std::string &suffix) const
{
    std::istringstream lines(readFile(m_output));
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        if (line.size() >= suffix.size()
            && line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0)
            ++count;
    }
    return count;
}

} // namespace relaybox::bench
