#pragma once
// Renaming a file without ever replacing another: what scan --rename and undo-rename do to
// the user's files. A name that is taken stays as it is, and so does the file to be renamed.

#include <string>

namespace korvid::cli {

// The system calls a rename goes through; tests put in file systems that refuse the flag.
struct RenameCalls {
    // renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE): 0, or -1 with errno.
    int (*rename_no_replace)(const char* from, const char* to);
    int (*link)(const char* from, const char* to);
    int (*unlink)(const char* path);
};

// The calls of the running system.
const RenameCalls& SystemRenameCalls();

struct RenameOutcome {
    int error = 0;  // 0: renamed; EEXIST: the new name is taken; else the errno of the failure
    // The file system has no rename that refuses to replace and no hard links either: the
    // only rename left could replace a file that appears at the name, so none was made.
    bool no_safe_way = false;

    bool Renamed() const { return error == 0 && !no_safe_way; }
};

// Renames from to to, never over a file at to: renameat2 with RENAME_NOREPLACE, or, where
// the file system refuses that flag (EINVAL, ENOSYS, EOPNOTSUPP, as some shared drives do), a
// hard link at the new name (which fails when the name is taken) and the old name unlinked.
// A failure leaves both names as they were.
RenameOutcome RenameWithoutReplacing(const std::string& from, const std::string& to,
                                     const RenameCalls& calls = SystemRenameCalls());

// Why a rename was not made, in a few words: "the name is taken", "the file system cannot
// rename without the risk of replacing a file", or the system's words.
std::string RenameFailureText(const RenameOutcome& outcome);

}  // namespace korvid::cli
