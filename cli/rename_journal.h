#pragma once
// The journal of a scan's renames, which undo-rename reads to put the names back. Each
// rename is written to it, and the journal flushed to the disk, before the rename is made:
// a scan that is interrupted leaves a journal of every rename it made.
//
// A journal is a file of JSON lines in the state folder, one a scan, named after the time it
// was begun ("renames-20260507T101502.123456789Z-4711.jsonl"):
//   {"journal": "korvid renames", "version": 1}
//   {"rename": 0, "old": "/films/Amelie.2001.mkv", "new": "/films/Amélie (2001).mkv",
//    "device": 2049, "inode": 1234}
//   {"not_made": 0}        a rename that was refused or failed
//   {"undone": true}       undo-rename put every name back
// The paths are absolute, written as FileNameForJson writes a name (terminal_text.h), so any
// name reads back as its bytes.

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "common/file_descriptor.h"

namespace korvid::cli {

// The folder of the rename journals, with a trailing "/": $XDG_STATE_HOME/korvid/renames/,
// by default ~/.local/state/korvid/renames/, as dataset::StateFolder resolves it (a relative
// XDG_STATE_HOME is ignored; a link or another user's folder refused). Not created here.
// Raises dataset::UserFolderError when no folder can be had.
std::string RenameJournalFolder();

// One rename of a journal.
struct JournalEntry {
    std::string old_path;
    std::string new_path;
    dev_t device = 0;  // the file's, which a rename keeps
    ino_t inode = 0;
    bool made = true;  // false: recorded, then refused or failed
};

// A journal being written by a scan.
class RenameJournal {
  public:
    // A new journal in the folder, which is made (mode 0700) where it is missing. Raises
    // std::runtime_error with the cause when it cannot be made.
    explicit RenameJournal(const std::string& folder);

    const std::string& Path() const { return path_; }

    // Records a rename of the file before it is made, flushed to the disk; the paths are made
    // absolute. Raises std::runtime_error when the journal cannot be written: the rename must
    // then not be made.
    void Record(const std::string& old_path, const std::string& new_path, dev_t device,
                ino_t inode);
    // The rename recorded last was not made.
    void NotMade();

  private:
    void Append(const std::string& line, bool flush);

    std::string path_;
    FileDescriptor file_;
    int count_ = 0;
};

struct JournalContents {
    std::vector<JournalEntry> entries;  // in the order they were recorded
    bool undone = false;
};

// Reads a journal. A last line cut short (a scan stopped while writing it: its rename was not
// made) is left out. Raises std::runtime_error for a file that cannot be read or is no journal.
JournalContents ReadRenameJournal(const std::string& path);

// Notes in the journal that every name was put back.
void MarkJournalUndone(const std::string& path);

// The newest journal in the folder that was not undone, or nothing.
std::optional<std::string> NewestRenameJournal(const std::string& folder);

}  // namespace korvid::cli
