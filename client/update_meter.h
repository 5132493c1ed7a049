#pragma once
// What a front end shows of a running film data update: the step in words, the bytes of the
// total, the rate and the time left. The meter takes each progress report with the time it
// came, so the rate is measured per step (a resumed download counts from where it resumed).

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "client/dataset_download.h"

namespace korvid {

// "12.3 MB", or "61.0 kB" below a megabyte (decimal units, one decimal).
std::string MegabytesText(std::uint64_t bytes);
// "1:05:09" or "4:07".
std::string DurationText(double seconds);

class UpdateMeter {
  public:
    using Clock = std::chrono::steady_clock;

    void Take(const UpdateProgress& progress, Clock::time_point now);

    const UpdateProgress& Last() const { return last_; }
    // Bytes a second in the current step, once half a second of it has passed.
    std::optional<double> Rate() const;
    // Seconds until the current step's total is reached at that rate.
    std::optional<double> SecondsLeft() const;

    // "File 2 of 5: title.ratings.tsv.gz, downloading", "File 2 of 5: title.ratings.tsv.gz,
    // building", "Building the indexes".
    std::string StepText() const;
    // "12.3 MB of 45.6 MB, 2.1 MB/s, 0:15 left", with the rows read while building.
    std::string DetailText() const;

  private:
    UpdateProgress last_;
    bool any_ = false;
    Clock::time_point started_;
    Clock::time_point now_;
    std::uint64_t first_bytes_ = 0;
};

}  // namespace korvid
