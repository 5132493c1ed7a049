#pragma once
// While an update runs, SIGINT and SIGTERM ask it to stop instead of ending the program at
// once, so that it ends through its own stop path: the partial database removed, the parts
// downloaded kept for the next update. The handler only writes the signal's number into a
// pipe; a thread of its own reads it and asks the stop. A second signal ends the program as
// before.

#include <atomic>
#include <csignal>
#include <stop_token>
#include <thread>

namespace korvid::cli {

class StopOnSignals {
  public:
    explicit StopOnSignals(std::stop_source stop);
    // Restores the signals' earlier handling.
    ~StopOnSignals();
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

    // The signal that asked the stop; 0 when none came.
    int Signal() const { return signal_; }

  private:
    void Watch();
    void Restore();

    std::stop_source stop_;
    int pipe_[2] = {-1, -1};
    struct sigaction old_interrupt_ {};
    struct sigaction old_terminate_ {};
    std::atomic<bool> restored_{false};
    std::atomic<int> signal_{0};
    std::thread watcher_;
};

}  // namespace korvid::cli
