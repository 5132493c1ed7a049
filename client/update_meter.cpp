#include "client/update_meter.h"

#include <cstdio>

namespace korvid {

std::string MegabytesText(std::uint64_t bytes) {
    const double value = static_cast<double>(bytes);
    char text[32];
    std::snprintf(text, sizeof text, value < 1e6 ? "%.1f kB" : "%.1f MB",
                  value < 1e6 ? value / 1e3 : value / 1e6);
    return text;
}

std::string DurationText(double seconds) {
    const auto whole = static_cast<long long>(seconds + 0.5);
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    }
    return text;
}

void UpdateMeter::Take(const UpdateProgress& progress, Clock::time_point now) {
    if (!any_ || progress.step != last_.step || progress.file != last_.file ||
        progress.bytes < last_.bytes) {
        started_ = now;
        first_bytes_ = progress.bytes;
    }
    any_ = true;
    last_ = progress;
    now_ = now;
}

std::optional<double> UpdateMeter::Rate() const {
    const double seconds = std::chrono::duration<double>(now_ - started_).count();
    if (!any_ || seconds < 0.5 || last_.bytes <= first_bytes_) {
        return std::nullopt;
    }
    return static_cast<double>(last_.bytes - first_bytes_) / seconds;
}

std::optional<double> UpdateMeter::SecondsLeft() const {
    const std::optional<double> rate = Rate();
    if (!rate || last_.total <= last_.bytes) {
        return std::nullopt;
    }
    return static_cast<double>(last_.total - last_.bytes) / *rate;
}

std::string UpdateMeter::StepText() const {
    if (!any_) {
        return "Starting";
    }
    if (last_.step == UpdateProgress::Step::Index) {
        return "Building the indexes";
    }
    return "File " + std::to_string(last_.file_number) + " of " +
           std::to_string(last_.file_count) + ": " + last_.file +
           (last_.step == UpdateProgress::Step::Download ? ", downloading" : ", building");
}

std::string UpdateMeter::DetailText() const {
    if (!any_ || last_.step == UpdateProgress::Step::Index) {
        return "";
    }
    std::string text = MegabytesText(last_.bytes);
    if (last_.total > 0) {
        text += " of " + MegabytesText(last_.total);
    }
    if (last_.step == UpdateProgress::Step::Build) {
        text += ", " + std::to_string(last_.rows) + " rows";
    }
    if (const std::optional<double> rate = Rate()) {
        text += ", " + MegabytesText(static_cast<std::uint64_t>(*rate)) + "/s";
        if (const std::optional<double> left = SecondsLeft()) {
            text += ", " + DurationText(*left) + " left";
        }
    }
    return text;
}

}  // namespace korvid
