#pragma once
// The local film database: what Korvid keeps of the site's official data sets (title.basics,
// title.ratings, title.crew, title.principals, name.basics), in one SQLite file, and the two
// questions the importer asks of it: which titles match some search words, and one title's
// facts. Text is the files' own UTF-8; the importer converts it to its Latin-1 fields.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct sqlite3;

namespace korvid::dataset {

// Shown wherever data from the files is shown (the terms of the data sets).
inline constexpr const char* CreditLine =
    "Information courtesy of IMDb (https://www.imdb.com). Used with permission.";

// A database that is missing, unreadable or not one of Korvid's, or a failed build; the
// text is one line naming the cause.
class DatasetError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A statement on the film database ran past its time limit and was ended: "the film database
// does not answer". The database is there but of no use; the site can answer instead.
class DatabaseNotAnswering : public DatasetError {
  public:
    DatabaseNotAnswering() : DatasetError("the film database does not answer") {}
};

// How long one question to the film database may take; a database Korvid built answers in
// milliseconds, so only a tampered or broken one reaches it.
inline constexpr std::chrono::milliseconds AnswerLimit{5000};

// The film database did not open within the open limit (OpenFilmDatabase): "PATH: the film
// database did not open within 5 seconds". The site can answer instead.
class DatabaseNotOpening : public DatasetError {
  public:
    DatabaseNotOpening(const std::string& path, std::chrono::milliseconds limit);
};

// How long a program waits for the film database to open. A file opens in milliseconds;
// only a file system that does not answer (a network share, a stuck disk) reaches it.
inline constexpr std::chrono::milliseconds DefaultOpenLimit{5000};
// The open limit in force: DefaultOpenLimit unless SetOpenLimit changed it.
std::chrono::milliseconds OpenLimit();
// Another open limit from now on, for the whole process (tests shorten it); zero or less goes
// back to DefaultOpenLimit.
void SetOpenLimit(std::chrono::milliseconds limit);

// One title's facts, as the files give them.
struct FilmRecord {
    std::string tconst;          // "tt0078748" (7 or 8 digits, as in the files)
    std::string type;            // titleType: "movie", "tvSeries", "video", ...
    std::string primary_title;
    std::string original_title;
    std::optional<int> year;     // startYear
    std::optional<int> minutes;  // runtimeMinutes
    std::vector<std::string> genres;  // in the files' order, at most three
    std::string rating;          // averageRating as written ("8.5"); empty without a rating
    std::int64_t votes = 0;      // numVotes; 0 without a rating
    std::string director;        // primaryName of the first director; empty when none
    std::string lead;            // primaryName of the lead; empty when none
    std::string lead_character;  // the lead's first character; empty when none
};

// One entry of a search, best first.
struct SearchEntry {
    std::string tconst;
    std::string type;
    std::string primary_title;
    std::optional<int> year;
    std::int64_t votes = 0;
    // The primary or original title equals the search words, ignoring letter case and accents.
    bool exact = false;
    // Found through one of the title's alternative titles (not its primary or original one):
    // that title and its region ("RU"; empty when the data names none); both empty otherwise.
    std::string matched_title;
    std::string matched_region;
    // That alternative title equals the search words.
    bool exact_alternative = false;
};

// What a database holds and where it came from.
struct DatabaseStatus {
    std::string path;
    std::string built_at;  // when the build finished, UTC, "2026-12-07T17:05:00Z"
    // Each source file ("title.basics.tsv.gz", ...) with the date of the copy it was built
    // from (the server's Last-Modified, or the local file's time), "2026-12-06T00:00:00Z".
    std::vector<std::pair<std::string, std::string>> file_dates;
    // Each source file whose size was recorded, with that size in bytes.
    std::vector<std::pair<std::string, std::uint64_t>> file_sizes;
    // Each source file whose rows (after its header) the build recorded, with that count.
    std::vector<std::pair<std::string, std::uint64_t>> file_rows;
    // The database's schema: 1 for a database of an earlier Korvid (no alternative titles),
    // 2 for today's.
    int schema_version = 0;
    // Whether it was built with the alternative titles (title.akas).
    bool has_alternative_titles = false;
    std::int64_t alternative_titles = 0;  // the alternative titles kept
    std::int64_t titles = 0;
    std::int64_t names = 0;
    std::int64_t skipped_rows = 0;  // malformed rows left out by the build
    std::int64_t size_bytes = 0;    // the database file's size
};

// What the status says of the alternative titles: their number, or why there are none and
// how they come ("none: the database was built by an earlier Korvid; an update adds them").
std::string AlternativeTitlesText(const DatabaseStatus& status);

class AnswerDeadline;
class SqliteStatement;
class StatementCache;

// One thread at a time: the searches keep their prepared statements.
class FilmDatabase {
  public:
    // Opens a database read-only. Raises DatasetError when the file is missing, unreadable,
    // not a regular file, or not a complete Korvid film database: every table it reads must
    // be a table defined as the build defines it (a database someone else made may hold
    // anything). The file is looked at (stat) before SQLite opens it by its path, and the file
    // SQLite opened must be that one: a file put in its place meanwhile raises DatasetError
    // ("the file was replaced while it was being opened"), and a FIFO put there never blocks
    // (SqliteConnection). Each of the calls below that runs longer than answer_limit raises
    // DatabaseNotAnswering, as does this opening. It runs on the caller's thread without a
    // time limit of its own: a program that must not wait opens with OpenFilmDatabase.
    explicit FilmDatabase(const std::string& path,
                          std::chrono::milliseconds answer_limit = AnswerLimit);
    ~FilmDatabase();
    FilmDatabase(const FilmDatabase&) = delete;
    FilmDatabase& operator=(const FilmDatabase&) = delete;

    // Titles whose primary or original title holds every search word, ignoring letter case
    // and accents: the exact matches first, then by number of votes (most first); at most
    // limit entries. Empty words give no entries.
    std::vector<SearchEntry> Search(std::string_view words, std::size_t limit = 200) const;

    // One title by its identifier ("tt0078748"); nothing when the database does not hold it.
    std::optional<FilmRecord> Film(std::string_view tconst) const;

    DatabaseStatus Status() const;

  private:
    // Runs one question under the time limit.
    template <typename Question>
    auto Answer(Question question) const;
    std::vector<SearchEntry> SearchEntries(std::string_view words, std::size_t limit) const;
    std::optional<FilmRecord> ReadFilm(std::string_view tconst) const;
    DatabaseStatus ReadStatus() const;

    std::vector<SearchEntry> SearchLegacy(std::string_view words, std::size_t limit) const;
    // Names in the entry the first of its alternative titles that holds the folded search,
    // asked through the statement given (title_key -> key, title, region).
    void NameMatchedAlternative(SqliteStatement& alternatives, std::string_view folded,
                                SearchEntry& entry) const;

    std::string path_;
    sqlite3* db_ = nullptr;
    int schema_version_ = 0;
    // The searches' statements, prepared once.
    std::unique_ptr<StatementCache> statements_;
    std::unique_ptr<AnswerDeadline> deadline_;
};

// Opens the database at the path as FilmDatabase does, on a thread of its own, and waits up to
// OpenLimit() for it. When the limit passes first, raises DatabaseNotOpening; the open goes on
// on its own thread, which owns everything it uses, and drops the database when it ends, so
// it touches nothing of the caller's. Any other failure is the open's own (DatasetError).
std::shared_ptr<const FilmDatabase> OpenFilmDatabase(const std::string& path,
                                                     std::chrono::milliseconds answer_limit =
                                                         AnswerLimit);

// How many opens of OpenFilmDatabase are still running, those given up on included.
int OpensRunning();

// For tests: runs on the opening thread between the first look at the file and SQLite's own
// open of it, where another program may put another file at the path; an empty function
// removes it.
void SetBeforeSqliteOpen(std::function<void(const std::string& path)> hook);

}  // namespace korvid::dataset
