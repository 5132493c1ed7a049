// The scan's report for a person: one entry a file, the candidates of an ambiguous file
// indented below it, and a summary line. File names are escaped as "ls -b" shows them, so a
// name can neither forge a line of the report nor act on the terminal.

#include <ostream>

#include "cli/scan_report.h"
#include "cli/terminal_text.h"

namespace korvid::cli {
namespace {

// The title and year read from the file name, in the name's own bytes, escaped as the name.
std::string Searched(const FileNameTitle& searched) {
    return "\"" + EscapedFileName(searched.title) + "\" (" +
           (searched.year.empty() ? "no year" : searched.year) + ")";
}

}  // namespace

void PrintTextReport(const std::vector<FileReport>& reports, bool dry_run, std::ostream& out) {
    for (const FileReport& r : reports) {
        out << EscapedFileName(r.file) << ": " << OutcomeName(r.outcome, dry_run);
        switch (r.outcome) {
            case Outcome::Tagged:
                out << " as \"" << ForTerminal(r.title) << "\" (" << ForTerminal(r.year) << "), "
                    << ForTerminal(r.address) << '\n';
                break;
            case Outcome::Skipped:
                out << ", "
                    << (r.message.empty() ? "it has a tag (--replace replaces it)" : r.message)
                    << '\n';
                break;
            case Outcome::Ambiguous:
                out << ", " << Searched(r.searched) << " could be:\n";
                for (const Candidate& c : r.candidates) {
                    out << "  " << ForTerminal(c.title) << '\t' << ForTerminal(c.address) << '\n';
                }
                break;
            case Outcome::NotFound:
            case Outcome::Failed:
                out << ": " << EscapedFileName(r.message) << '\n';
                break;
        }
    }
    out << reports.size() << (reports.size() == 1 ? " file: " : " files: ");
    for (const Outcome outcome : AllOutcomes) {
        out << (outcome == Outcome::Tagged ? "" : ", ") << CountOf(reports, outcome) << ' '
            << OutcomeName(outcome, dry_run);
    }
    out << '\n';
}

}  // namespace korvid::cli
