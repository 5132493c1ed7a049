#pragma once
// scan --rename: a matched movie file gets the name of its film, and the files beside it that
// carry its name (subtitles "NAME.en.srt", "NAME.nfo", "NAME-poster.jpg") go with it. No rename
// is made over an existing file, out of the folder, or before the journal holds it.

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cli/film_file_name.h"
#include "cli/rename_journal.h"
#include "cli/rename_safely.h"
#include "cli/scan_report.h"

namespace korvid::cli {

// The files beside a movie file that go with it: the files in its folder whose names begin with
// its name without the extension followed by "." or "-", other than movie files, and other
// than those that begin so with a longer movie file's name of the folder. Folders and special
// files are left out. Sorted by name.
std::vector<std::string> SideFiles(const std::string& movie);

struct RenameSettings {
    std::string format = DefaultNameFormat;
    bool portable = false;
    bool dry_run = false;
    std::string journal_folder;  // where the journal goes; empty: RenameJournalFolder()
    const RenameCalls* calls = &SystemRenameCalls();
};

// Renames the movie files of one scan, writing one journal for all of them.
class ScanRenamer {
  public:
    explicit ScanRenamer(RenameSettings settings);

    // Gives the movie file the name of the film and takes its side files with it; records in
    // the report what was done and what was refused. Returns the movie file's path from now on.
    std::string Rename(const std::string& movie, const NameFields& fields, FileReport& report);

    // The journal's path once a rename was recorded; empty before.
    std::string JournalPath() const { return journal_ ? journal_->Path() : ""; }

  private:
    // The journal, made at the first rename; nothing when it cannot be made (why: *failure).
    RenameJournal* Journal(std::string* failure);
    // One rename, recorded before it is made.
    RenameStep Move(const std::string& from, const std::string& to);

    RenameSettings settings_;
    std::unique_ptr<RenameJournal> journal_;
    std::optional<std::string> journal_failure_;
    std::set<std::string> planned_;  // a dry run's new names, taken for the renames after them
};

}  // namespace korvid::cli
