#pragma once
// For the tests of a film database open that does not end (dataset::OpenFilmDatabase): a gate
// that threads wait at until it opens, and HeldOpen, which holds every open of a film database
// at its gate between the first look at the file and SQLite's open, with a short open limit.

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "dataset/film_database.h"

namespace korvid::test_support {

// Threads wait at it until it opens. A wait ends after a minute all the same, so that a test
// that goes wrong fails instead of hanging; false then.
class Gate {
  public:
    void Open() {
        {
            const std::lock_guard lock(mutex_);
            open_ = true;
        }
        opened_.notify_all();
    }
    bool Wait() {
        std::unique_lock lock(mutex_);
        return opened_.wait_for(lock, std::chrono::minutes(1), [this] { return open_; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
};

// While it lives, every open of a film database waits at the gate until Release(), and the
// open limit is `limit`. Its end releases the opens still waiting and waits until none runs,
// so that no open outlives the test.
class HeldOpen {
  public:
    explicit HeldOpen(std::chrono::milliseconds limit = std::chrono::milliseconds(100)) {
        dataset::SetOpenLimit(limit);
        dataset::SetBeforeSqliteOpen([gate = gate_](const std::string&) { gate->Wait(); });
    }
    ~HeldOpen() {
        Release();
        dataset::SetBeforeSqliteOpen({});
        dataset::SetOpenLimit(std::chrono::milliseconds(0));
        WaitForOpens();
    }
    HeldOpen(const HeldOpen&) = delete;
    HeldOpen& operator=(const HeldOpen&) = delete;

    void Release() { gate_->Open(); }

    // Waits until every open has ended, those given up on too; false when one still runs
    // after a minute.
    static bool WaitForOpens() {
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (dataset::OpensRunning() > 0) {
            if (std::chrono::steady_clock::now() > give_up) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

  private:
    std::shared_ptr<Gate> gate_ = std::make_shared<Gate>();
};

}  // namespace korvid::test_support
