#pragma once
// Runs a built program as a child for the benchmarks: its output goes to /dev/null, and the
// result holds its exit code, the wall time from the spawn to its end, its peak resident
// memory (ru_maxrss from wait4) and its processor time. Header-only: every .cpp in bench/ is
// a benchmark of its own.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace korvid::bench {

struct ChildRun {
    int exit_code = -1;  // -1 when the child could not start or did not exit normally
    double seconds = 0;
    long max_rss_kb = 0;
    double cpu_seconds = 0;  // user and system time of the child, every thread of it
};

// Starts args[0] (a path, or a name looked up in PATH when search_path) with standard output
// and error on /dev/null; the child's pid, or -1 when it could not start.
inline pid_t SpawnQuietly(std::vector<std::string> args, char** env = environ,
                          bool search_path = false) {
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int error =
        search_path ? posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), env)
                    : posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), env);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

// args[0] is the program's path; env is the child's environment (default: this process's).
inline ChildRun RunQuietly(std::vector<std::string> args, char** env = environ) {
    ChildRun run;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = SpawnQuietly(std::move(args), env);
    if (pid < 0) {
        return run;
    }
    int status = 0;
    rusage usage{};
    const pid_t waited = wait4(pid, &status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.max_rss_kb = usage.ru_maxrss;
    run.cpu_seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    if (waited == pid && WIFEXITED(status)) {
        run.exit_code = WEXITSTATUS(status);
    }
    return run;
}

}  // namespace korvid::bench
