#pragma once
// What a front end shows of a running film data update: the step in words, the bytes, the
// rate and the time left, and the bar's fraction. The meter takes each progress report with
// the time it came.
//
// The download is measured as a whole: the bytes of all the files together, each counted at
// its length once its answer has told it and at its expected size (dataset::DatasetFiles)
// until then; the rate over the bytes this update received since its download began (a part
// kept from before, or a copy found unchanged, counts as done but not as speed); the time left
// only once every length is known. The build is measured per file, with its rows.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "client/dataset_download.h"
#include "client/number_text.h"

namespace korvid {

class UpdateMeter {
  public:
    using Clock = std::chrono::steady_clock;

    void Take(const UpdateProgress& progress, Clock::time_point now);

    const UpdateProgress& Last() const { return last_; }
    // Bytes a second, once half a second of the download (or of the file built) has passed.
    std::optional<double> Rate() const;
    // Seconds until the download (or the file built) is done at that rate.
    std::optional<double> SecondsLeft() const;
    // How far the download (or the file built) is, 0 to 1; none for the indexes or a build
    // without a size.
    std::optional<double> Fraction() const;

    // "File 2 of 6: title.ratings.tsv.gz, downloading", "File 2 of 6: title.ratings.tsv.gz,
    // building", "Building the indexes".
    std::string StepText() const;
    // "123.4 MB of about 1,723.0 MB in all, 2.1 MB/s" while a length is an estimate, then
    // "... of 1,725.3 MB in all, 2.1 MB/s, 4:15 left"; the build's "2.0 MB of 4.0 MB,
    // 1,234,567 rows, 2.0 MB/s, 0:01 left".
    std::string DetailText() const;
    // Both on one line, joined by a comma (korvid-cli's progress line).
    std::string LineText() const;

  private:
    void TakeDownload(const UpdateProgress& progress);
    std::uint64_t DownloadDone() const;
    std::uint64_t DownloadTotal() const;
    bool AllLengthsKnown() const;

    UpdateProgress last_;
    bool any_ = false;
    Clock::time_point now_;
    // The download: each file's length (known, or expected), what this update received.
    std::vector<std::uint64_t> lengths_;
    std::vector<bool> known_;
    std::uint64_t received_ = 0;
    Clock::time_point download_started_;
    // The build: where the file read now began.
    Clock::time_point step_started_;
    std::uint64_t step_first_bytes_ = 0;
};

}  // namespace korvid
