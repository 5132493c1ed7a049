#pragma once
// The update of the local film database: the six data-set files (dataset::DatasetFiles)
// fetched from the site's data-set server (or another address, or a local folder) into the
// download cache, each checked as gzip data while it arrives, then the database built from
// them. A file the server reports unchanged is not fetched again; a cut download resumes where
// the server allows it; a database already built from the same copies is kept as it is. Any
// failure keeps the old database.

#include <array>
#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

#include "client/film_data_disk.h"
#include "client/http.h"
#include "client/update_lock.h"
#include "dataset/database_build.h"
#include "dataset/film_database.h"
#include "dataset/source_files.h"

namespace korvid {

// Where the data sets are published.
inline constexpr const char* DatasetBaseUrl = "https://datasets.imdbws.com/";

// The names of the files of a build, in the order they are fetched.
inline constexpr auto DatasetFileNames = [] {
    std::array<const char*, std::size(dataset::DatasetFiles)> names{};
    for (std::size_t i = 0; i < names.size(); ++i) {
        names[i] = dataset::DatasetFiles[i].name;
    }
    return names;
}();

// Where an update stands: a download (bytes of the file held of its total), the build
// reading a file (compressed bytes read of the file's size, and its rows read), or the build
// making its indexes once every file is read (file empty, no bytes). Each file's download
// ends with a report of its size as bytes, total and held, also when it was found unchanged.
struct UpdateProgress {
    enum class Step { Download, Build, Index };
    Step step = Step::Download;
    std::string file;         // "title.basics.tsv.gz"
    std::uint64_t bytes = 0;  // received, or read by the build
    std::uint64_t total = 0;  // the file's size; 0 when the server did not say
    std::uint64_t rows = 0;   // rows read (the build)
    int file_number = 0;      // 1 to file_count for Download and Build; 0 for Index
    int file_count = static_cast<int>(std::size(dataset::DatasetFiles));
    // Download: the file's bytes that were there before this transfer (a part resumed, a copy
    // found unchanged), not received now.
    std::uint64_t held = 0;
};
using UpdateProgressCallback = std::function<void(const UpdateProgress&)>;

struct DatasetDownloadOptions {
    // Empty: DatasetBaseUrl. An http:// or https:// base address, or a local folder (also
    // as file://FOLDER) that holds the files (all but the alternative titles are needed there).
    std::string source;
    std::string cache_folder;  // the downloads' cache (DatasetCacheFolder())
    std::string db_path;       // the database to build (DatabasePath())
    // The transfers' waits; tests shorten them. A data-set file of hundreds of megabytes
    // may take far longer than a page: no overall deadline, only the stall limit.
    HttpOptions http = [] {
        HttpOptions without_deadline;
        without_deadline.deadline_seconds = 0;
        return without_deadline;
    }();
    // Transfers per file: a transfer cut off midway is tried again, resuming where it broke
    // when the server allows it, until this many have been made.
    int attempts = 3;
    // A file larger than this fails ("the file is larger than 4 GiB") and its part is
    // removed; so does one larger than its answer announced. Today's largest is below 1 GiB.
    std::uint64_t max_file_bytes = std::uint64_t{4} << 30;
    UpdateProgressCallback progress;
    // Asked from another thread to stop: the update ends within a second, in a download or in
    // the build (its index statements included), with UpdateCancelled. The old database is
    // kept, and so are the parts downloaded, so that the next update resumes them.
    std::stop_token stop;
    // Puts a new database in place even when it holds far fewer titles, or a file far fewer
    // rows, than the one it replaces (which an update otherwise refuses).
    bool force = false;
    // The free bytes of a folder's disk; empty: std::filesystem::space. An update that lacks
    // room for its downloads and its new database (EstimateDiskNeed) is refused with
    // NotEnoughDisk before anything is fetched.
    FreeSpaceQuery free_space;
};

// An update stopped through DatasetDownloadOptions::stop: "the update was cancelled".
class UpdateCancelled : public dataset::DatasetError {
  public:
    UpdateCancelled() : dataset::DatasetError("the update was cancelled") {}
};

// How each file was had.
struct UpdatedFile {
    enum class Origin { Downloaded, Unchanged, LocalFolder };
    std::string name;  // "title.basics.tsv.gz"
    Origin origin = Origin::Downloaded;
    std::string path;  // the file the build read
    std::string date;  // the copy's date, "2026-12-06T00:00:00Z"
    std::uint64_t size = 0;
};

struct DatasetUpdateReport {
    std::vector<UpdatedFile> files;
    // The database's counts: of the new build, or of the one kept when nothing changed.
    dataset::BuildReport build;
    // False when every file was reported unchanged (or lies in a folder) and the database was
    // already built, by today's schema, from copies of the same dates and sizes, with or
    // without the alternative titles as now: it is kept as it is, with no build.
    bool rebuilt = true;
};

// Fetches the files and builds the database from them (unless it is up to date). Raises
// dataset::DatasetError with the cause in one line ("title.crew.tsv.gz: the connection broke",
// "title.akas.tsv.gz: the download is spoilt: the file is cut short", "Disk full", ...) when
// the update fails; the database that was there before is then left as it was.
DatasetUpdateReport UpdateDatasets(const DatasetDownloadOptions& options);

// An HTTP date ("Sun, 06 Dec 2026 00:00:00 GMT") as "2026-12-06T00:00:00Z"; empty when the
// text is no such date.
std::string IsoDateFromHttpDate(const std::string& http_date);

}  // namespace korvid
