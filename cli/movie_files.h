#pragma once
// Finding the movie files a scan looks at: the files given and those in the folders given.

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/scan_report.h"

namespace korvid::cli {

// Whether a file of this name is a movie file: its extension is one of a movie's, in any
// letter case.
bool IsMovieFileName(const std::string& name);

// The movie files under the paths, each once, sorted. A path that cannot be read is a
// failure of its own: reported on err and added to failed.
std::vector<std::string> MovieFiles(const ScanOptions& options, std::vector<FileReport>& failed,
                                    std::ostream& err);

}  // namespace korvid::cli
