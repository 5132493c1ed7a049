#include "cli/stop_on_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace korvid::cli {
namespace {

// The pipe's writing end for the handler; one watcher at a time.
std::atomic<int> signal_pipe{-1};

extern "C" void WriteSignal(int signal_number) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signal_number);
    const int fd = signal_pipe.load();
    if (fd >= 0) {
        (void)!::write(fd, &byte, 1);
    }
    errno = saved;
}

}  // namespace

StopOnSignals::StopOnSignals(std::stop_source stop) : stop_(std::move(stop)) {
    if (::pipe2(pipe_, O_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe");
    }
    signal_pipe = pipe_[1];
    struct sigaction action {};
    action.sa_handler = &WriteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &old_interrupt_);
    ::sigaction(SIGTERM, &action, &old_terminate_);
    watcher_ = std::thread([this] { Watch(); });
}

StopOnSignals::~StopOnSignals() {
    Restore();
    const unsigned char done = 0;
    (void)!::write(pipe_[1], &done, 1);
    watcher_.join();
    signal_pipe = -1;
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

void StopOnSignals::Restore() {
    if (!restored_.exchange(true)) {
        ::sigaction(SIGINT, &old_interrupt_, nullptr);
        ::sigaction(SIGTERM, &old_terminate_, nullptr);
    }
}

void StopOnSignals::Watch() {
    for (;;) {
        unsigned char byte = 0;
        const ssize_t got = ::read(pipe_[0], &byte, 1);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0 || byte == 0) {
            return;
        }
        if (signal_ == 0) {
            signal_ = byte;
            // A second signal ends the program as it would without the update.
            Restore();
            stop_.request_stop();
        }
    }
}

}  // namespace korvid::cli
