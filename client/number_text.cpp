#include "client/number_text.h"

#include <cstdio>

namespace korvid {

std::string GroupedNumber(std::uint64_t number) {
    const std::string digits = std::to_string(number);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            text += ',';
        }
        text += digits[i];
    }
    return text;
}

std::string MegabytesText(std::uint64_t bytes) {
    // Tenths of the unit, rounded, so that the whole part can be grouped.
    const std::uint64_t unit = bytes < 1'000'000 ? 1'000 : 1'000'000;
    const std::uint64_t tenths = bytes / unit * 10 + (bytes % unit * 10 + unit / 2) / unit;
    return GroupedNumber(tenths / 10) + "." + std::to_string(tenths % 10) +
           (unit == 1'000 ? " kB" : " MB");
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

std::string DiskSizeText(std::uint64_t bytes) {
    const double value = static_cast<double>(bytes);
    char text[32];
    if (value >= 1e9) {
        std::snprintf(text, sizeof text, "%.1f GB", value / 1e9);
    } else if (value >= 1e6) {
        std::snprintf(text, sizeof text, "%.0f MB", value / 1e6);
    } else {
        std::snprintf(text, sizeof text, "%.0f kB", value / 1e3);
    }
    return text;
}

}  // namespace korvid
