#pragma once
// The report of a scan: what happened to each file, and the two forms it is printed in, text
// for a person (scan_report_text.cpp) and JSON for scripts (scan_report_json.cpp).

#include <array>
#include <cstddef>
#include <iosfwd>
#include <optional>
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

// One rename of scan --rename: the movie file's, or one of the files beside it.
struct RenameStep {
    std::string from, to;  // paths, in the same folder
    bool done = false;     // made (in a dry run: it would be made)
    std::string refused;   // why it was not made; empty when it was
};

enum class NfoAction { Written, Updated, Replaced, Kept, Failed };

// What scan --nfo did with the movie file's NAME.nfo.
struct NfoStep {
    std::string file;
    NfoAction action = NfoAction::Failed;
    std::string message;  // why it was kept or failed
};

struct FileReport {
    std::string file;
    Outcome outcome = Outcome::Failed;
    FileNameTitle searched;   // what the file name gave
    std::string title, year;  // the film taken (Latin-1), as written to the tag
    std::string address;
    std::vector<Candidate> candidates;
    std::string message;  // why a file failed or was not found
    // With --rename: the movie file's rename first, then its side files'; empty when the
    // name was right already or the film was not found.
    std::vector<RenameStep> renames;
    bool named_already = false;  // the movie file has the name it would get
    std::optional<NfoStep> nfo;  // with --nfo, for a film found
};

// What the NFO step is called in the reports: "written", "updated", "replaced", "kept",
// "failed"; in a dry run "would write", ...
const char* NfoActionName(NfoAction action, bool dry_run);

// Renames refused and NFO files that could not be written: they make the exit code 3.
std::size_t ProblemCount(const std::vector<FileReport>& reports);

// "tagged" ("would tag" in a dry run), "skipped", "ambiguous", "not found", "failed".
const char* OutcomeName(Outcome outcome, bool dry_run);

std::size_t CountOf(const std::vector<FileReport>& reports, Outcome outcome);

// One entry a file and a summary line.
// After the summary, with --rename or --nfo, a line that counts the renames and the NFO files,
// and the journal of the renames.
struct ScanExtras {
    bool rename = false;
    bool nfo = false;
    std::string journal;  // empty: no rename was made
};

void PrintTextReport(const std::vector<FileReport>& reports, bool dry_run, const ScanExtras& extras,
                     std::ostream& out);

// One JSON document: dry_run, source ("local" or "site"), files, summary, and after a scan
// on the local film data its credit line.
void PrintJsonReport(const std::vector<FileReport>& reports, bool dry_run, LookupSource source,
                     const ScanExtras& extras, std::ostream& out);

}  // namespace korvid::cli
