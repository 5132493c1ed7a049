#pragma once
// Builds the local film database from the five data-set files (gzip-compressed,
// tab-separated UTF-8 with one header line, "\N" for a missing value), streaming each file
// once. The new database is written beside the target and renamed over it only when it is
// complete: a build that fails for any reason leaves the old database as it was and no
// partial file behind.

#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>

#include "dataset/film_database.h"

namespace korvid::dataset {

// The five files of a build, each a local .tsv.gz, with the date of that copy
// ("2026-12-06T00:00:00Z"; recorded in the database for the status).
struct SourceFile {
    std::string path;
    std::string date;
    // The copy's size in bytes, when known (0: not recorded): with the date, what tells a
    // later update from a folder that the folder's files are the ones the database holds.
    std::uint64_t size = 0;
};

struct BuildSources {
    SourceFile title_basics;
    SourceFile title_ratings;
    SourceFile title_crew;
    SourceFile title_principals;
    SourceFile name_basics;
    // The alternative titles; an empty path when the folder has none (a database is then
    // built without them).
    SourceFile title_akas;
};

// Where a build stands, told often enough for a progress line (a few times a second): a file
// being read, then, once every file is read, the indexes being made (Indexing: told once, with
// no file).
struct BuildProgress {
    enum class Phase { Reading, Indexing };
    std::string file;                // "title.basics.tsv.gz"
    std::uint64_t bytes_read = 0;    // compressed bytes of that file read so far
    std::uint64_t bytes_total = 0;   // its compressed size
    std::uint64_t rows = 0;          // rows of that file read so far
    Phase phase = Phase::Reading;
    int file_number = 0;             // 1 to 5 in the order the files are read; 0 when indexing
};
using BuildProgressCallback = std::function<void(const BuildProgress&)>;

// A build ended through its stop token: no database was made, the old one is kept.
class BuildCancelled : public DatasetError {
  public:
    BuildCancelled() : DatasetError("the build was cancelled") {}
};

struct BuildReport {
    std::int64_t titles = 0;        // titles kept (every type but episodes)
    std::int64_t names = 0;         // names kept (those a kept title refers to)
    std::int64_t skipped_rows = 0;  // malformed rows left out, over all the files
    std::int64_t alternative_titles = 0;  // alternative titles kept
};

// A new database that would replace one far larger (files cut short or emptied at their
// source): it is not put in place, and the old one is kept. A forced build puts it in place.
class SmallerThanBefore : public DatasetError {
  public:
    using DatasetError::DatasetError;
};

// The new database holds fewer than half the titles of the one it would replace.
class TooFewTitles : public SmallerThanBefore {
  public:
    TooFewTitles(std::int64_t new_titles, std::int64_t old_titles);
    std::int64_t NewTitles() const { return new_titles_; }
    std::int64_t OldTitles() const { return old_titles_; }

  private:
    std::int64_t new_titles_;
    std::int64_t old_titles_;
};

// One file yields fewer than half the rows its copy gave the database it would replace (a
// file cut at a gzip member's end reads as whole). Files the old database was built without,
// and databases that did not record their rows, are not compared.
class TooFewRows : public SmallerThanBefore {
  public:
    TooFewRows(std::string file, std::uint64_t new_rows, std::uint64_t old_rows);
    const std::string& File() const { return file_; }

  private:
    std::string file_;
};

// Builds the database at db_path from the sources. Raises DatasetError with a one-line
// cause ("title.crew.tsv.gz: not a gzip file", "Disk full", ...) when the build fails, at
// once when db_path is something other than a regular file (a folder, a FIFO, a device);
// TooFewRows as soon as a file yields fewer than half the rows of its copy in the database at
// db_path, and TooFewTitles when the new database holds fewer than half its titles, unless
// force is set; and BuildCancelled within a second of a stop asked through stop
// (while reading a file as while making the indexes).
BuildReport BuildDatabase(const BuildSources& sources, const std::string& db_path,
                          const BuildProgressCallback& progress = {}, std::stop_token stop = {},
                          bool force = false);

}  // namespace korvid::dataset
