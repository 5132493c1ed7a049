#pragma once
// For the tests of a film database open that does not end (dataset::OpenFilmDatabase): a gate
// that threads wait at until it opens, and HeldOpen, which holds every open of a film database
// at its gate between the first look at the file and SQLite's open, with a short open limit.

#include <chrono>
#include <future>
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
        std::call_once(once_, [this] { promise_.set_value(); });
    }
    bool Wait() { return opened_.wait_for(std::chrono::minutes(1)) == std::future_status::ready; }

  private:
    std::promise<void> promise_;
    std::shared_future<void> opened_ = promise_.get_future().share();
    std::once_flag once_;
};

// While it lives, every open of a film database waits at the gate until Release(), and the
// open limit is `limit`. Its end releases the opens still waiting and waits until none runs,
// so that no open outlives the test.
class HeldOpen {
  public:
    explicit HeldOpen(std::chrono::milliseconds limit) {
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
        while (dataset::OpensRunning() > 0 && std::chrono::steady_clock::now() < give_up) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return dataset::OpensRunning() == 0;
    }

  private:
    std::shared_ptr<Gate> gate_ = std::make_shared<Gate>();
};

}  // namespace korvid::test_support
