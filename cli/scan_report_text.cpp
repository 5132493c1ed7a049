// The scan's report for a person: one entry a file, the candidates of an ambiguous file
// indented below it, and a summary line. File names are escaped as "ls -b" shows them, so a
// name can neither forge a line of the report nor act on the terminal.

#include <algorithm>
#include <filesystem>
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

// The last part of a path, escaped: renames and NFO files stay in the movie file's folder.
std::string ShownName(const std::string& path) {
    return EscapedFileName(std::filesystem::path(path).filename().string());
}

// The lines below a file's entry: its renames and its NFO file.
void PrintSteps(const FileReport& r, bool dry_run, std::ostream& out) {
    if (r.named_already) {
        out << "  has its name already\n";
    }
    for (std::size_t i = 0; i < r.renames.size(); ++i) {
        const RenameStep& step = r.renames[i];
        out << "  " << (!step.done ? "not renamed " : dry_run ? "would rename " : "renamed ");
        if (i > 0) {
            out << ShownName(step.from) << ' ';
        }
        out << "to " << ShownName(step.to);
        if (!step.done) {
            out << ": " << step.refused;
        }
        out << '\n';
    }
    if (r.nfo) {
        out << "  NFO " << ShownName(r.nfo->file) << ": " << NfoActionName(r.nfo->action, dry_run);
        if (!r.nfo->message.empty()) {
            out << (r.nfo->action == NfoAction::Kept ? ", " : ": ") << r.nfo->message;
        }
        out << '\n';
    }
}

void PrintExtras(const std::vector<FileReport>& reports, bool dry_run, const ScanExtras& extras,
                 std::ostream& out) {
    if (extras.rename) {
        std::size_t made = 0;
        std::size_t refused = 0;
        for (const FileReport& r : reports) {
            for (const RenameStep& step : r.renames) {
                ++(step.done ? made : refused);
            }
        }
        out << "renames: " << made << (dry_run ? " planned, " : " made, ") << refused
            << " refused\n";
    }
    if (extras.nfo) {
        out << "NFO files:";
        for (const NfoAction action : {NfoAction::Written, NfoAction::Updated, NfoAction::Replaced,
                                       NfoAction::Kept, NfoAction::Failed}) {
            const auto count =
                std::count_if(reports.begin(), reports.end(), [&](const FileReport& r) {
                    return r.nfo && r.nfo->action == action;
                });
            out << (action == NfoAction::Written ? " " : ", ") << count << ' '
                << NfoActionName(action, dry_run);
        }
        out << '\n';
    }
    if (!extras.journal.empty()) {
        out << "rename journal: " << EscapedFileName(extras.journal)
            << " (korvid-cli undo-rename puts the names back)\n";
    }
}

}  // namespace

void PrintTextReport(const std::vector<FileReport>& reports, bool dry_run, const ScanExtras& extras,
                     std::ostream& out) {
    for (const FileReport& r : reports) {
        out << EscapedFileName(r.file) << ": " << OutcomeName(r.outcome, dry_run);
        switch (r.outcome) {
            case Outcome::Tagged:
                out << " as \"" << ForTerminal(r.title) << "\" (" << ForTerminal(r.year) << "), "
                    << ForTerminal(r.address) << '\n';
                break;
            case Outcome::Skipped:
                out << ", "
                    << (r.message.empty() ? "it has a tag (--replace replaces it)" : r.message);
                if (!r.address.empty()) {
                    out << "; found \"" << ForTerminal(r.title) << "\" (" << ForTerminal(r.year)
                        << "), " << ForTerminal(r.address);
                }
                out << '\n';
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
        PrintSteps(r, dry_run, out);
    }
    out << reports.size() << (reports.size() == 1 ? " file: " : " files: ");
    for (const Outcome outcome : AllOutcomes) {
        out << (outcome == Outcome::Tagged ? "" : ", ") << CountOf(reports, outcome) << ' '
            << OutcomeName(outcome, dry_run);
    }
    out << '\n';
    PrintExtras(reports, dry_run, extras, out);
}

}  // namespace korvid::cli
