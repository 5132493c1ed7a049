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

const char* NfoActionName(NfoAction action, bool dry_run) {
    switch (action) {
        case NfoAction::Written:
            return dry_run ? "would write" : "written";
        case NfoAction::Updated:
            return dry_run ? "would update" : "updated";
        case NfoAction::Replaced:
            return dry_run ? "would replace" : "replaced";
        case NfoAction::Kept:
            return "kept";
        case NfoAction::Failed:
            break;
    }
    return "failed";
}

std::size_t ProblemCount(const std::vector<FileReport>& reports) {
    std::size_t problems = 0;
    for (const FileReport& r : reports) {
        problems += static_cast<std::size_t>(std::count_if(
            r.renames.begin(), r.renames.end(), [](const RenameStep& s) { return !s.done; }));
        problems += r.nfo && r.nfo->action == NfoAction::Failed ? 1 : 0;
    }
    return problems;
}

std::size_t CountOf(const std::vector<FileReport>& reports, Outcome outcome) {
    return static_cast<std::size_t>(std::count_if(
        reports.begin(), reports.end(), [&](const FileReport& r) { return r.outcome == outcome; }));
}

}  // namespace korvid::cli
