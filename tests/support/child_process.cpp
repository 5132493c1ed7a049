#include "tests/support/child_process.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "loopback/loopback_server.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace korvid::test_support {
namespace {

std::vector<std::string> ChildEnvironment(const std::optional<std::string>& korvid_host) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "KORVID_HOST=", 12) != 0) {
            env.emplace_back(*entry);
        }
    }
    env.push_back(
        "KORVID_HOST=" +
        korvid_host.value_or("127.0.0.1:" + std::to_string(loopback::LoopbackServer::UnusedPort())));
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

ChildResult RunChild(const std::string& program, const std::vector<std::string>& args,
                     const std::string& work_dir, const ChildOptions& options) {
    TempDir output;
    const std::string out_path = output.File("stdout");
    const std::string err_path = output.File("stderr");
    std::vector<std::string> all_args = args;
    all_args.insert(all_args.begin(), program);
    std::vector<std::string> env = ChildEnvironment(options.korvid_host);
    std::vector<char*> argv = Pointers(all_args);
    std::vector<char*> envp = Pointers(env);
    const int out_fd = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int err_fd = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int in_fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (out_fd < 0 || err_fd < 0 || in_fd < 0) {
        throw std::runtime_error("cannot open the output files");
    }
    const bool drop_root = options.as_nobody && ::geteuid() == 0;
    // The build folder may lie where the unprivileged user cannot reach (under /root, say):
    // that user runs a copy of the program from a folder open to everyone.
    TempDir program_copy;
    std::string to_run = program;
    if (drop_root) {
        to_run = program_copy.File(std::filesystem::path(program).filename().string());
        std::filesystem::copy_file(program, to_run);
        std::filesystem::permissions(program_copy.Path(), std::filesystem::perms::owner_all |
                                                              std::filesystem::perms::others_read |
                                                              std::filesystem::perms::others_exec);
        std::filesystem::permissions(to_run, std::filesystem::perms::owner_all |
                                                 std::filesystem::perms::others_read |
                                                 std::filesystem::perms::others_exec);
    }

    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only calls that are safe between fork and exec.
        if (::dup2(in_fd, 0) < 0 || ::dup2(out_fd, 1) < 0 || ::dup2(err_fd, 2) < 0 ||
            ::chdir(work_dir.c_str()) != 0) {
            ::_exit(126);
        }
        if (drop_root &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(126);
        }
        ::execve(to_run.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(out_fd);
    ::close(err_fd);
    ::close(in_fd);
    if (pid < 0) {
        throw std::runtime_error("cannot start " + program);
    }
    ChildResult result;
    int status = 0;
    if (::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
        result.exit_code = WEXITSTATUS(status);
    }
    result.out = ReadFileBytes(out_path);
    result.err = ReadFileBytes(err_path);
    return result;
}

int RunUnprivileged(const std::function<int()>& check) {
    if (::geteuid() != 0) {
        return check();
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        return 99;
    }
    if (pid == 0) {
        int result = 99;
        if (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0) {
            try {
                result = check();
            } catch (...) {
                result = 98;
            }
        }
        ::_exit(result);
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return 99;
    }
    return WEXITSTATUS(status);
}

SampleSiteProcess::SampleSiteProcess(const std::string& server_program) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    std::vector<std::string> args = {server_program, "--port", "0"};
    std::vector<char*> argv = Pointers(args);
    pid_ = ::fork();
    if (pid_ == 0) {
        if (::dup2(fds[1], 1) < 0) {
            ::_exit(126);
        }
        ::execv(server_program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    if (pid_ < 0) {
        ::close(fds[0]);
        pid_ = 0;
        throw std::runtime_error("cannot start " + server_program);
    }
    // The first line names the address: "... http://127.0.0.1:PORT/".
    std::string printed;
    char c = 0;
    while (::read(fds[0], &c, 1) == 1 && c != '\n') {
        printed += c;
    }
    ::close(fds[0]);
    const std::string marker = "http://";
    const std::size_t at = printed.find(marker);
    if (at == std::string::npos) {
        Stop();
        throw std::runtime_error("the sample site printed no address: " + printed);
    }
    host_ = printed.substr(at + marker.size());
    host_ = host_.substr(0, host_.find('/'));
}

SampleSiteProcess::~SampleSiteProcess() {
    Stop();
}

void SampleSiteProcess::Stop() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }
}

pid_t StartChild(std::vector<std::string> args, const std::string& err_path) {
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT, 0600);
    pid_t pid = 0;
    const int failed = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? pid : -1;
}

}  // namespace korvid::test_support
