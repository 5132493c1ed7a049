#pragma once
// The three commands of korvid-cli, each with the options the command line gave it. A command
// prints results on out and messages on err, returns an exit code, and throws UsageError for
// a command line it cannot use.

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace korvid::cli {

// Where a lookup goes: the site and the folder for the temporary page and the cover.
struct SiteOptions {
    std::string host;  // empty: KORVID_HOST, else the movie database site
    std::string dir;   // empty: the current folder
};

struct SearchOptions {
    std::string title;
    std::optional<int> pick;
    std::optional<std::string> xml_file;
    std::optional<std::string> csv_file;
    bool json = false;
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

int RunSearchCommand(const SearchOptions& options, std::ostream& out, std::ostream& err);
int RunTagCommand(const TagOptions& options, std::istream& in, std::ostream& out,
                  std::ostream& err);
int RunShowTagCommand(const ShowTagOptions& options, std::istream& in, std::ostream& out,
                      std::ostream& err);

}  // namespace korvid::cli
