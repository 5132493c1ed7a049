#pragma once
// scan --nfo: the film's NFO document as NAME.nfo beside the movie file, written through a
// temporary file in the same folder and a rename. An NFO file that Korvid did not write is kept
// unless the user asked to replace it; one that Korvid wrote is brought up to date.

#include <string>

#include "cli/rename_safely.h"
#include "cli/scan_report.h"

namespace korvid::cli {

// The NFO file of a movie file: its name without the extension, and ".nfo", in its folder.
std::string NfoPathOf(const std::string& movie);

// Writes the document as the movie file's NFO file (in a dry run only says what it would do).
// A new file is never renamed over one that appeared meanwhile; anything there that is not a
// regular file is kept. On a file system that renames only by replacing, a new NFO file is made
// at its name directly (never over a file). Never raises: a failure is the step's message.
NfoStep WriteNfoBeside(const std::string& movie, const std::string& document, bool replace_foreign,
                       bool dry_run, const RenameCalls& calls = SystemRenameCalls());

}  // namespace korvid::cli
