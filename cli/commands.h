#pragma once
// The commands of korvid-cli, each with the options the command line gave it. A command
// prints results on out and messages on err, returns an exit code, and throws UsageError for
// a command line it cannot use.

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace korvid::cli {

// Where a lookup goes: the local film database or the site, and the folder for the
// temporary page and the cover.
struct SiteOptions {
    std::string host;    // empty: KORVID_HOST, else the movie database site; given, the
                         // site answers unless --source local or --db says otherwise
    std::string dir;     // empty: the current folder
    std::string source;  // "local", "site", or empty: local when a database is present
    std::string db;      // the database file; empty: KORVID_DATASET, else the default
};

struct SearchOptions {
    std::string title;
    std::optional<int> pick;
    std::optional<std::string> xml_file;
    std::optional<std::string> csv_file;
    std::optional<std::string> nfo_file;
    bool json = false;
    // A film from the local film data gets its cover from the site's suggestion service
    // unless this is set.
    bool no_cover = false;
    SiteOptions site;
};

// The six tag fields as given on the command line, before conversion to Latin-1.
struct TagFieldOptions {
    std::optional<std::string> title;
    std::optional<std::string> director;
    std::optional<std::string> comment;
    std::optional<std::string> imdb;
    std::optional<std::string> year;
    std::optional<std::string> genre;

    bool Any() const { return title || director || comment || imdb || year || genre; }
};

struct TagOptions {
    std::vector<std::string> files;  // "-" reads names from standard input
    TagFieldOptions fields;
    std::optional<std::string> search;
    std::optional<int> pick;
    SiteOptions site;
};

struct ShowTagOptions {
    std::vector<std::string> files;  // "-" reads names from standard input
    bool json = false;
};

struct ScanOptions {
    std::vector<std::string> paths;  // movie files and folders
    bool recursive = false;          // also the folders inside the folders given
    bool replace = false;            // look up and tag files that have a tag already
    bool dry_run = false;            // look up and report, write nothing
    bool json = false;
    double delay = 1.0;     // seconds from one request to the site to the next (not local)
    bool progress = false;  // a progress line on err (only when err is a terminal)
    bool nfo = false;            // write NAME.nfo beside each movie file matched
    bool replace_nfo = false;    // also over an NFO file that Korvid did not write
    bool rename = false;         // give each movie file matched the name of its film
    std::string name_format;     // of the new names; empty: "{title} ({year})"
    bool portable = false;       // new names without the characters Windows refuses
    SiteOptions site;
};

struct UndoRenameOptions {
    std::string journal;  // empty: the newest journal of the state folder not undone yet
};

struct DatasetUpdateOptions {
    std::string from;       // empty: the site's data-set server
    std::string db;         // empty: KORVID_DATASET, else the default place
    bool progress = false;  // a progress line on err (only when err is a terminal)
    bool force = false;     // put the new database in place even with far fewer titles
};

struct DatasetStatusOptions {
    std::string db;  // empty: KORVID_DATASET, else the default place
    bool json = false;
};

struct DatasetRemoveOptions {
    std::string db;        // empty: KORVID_DATASET, else the default place
    bool dry_run = false;  // only say what would be removed
};

int RunSearchCommand(const SearchOptions& options, std::ostream& out, std::ostream& err);
int RunTagCommand(const TagOptions& options, std::istream& in, std::ostream& out,
                  std::ostream& err);
int RunShowTagCommand(const ShowTagOptions& options, std::istream& in, std::ostream& out,
                      std::ostream& err);
int RunScanCommand(const ScanOptions& options, std::ostream& out, std::ostream& err);
int RunUndoRenameCommand(const UndoRenameOptions& options, std::ostream& out, std::ostream& err);
int RunDatasetUpdateCommand(const DatasetUpdateOptions& options, std::ostream& out,
                            std::ostream& err);
int RunDatasetStatusCommand(const DatasetStatusOptions& options, std::ostream& out,
                            std::ostream& err);
int RunDatasetRemoveCommand(const DatasetRemoveOptions& options, std::ostream& out,
                            std::ostream& err);

}  // namespace korvid::cli
