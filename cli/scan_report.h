#pragma once
// The report of a scan: what happened to each file, and the two forms it is printed in, text
// for a person (scan_report_text.cpp) and JSON for scripts (scan_report_json.cpp).

#include <array>
#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/file_name_title.h"
#include "client/lookup_source.h"

namespace korvid::cli {

enum class Outcome { Tagged, Skipped, Ambiguous, NotFound, Failed };

inline constexpr std::array<Outcome, 5> AllOutcomes = {
    Outcome::Tagged, Outcome::Skipped, Outcome::Ambiguous, Outcome::NotFound, Outcome::Failed};

struct Candidate {
    std::string title;  // Latin-1, as listed
    std::string address;
};

struct FileReport {
    std::string file;
    Outcome outcome = Outcome::Failed;
    FileNameTitle searched;   // what the file name gave
    std::string title, year;  // the film taken (Latin-1), as written to the tag
    std::string address;
    std::vector<Candidate> candidates;
    std::string message;  // why a file failed or was not found
};

// "tagged" ("would tag" in a dry run), "skipped", "ambiguous", "not found", "failed".
const char* OutcomeName(Outcome outcome, bool dry_run);

std::size_t CountOf(const std::vector<FileReport>& reports, Outcome outcome);

// One entry a file and a summary line.
void PrintTextReport(const std::vector<FileReport>& reports, bool dry_run, std::ostream& out);

// One JSON document: dry_run, source ("local" or "site"), files, summary, and after a scan
// on the local film data its credit line.
void PrintJsonReport(const std::vector<FileReport>& reports, bool dry_run, LookupSource source,
                     std::ostream& out);

}  // namespace korvid::cli
