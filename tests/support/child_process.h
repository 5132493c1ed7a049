#pragma once
// Runs the built programs (korvid-cli, the sample site's server) as child processes for the
// tests. KORVID_HOST in the child always names loopback: the host given, or a loopback port
// where nothing listens, so no run can reach past the machine by accident.

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace korvid::test_support {

struct ChildResult {
    int exit_code = -1;  // -1 when the child did not exit normally
    std::string out;
    std::string err;
};

struct ChildOptions {
    std::optional<std::string> korvid_host;
    // Run as the unprivileged user and group 65534 when the tests run as root, so that file
    // permissions apply.
    bool as_nobody = false;
};

// Runs the program with the arguments in work_dir, standard input from /dev/null, and
// collects what it printed.
ChildResult RunChild(const std::string& program, const std::vector<std::string>& args,
                     const std::string& work_dir, const ChildOptions& options = {});

// Starts the program (args[0]) with its standard error written to err_path and leaves it
// running, for a test that signals it; its process id, or -1 when it could not start.
pid_t StartChild(std::vector<std::string> args, const std::string& err_path);

// Runs check and gives its result. When the tests run as root, who may open any file, check
// runs in a forked child under the unprivileged user and group 65534 ("nobody") instead, so
// that file permissions apply; 98 means check threw, 99 that the user could not be changed.
int RunUnprivileged(const std::function<int()>& check);

// The sample site's server, started on a free loopback port and stopped at the end.
class SampleSiteProcess {
  public:
    explicit SampleSiteProcess(const std::string& server_program);
    ~SampleSiteProcess();
    SampleSiteProcess(const SampleSiteProcess&) = delete;
    SampleSiteProcess& operator=(const SampleSiteProcess&) = delete;

    // "127.0.0.1:PORT"
    const std::string& HostPort() const { return host_; }

  private:
    void Stop();
    pid_t pid_ = 0;
    std::string host_;
};

}  // namespace korvid::test_support
