#pragma once
// Deciding each file of a scan: skip it, look its title up, choose the film, tag it.

#include <chrono>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "cli/commands.h"
#include "cli/scan_report.h"
#include "dataset/film_database.h"

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

// Looks up and tags one file after another, pacing the requests to the site. A failure is
// reported on err at once and the scan goes on.
class Scanner {
  public:
    // With a film database the lookups answer from it, without waiting between them.
    Scanner(const ScanOptions& options, std::shared_ptr<const dataset::FilmDatabase> database,
            std::ostream& err);

    FileReport Scan(const std::string& file);

  private:
    void ScanOne(FileReport& report);

    const ScanOptions& options_;
    std::ostream& err_;
    std::shared_ptr<const dataset::FilmDatabase> database_;
    Pacer pacer_;
    int year_;
};

}  // namespace korvid::cli
