#pragma once
// Deciding each file of a scan: skip it, look its title up, choose the film, tag it.

#include <chrono>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "cli/commands.h"
#include "cli/scan_rename.h"
#include "cli/scan_report.h"
#include "dataset/film_database.h"

namespace korvid {
class TIMDBImport;
}

namespace korvid::cli {

// At most one request to the site every delay seconds.
class Pacer {
  public:
    explicit Pacer(double delay) : delay_(std::chrono::duration<double>(delay)) {}
    void Wait();

  private:
    std::chrono::duration<double> delay_;
    std::optional<std::chrono::steady_clock::time_point> last_;
};

// Looks up and tags one file after another, pacing the requests to the site; with --rename and
// --nfo it also renames the files matched and writes their NFO files. A failure is reported on
// err at once and the scan goes on.
class Scanner {
  public:
    // With a film database the lookups answer from it, without waiting between them.
    Scanner(const ScanOptions& options, std::shared_ptr<const dataset::FilmDatabase> database,
            std::ostream& err);

    FileReport Scan(const std::string& file);

    // The journal of the renames made so far; empty when none was made.
    std::string JournalPath() const { return renamer_ ? renamer_->JournalPath() : ""; }

  private:
    void ScanOne(FileReport& report);
    // After the tag: the rename and the NFO file the options ask for.
    void RenameAndDescribe(const TIMDBImport& importer, FileReport& report);

    const ScanOptions& options_;
    std::ostream& err_;
    std::shared_ptr<const dataset::FilmDatabase> database_;
    Pacer pacer_;
    int year_;
    std::optional<ScanRenamer> renamer_;
};

}  // namespace korvid::cli
