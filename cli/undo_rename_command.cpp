// korvid-cli undo-rename: puts back the names a scan --rename gave, from its journal, the last
// rename first. A name is put back only where the new name still holds the file the journal
// recorded (the same device and inode) and the old name is free; every other is reported with
// its cause and left as it is.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <ostream>
#include <string>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/rename_journal.h"
#include "cli/rename_safely.h"
#include "cli/terminal_text.h"
#include "common/errors.h"

namespace korvid::cli {
namespace {

// Whether the path names the file the journal recorded; *present whether anything is there.
bool Holds(const std::string& path, const JournalEntry& entry, bool* present) {
    struct stat info {};
    *present = ::lstat(path.c_str(), &info) == 0;
    return *present && info.st_dev == entry.device && info.st_ino == entry.inode;
}

std::string NameOf(const std::string& path) {
    return EscapedFileName(std::filesystem::path(path).filename().string());
}

}  // namespace

int RunUndoRenameCommand(const UndoRenameOptions& options, std::ostream& out, std::ostream& err) {
    std::string journal = options.journal;
    if (journal.empty()) {
        const std::string folder = RenameJournalFolder();
        const std::optional<std::string> newest = NewestRenameJournal(folder);
        if (!newest) {
            err << MessagePrefix << "no rename journal to undo in " << EscapedFileName(folder)
                << '\n';
            return ExitNotFound;
        }
        journal = *newest;
    }
    const JournalContents contents = ReadRenameJournal(journal);

    int put_back = 0;
    int already = 0;
    int left = 0;
    for (auto entry = contents.entries.rbegin(); entry != contents.entries.rend(); ++entry) {
        bool new_present = false;
        bool old_present = false;
        const bool at_new = Holds(entry->new_path, *entry, &new_present);
        const bool at_old = Holds(entry->old_path, *entry, &old_present);
        if (!at_new) {
            if (at_old) {
                ++already;
                out << EscapedFileName(entry->old_path) << ": has its old name already\n";
            } else if (entry->made) {
                ++left;
                out << EscapedFileName(entry->new_path) << ": not put back: "
                    << (new_present ? "another file has the name now" : "it is no longer there")
                    << '\n';
            }
            continue;
        }
        if (at_old) {
            // Both names hold the file: a rename by link and unlink that was stopped between
            // the two. Taking the new name away finishes putting it back.
            if (::unlink(entry->new_path.c_str()) != 0) {
                ++left;
                out << EscapedFileName(entry->new_path) << ": not put back: " << ErrnoText(errno)
                    << '\n';
                continue;
            }
            ++put_back;
            out << EscapedFileName(entry->new_path) << ": put back as " << NameOf(entry->old_path)
                << '\n';
            continue;
        }
        if (old_present) {
            ++left;
            out << EscapedFileName(entry->new_path) << ": not put back: " << NameOf(entry->old_path)
                << " is taken\n";
            continue;
        }
        const RenameOutcome outcome = RenameWithoutReplacing(entry->new_path, entry->old_path);
        if (!outcome.Renamed()) {
            ++left;
            out << EscapedFileName(entry->new_path)
                << ": not put back: " << RenameFailureText(outcome) << '\n';
            continue;
        }
        ++put_back;
        out << EscapedFileName(entry->new_path) << ": put back as " << NameOf(entry->old_path)
            << '\n';
    }
    out << EscapedFileName(journal) << ": " << put_back << " put back, " << already
        << " had their old names, " << left << " not put back\n";
    if (left > 0) {
        return ExitFailure;
    }
    if (!contents.undone) {
        MarkJournalUndone(journal);
    }
    return ExitOk;
}

}  // namespace korvid::cli
