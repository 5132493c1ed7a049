#include "cli/scan_report.h"

#include <algorithm>

namespace korvid::cli {

const char* OutcomeName(Outcome outcome, bool dry_run) {
    switch (outcome) {
        case Outcome::Tagged:
            return dry_run ? "would tag" : "tagged";
        case Outcome::Skipped:
            return "skipped";
        case Outcome::Ambiguous:
            return "ambiguous";
        case Outcome::NotFound:
            return "not found";
        case Outcome::Failed:
            break;
    }
    return "failed";
}

std::size_t CountOf(const std::vector<FileReport>& reports, Outcome outcome) {
    return static_cast<std::size_t>(std::count_if(
        reports.begin(), reports.end(), [&](const FileReport& r) { return r.outcome == outcome; }));
}

}  // namespace korvid::cli
