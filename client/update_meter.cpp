#include "client/update_meter.h"

#include <algorithm>
#include <iterator>
#include <numeric>

#include "dataset/source_files.h"

namespace korvid {
namespace {

using Step = UpdateProgress::Step;

double SecondsBetween(UpdateMeter::Clock::time_point from, UpdateMeter::Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

}  // namespace

void UpdateMeter::Take(const UpdateProgress& progress, Clock::time_point now) {
    if (progress.step == Step::Download) {
        if (lengths_.empty()) {
            download_started_ = now;
        }
        TakeDownload(progress);
    } else if (!any_ || progress.step != last_.step || progress.file != last_.file ||
               progress.bytes < last_.bytes) {
        step_started_ = now;
        step_first_bytes_ = progress.bytes;
    }
    any_ = true;
    last_ = progress;
    now_ = now;
}

void UpdateMeter::TakeDownload(const UpdateProgress& progress) {
    if (lengths_.empty()) {
        const std::size_t count = static_cast<std::size_t>(std::max(progress.file_count, 1));
        for (std::size_t i = 0; i < count; ++i) {
            lengths_.push_back(i < std::size(dataset::DatasetFiles)
                                   ? dataset::DatasetFiles[i].expected_bytes
                                   : 0);
        }
        known_.assign(count, false);
    }
    // The bytes new since the transfer's last report, or since what it started from.
    const bool same_transfer = any_ && last_.step == Step::Download &&
                               last_.file_number == progress.file_number &&
                               last_.held == progress.held && progress.bytes >= last_.bytes;
    received_ += progress.bytes -
                 (same_transfer ? last_.bytes : std::min(progress.held, progress.bytes));
    if (progress.file_number < 1 || progress.file_number > static_cast<int>(lengths_.size())) {
        return;
    }
    const auto index = static_cast<std::size_t>(progress.file_number - 1);
    // The files before are done, at the lengths they were last seen with.
    std::fill(known_.begin(), known_.begin() + static_cast<std::ptrdiff_t>(index), true);
    if (progress.total > 0) {
        lengths_[index] = progress.total;
        known_[index] = true;
    } else if (!known_[index]) {
        lengths_[index] = std::max(lengths_[index], progress.bytes);
    }
}

std::uint64_t UpdateMeter::DownloadDone() const {
    const auto index = static_cast<std::size_t>(std::clamp(
        last_.file_number - 1, 0, static_cast<int>(lengths_.size())));
    return std::accumulate(lengths_.begin(), lengths_.begin() + static_cast<std::ptrdiff_t>(index),
                           std::uint64_t{0}) +
           last_.bytes;
}

std::uint64_t UpdateMeter::DownloadTotal() const {
    return std::max(std::accumulate(lengths_.begin(), lengths_.end(), std::uint64_t{0}),
                    DownloadDone());
}

bool UpdateMeter::AllLengthsKnown() const {
    return std::all_of(known_.begin(), known_.end(), [](bool known) { return known; });
}

std::optional<double> UpdateMeter::Rate() const {
    if (!any_ || last_.step == Step::Index) {
        return std::nullopt;
    }
    const bool download = last_.step == Step::Download;
    const double seconds = SecondsBetween(download ? download_started_ : step_started_, now_);
    const std::uint64_t bytes =
        download ? received_ : last_.bytes - std::min(step_first_bytes_, last_.bytes);
    if (seconds < 0.5 || bytes == 0) {
        return std::nullopt;
    }
    return static_cast<double>(bytes) / seconds;
}

std::optional<double> UpdateMeter::SecondsLeft() const {
    const std::optional<double> rate = Rate();
    if (!rate) {
        return std::nullopt;
    }
    if (last_.step == Step::Download) {
        if (!AllLengthsKnown() || DownloadTotal() <= DownloadDone()) {
            return std::nullopt;
        }
        return static_cast<double>(DownloadTotal() - DownloadDone()) / *rate;
    }
    if (last_.total <= last_.bytes) {
        return std::nullopt;
    }
    return static_cast<double>(last_.total - last_.bytes) / *rate;
}

std::optional<double> UpdateMeter::Fraction() const {
    if (!any_ || last_.step == Step::Index) {
        return std::nullopt;
    }
    const bool download = last_.step == Step::Download;
    const std::uint64_t total = download ? DownloadTotal() : last_.total;
    const std::uint64_t done = download ? DownloadDone() : last_.bytes;
    if (total == 0) {
        return std::nullopt;
    }
    return static_cast<double>(std::min(done, total)) / static_cast<double>(total);
}

std::string UpdateMeter::StepText() const {
    if (!any_) {
        return "Starting";
    }
    if (last_.step == Step::Index) {
        return "Building the indexes";
    }
    return "File " + std::to_string(last_.file_number) + " of " +
           std::to_string(last_.file_count) + ": " + last_.file +
           (last_.step == Step::Download ? ", downloading" : ", building");
}

std::string UpdateMeter::DetailText() const {
    if (!any_ || last_.step == Step::Index) {
        return "";
    }
    std::string text;
    if (last_.step == Step::Download) {
        text = MegabytesText(DownloadDone()) + (AllLengthsKnown() ? " of " : " of about ") +
               MegabytesText(DownloadTotal()) + " in all";
    } else {
        text = MegabytesText(last_.bytes);
        if (last_.total > 0) {
            text += " of " + MegabytesText(last_.total);
        }
        text += ", " + GroupedNumber(last_.rows) + " rows";
    }
    if (const std::optional<double> rate = Rate()) {
        text += ", " + MegabytesText(static_cast<std::uint64_t>(*rate)) + "/s";
        if (const std::optional<double> left = SecondsLeft()) {
            text += ", " + DurationText(*left) + " left";
        }
    }
    return text;
}

std::string UpdateMeter::LineText() const {
    const std::string detail = DetailText();
    return detail.empty() ? StepText() : StepText() + ", " + detail;
}

}  // namespace korvid
