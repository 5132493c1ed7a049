#pragma once
// For a test that must not block on a FIFO: when the test has not ended within a few seconds,
// a writer opens the FIFO and closes it again, so a reader stuck in open() or read() goes on
// (at the end of the data), and Released() tells the test that it was stuck.

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace korvid::test_support {

class FifoGuard {
  public:
    explicit FifoGuard(std::string fifo)
        : fifo_(std::move(fifo)), watcher_([this] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (ended_.wait_for(lock, std::chrono::seconds(5), [this] { return done_; })) {
                  return;
              }
              released_ = true;
              const int fd = ::open(fifo_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
              if (fd >= 0) {
                  ::close(fd);
              }
          }) {}
    ~FifoGuard() { Stop(); }
    FifoGuard(const FifoGuard&) = delete;
    FifoGuard& operator=(const FifoGuard&) = delete;

    // Ends the watch; true when the FIFO had to be opened to release a blocked reader.
    bool Released() {
        Stop();
        return released_;
    }

  private:
    void Stop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        ended_.notify_all();
        if (watcher_.joinable()) {
            watcher_.join();
        }
    }

    std::string fifo_;
    std::mutex mutex_;
    std::condition_variable ended_;
    bool done_ = false;
    bool released_ = false;
    std::thread watcher_;
};

}  // namespace korvid::test_support
