// Programs that the tests start and watch as a user's shell would: in a process group of their
// own (so that a signal can go to the whole group, as Ctrl-C and `timeout` send it), their
// output in files, and conditions polled against a deadline rather than timed.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace tincrates::testing {

inline std::string fileContents(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Polls `condition` until it holds or `limit` has passed; returns whether it held.
inline bool waitUntil(const std::function<bool()>& condition,
    std::chrono::seconds limit = std::chrono::seconds(60))
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

struct ChildSetup {
    int input = -1;                   // standard input; /dev/null when -1
    std::string output = "/dev/null"; // files for standard output and error
    std::string errors = "/dev/null";
    // Changes to the environment: "NAME=VALUE" sets NAME, a bare "NAME" removes it.
    std::vector<std::string> environment;
};

// Starts `command` (found on PATH) as the leader of a process group of its own. Returns its
// pid, or -1 when it cannot be started.
inline pid_t startChild(const std::vector<std::string>& command, const ChildSetup& setup = {})
{
    std::vector<std::string> arguments = command;
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<std::string> variables;
    for (char** variable = environ; *variable; ++variable) {
        std::string entry = *variable;
        std::string name = entry.substr(0, entry.find('='));
        bool isChanged = false;
        for (const std::string& change : setup.environment)
            isChanged = isChanged || change.substr(0, change.find('=')) == name;
        if (!isChanged)
            variables.push_back(entry);
    }
    for (const std::string& change : setup.environment)
        if (change.find('=') != std::string::npos)
            variables.push_back(change);
    std::vector<char*> envp;
    for (auto& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (setup.input >= 0)
        posix_spawn_file_actions_adddup2(&actions, setup.input, 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, setup.output.c_str(),
        O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, setup.errors.c_str(),
        O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    int error = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return error == 0 ? pid : -1;
}

// Waits at most `limit` for the child `pid` to end and returns its wait status. A child still
// running then is killed with its whole group, and -1 is returned.
inline int waitForChild(pid_t pid, std::chrono::seconds limit = std::chrono::seconds(60))
{
    int status = 0;
    if (waitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, limit))
        return status;
    kill(-pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

} // namespace tincrates::testing
