// Runs a program as its own process and measures it as a user would: wall time, CPU time
// (user and system) and peak resident memory, so that the archive tool and its peers (unar,
// gzip) are timed the same way, start-up and file writing included.
#pragma once

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tincrates::bench {

struct ProcessRun {
    bool isOk = false;    // started, and exited with 0
    double wallSeconds = 0;
    double cpuSeconds = 0;
    double peakMiB = 0;   // largest resident set; 0 when GNU time is not installed
};

// Runs `arguments` (the program first, found on PATH) with standard output going to
// `outputPath` and standard error to /dev/null. The peak memory comes from GNU time (package
// "time"), which starts the program from a process of its own: a program started straight
// from this one would be charged with this one's memory, since the kernel carries the largest
// resident set over an exec.
inline ProcessRun runProcess(const std::vector<std::string>& arguments,
                             const std::string& outputPath = "/dev/null")
{
    ProcessRun run;
    static const bool hasTime = std::filesystem::exists("/usr/bin/time");
    std::string peakFile = (std::filesystem::temp_directory_path()
                            / ("tincrates-peak-" + std::to_string(getpid())))
                               .string();
    std::vector<std::string> command;
    if (hasTime)
        command = {"/usr/bin/time", "-f", "%M", "-o", peakFile};
    command.insert(command.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (const std::string& argument : command)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    auto started = std::chrono::steady_clock::now();
    pid_t pid = 0;
    int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return run;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return run;
    run.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
    run.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    run.isOk = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (FILE* peak = hasTime ? std::fopen(peakFile.c_str(), "r") : nullptr) {
        long kilobytes = 0;
        if (std::fscanf(peak, "%ld", &kilobytes) == 1)
            run.peakMiB = double(kilobytes) / 1024.0;
        std::fclose(peak);
        std::remove(peakFile.c_str());
    }
    return run;
}

// The stash program built beside the benchmark.
inline std::filesystem::path stashProgram()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / "stash";
}

// Whether `program` is on PATH.
inline bool isInstalled(const std::string& program)
{
    return runProcess({"sh", "-c", "command -v " + program}).isOk;
}

} // namespace tincrates::bench
