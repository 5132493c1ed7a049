#include "dataset/film_database.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <future>
#include <mutex>
#include <system_error>
#include <thread>

#include "common/errors.h"
#include "dataset/database_path.h"
#include "dataset/database_schema.h"
#include "dataset/search_terms.h"
#include "dataset/source_files.h"
#include "dataset/sqlite_db.h"
#include "dataset/text_fold.h"
#include "dataset/tsv_row.h"

namespace korvid::dataset {

namespace {

constexpr const char* kEntryColumns = "t.id, t.tconst, t.type, t.primary_title, t.year, t.votes";

SearchEntry ReadEntry(const SqliteStatement& row, bool exact) {
    SearchEntry entry;
    entry.tconst = row.Text(1);
    entry.type = row.Text(2);
    entry.primary_title = row.Text(3);
    entry.year = row.OptionalInt(4);
    entry.votes = row.Int(5);
    entry.exact = exact;
    return entry;
}

std::int64_t Count(std::string_view text) {
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// The longest text or blob the database may give: a title, a name or a character is a few
// hundred bytes at most, so this is far more than Korvid's own database holds.
constexpr int kMaxValueLength = 1 << 20;

// The statements of a schema text, without their ";" and the white space around them.
std::vector<std::string_view> Statements(std::string_view sql) {
    std::vector<std::string_view> statements;
    while (!sql.empty()) {
        const std::size_t end = std::min(sql.find(';'), sql.size());
        std::string_view statement = sql.substr(0, end);
        const std::size_t first = statement.find_first_not_of(" \n");
        if (first != std::string_view::npos) {
            statement = statement.substr(first, statement.find_last_not_of(" \n") + 1 - first);
            statements.push_back(statement);
        }
        sql.remove_prefix(std::min(end + 1, sql.size()));
    }
    return statements;
}

// The name a CREATE statement gives: the word after its third or fourth word.
std::string ObjectName(std::string_view statement) {
    for (const std::string_view prefix : {"CREATE TABLE ", "CREATE VIRTUAL TABLE "}) {
        if (statement.substr(0, prefix.size()) == prefix) {
            statement.remove_prefix(prefix.size());
            return std::string(statement.substr(0, statement.find_first_of(" (")));
        }
    }
    return {};
}

// Each table Korvid reads in a schema, with the definition SQLite keeps for it: the build's
// own statements, and the full-text index's tables as its module makes them.
std::vector<std::pair<std::string, std::string>> ExpectedTables(const SchemaText& schema) {
    std::vector<std::pair<std::string, std::string>> tables;
    for (const std::string_view statement : Statements(schema.tables)) {
        tables.emplace_back(ObjectName(statement), statement);
    }
    for (const std::string_view statement : Statements(schema.indexes)) {
        if (statement.substr(0, 20) == "CREATE VIRTUAL TABLE") {
            const std::string name = ObjectName(statement);
            tables.emplace_back(name, statement);
            tables.emplace_back(name + "_data", "CREATE TABLE '" + name +
                                                    "_data'(id INTEGER PRIMARY KEY, block BLOB)");
            tables.emplace_back(name + "_idx",
                                "CREATE TABLE '" + name +
                                    "_idx'(segid, term, pgno, PRIMARY KEY(segid, term)) "
                                    "WITHOUT ROWID");
            tables.emplace_back(name + "_config", "CREATE TABLE '" + name +
                                                      "_config'(k PRIMARY KEY, v) WITHOUT ROWID");
        }
    }
    return tables;
}

// Whether every table Korvid reads in the schema is there as the build made it: no view, no
// other columns, no other full-text settings. Only the schema's text is read, nothing of its
// objects runs.
bool HasKorvidTables(sqlite3* db, const SchemaText& schema) {
    SqliteStatement definition(db, "SELECT type, sql FROM sqlite_schema WHERE name = ?1");
    for (const auto& [name, sql] : ExpectedTables(schema)) {
        definition.Bind(1, name);
        const bool found = definition.Step() && definition.Text(0) == "table" &&
                           definition.Text(1) == sql && !definition.Step();
        sqlite3_reset(definition.Handle());
        if (!found) {
            return false;
        }
    }
    return true;
}

std::vector<std::string> SplitGenres(std::string_view genres) {
    std::vector<std::string> list;
    while (!genres.empty()) {
        const std::size_t comma = genres.find(',');
        const std::string_view genre = genres.substr(0, comma);
        if (!genre.empty()) {
            list.emplace_back(genre);
        }
        if (comma == std::string_view::npos) {
            break;
        }
        genres.remove_prefix(comma + 1);
    }
    return list;
}

// The before-open hook of the tests, taken under its lock by each open.
std::mutex hook_mutex;
std::shared_ptr<const std::function<void(const std::string&)>> before_sqlite_open;

std::atomic<std::int64_t> open_limit_ms{DefaultOpenLimit.count()};
std::atomic<int> opens_running{0};

// "5 seconds", "1 second", "0.2 seconds".
std::string SecondsText(std::chrono::milliseconds limit) {
    const std::int64_t tenths = (limit.count() + 50) / 100;
    std::string text = std::to_string(tenths / 10);
    if (tenths % 10 != 0) {
        text += "." + std::to_string(tenths % 10);
    }
    return text + (tenths == 10 ? " second" : " seconds");
}

}  // namespace

DatabaseNotOpening::DatabaseNotOpening(const std::string& path, std::chrono::milliseconds limit)
    : DatasetError(path + ": the film database did not open within " + SecondsText(limit)) {}

std::chrono::milliseconds OpenLimit() {
    return std::chrono::milliseconds(open_limit_ms.load());
}

void SetOpenLimit(std::chrono::milliseconds limit) {
    open_limit_ms = (limit.count() > 0 ? limit : DefaultOpenLimit).count();
}

void SetBeforeSqliteOpen(std::function<void(const std::string& path)> hook) {
    const std::lock_guard lock(hook_mutex);
    before_sqlite_open =
        hook ? std::make_shared<const std::function<void(const std::string&)>>(std::move(hook))
             : nullptr;
}

int OpensRunning() {
    return opens_running.load();
}

std::shared_ptr<const FilmDatabase> OpenFilmDatabase(const std::string& path,
                                                     std::chrono::milliseconds answer_limit) {
    using Opened = std::shared_ptr<const FilmDatabase>;
    std::promise<Opened> promise;
    std::future<Opened> opened = promise.get_future();
    ++opens_running;
    try {
        std::thread([path, answer_limit, promise = std::move(promise)]() mutable {
            {
                // Gone at the end of this block: with it the database, when nobody waits.
                std::promise<Opened> answer = std::move(promise);
                try {
                    answer.set_value(std::make_shared<const FilmDatabase>(path, answer_limit));
                } catch (...) {
                    answer.set_exception(std::current_exception());
                }
            }
            --opens_running;
        }).detach();
    } catch (const std::system_error& error) {
        --opens_running;
        throw DatasetError(path + ": " + error.what());
    }
    const std::chrono::milliseconds limit = OpenLimit();
    if (opened.wait_for(limit) != std::future_status::ready) {
        throw DatabaseNotOpening(path, limit);
    }
    return opened.get();
}

FilmDatabase::FilmDatabase(const std::string& path, std::chrono::milliseconds answer_limit)
    : path_(path) {
    // Anything but a regular file is refused before it is opened: a FIFO would block. No
    // descriptor of Korvid's own is opened on it: closing one would end the locks that SQLite
    // holds on the same file for the process's other connections.
    struct stat info {};
    if (!DatabaseFilePresent(path, &info)) {
        throw DatasetError(path + ": " + ErrnoText(ENOENT));
    }
    {
        std::shared_ptr<const std::function<void(const std::string&)>> hook;
        {
            const std::lock_guard lock(hook_mutex);
            hook = before_sqlite_open;
        }
        if (hook) {
            (*hook)(path);
        }
    }
    SqliteConnection connection(path, FileIdentity{info.st_dev, info.st_ino});
    ReadDefensively(connection.Get(), kMaxValueLength);
    auto deadline = std::make_unique<AnswerDeadline>(connection.Get(), answer_limit);
    const std::string not_ours = path + ": not a Korvid film database";
    try {
        // The tables of one schema Korvid knows, and meta naming that schema.
        const SchemaText* schema = nullptr;
        for (const SchemaText& known : kSchemas) {
            if (HasKorvidTables(connection.Get(), known)) {
                schema = &known;
                break;
            }
        }
        if (schema == nullptr) {
            throw DatasetError(not_ours);
        }
        SqliteStatement meta(connection.Get(),
                             "SELECT (SELECT value FROM meta WHERE key = 'schema_version'), "
                             "(SELECT value FROM meta WHERE key = 'complete')");
        if (!meta.Step() || meta.Text(0) != std::to_string(schema->version) ||
            meta.Text(1) != "1") {
            throw DatasetError(not_ours);
        }
        schema_version_ = schema->version;
    } catch (const DatasetError&) {
        if (deadline->Passed()) {
            throw DatabaseNotAnswering();
        }
        throw DatasetError(not_ours);
    }
    deadline_ = std::move(deadline);
    db_ = connection.Release();
    statements_ = std::make_unique<StatementCache>(db_);
}

FilmDatabase::~FilmDatabase() {
    statements_.reset();
    deadline_.reset();
    sqlite3_close(db_);
}

template <typename Question>
auto FilmDatabase::Answer(Question question) const {
    deadline_->Start();
    try {
        return question();
    } catch (const DatasetError&) {
        if (deadline_->Passed()) {
            throw DatabaseNotAnswering();
        }
        throw;
    }
}

std::vector<SearchEntry> FilmDatabase::Search(std::string_view words, std::size_t limit) const {
    return Answer([&] { return SearchEntries(words, limit); });
}

std::optional<FilmRecord> FilmDatabase::Film(std::string_view tconst) const {
    return Answer([&] { return ReadFilm(tconst); });
}

DatabaseStatus FilmDatabase::Status() const {
    return Answer([&] { return ReadStatus(); });
}

std::vector<SearchEntry> FilmDatabase::SearchEntries(std::string_view words,
                                                     std::size_t limit) const {
    if (schema_version_ == 1) {
        return SearchLegacy(words, limit);
    }
    std::vector<SearchEntry> entries;
    const std::string folded = FoldTitle(words);
    if (folded.empty() || limit == 0) {
        return entries;
    }
    const auto sql_limit = static_cast<std::int64_t>(std::min<std::size_t>(limit, INT32_MAX));
    std::vector<std::int64_t> taken;  // the ids listed so far, sorted
    const auto take = [&](SearchEntry entry, std::int64_t id) {
        const auto at = std::lower_bound(taken.begin(), taken.end(), id);
        if (entries.size() >= limit || (at != taken.end() && *at == id)) {
            return;
        }
        taken.insert(at, id);
        entries.push_back(std::move(entry));
    };

    // 1. The primary or original title equals the search: the two key indexes' lists, each in
    // id order, merged. A title's original key is NULL where it equals the primary one.
    {
        const auto exact = statements_->Get(std::string("SELECT ") + kEntryColumns +
                                            " FROM titles t WHERE t.primary_key = ?1"
                                            " UNION ALL SELECT " + kEntryColumns +
                                            " FROM titles t WHERE t.original_key = ?1"
                                            " ORDER BY 1 LIMIT ?2");
        exact->Bind(1, folded);
        exact->Bind(2, sql_limit);
        while (exact->Step()) {
            take(ReadEntry(*exact, true), exact->Int(0));
        }
    }
    // 2. One of its alternative titles equals the search, in id order.
    {
        const auto exact = statements_->Get(
            "SELECT title_key, coalesce(title, key), region"
            " FROM alternative_titles WHERE key = ?1 LIMIT ?2");
        exact->Bind(1, folded);
        exact->Bind(2, sql_limit);
        const auto title = statements_->Get(std::string("SELECT ") + kEntryColumns +
                                            " FROM titles t WHERE t.tconst = ?1");
        std::vector<std::pair<std::int64_t, SearchEntry>> found;
        while (exact->Step()) {
            const auto key = exact->Int(0);
            if (key <= 0 || key >= kIdKeyLimit) {
                continue;
            }
            const std::string tconst = IdText("tt", static_cast<std::uint32_t>(key));
            title->Bind(1, tconst);  // bound as it stands, not copied
            if (title->Step()) {
                SearchEntry entry = ReadEntry(*title, false);
                entry.matched_title = exact->Text(1);
                entry.matched_region = exact->Text(2);
                entry.exact_alternative = true;
                found.emplace_back(title->Int(0), std::move(entry));
            }
            sqlite3_reset(title->Handle());
        }
        std::sort(found.begin(), found.end(),
                  [](const auto& x, const auto& y) { return x.first < y.first; });
        for (auto& [id, entry] : found) {
            take(std::move(entry), id);
        }
    }
    const std::string terms = MatchTerms(folded);
    if (terms.empty() || entries.size() >= limit) {
        return entries;
    }
    // 3. Every word in one of its own titles, or in its alternative titles: the word index's
    // rows are numbered in the order of votes, so its first matches are the best ones. Which
    // of the two matched is told by the same test on the title's own folded keys; only for a
    // film found by its alternative titles are those read, to name the one that matched.
    const std::string match = "{primary_title primary_pairs} : " + terms +
                              " OR {original_title original_pairs} : " + terms +
                              " OR {alternative alternative_pairs} : " + terms;
    const auto matching =
        statements_->Get(std::string("SELECT ") + kEntryColumns +
                         ", t.primary_key, coalesce(t.original_key, '')"
                         " FROM title_words w CROSS JOIN titles t ON t.id = w.rowid"
                         " WHERE title_words MATCH ?1 ORDER BY w.rowid LIMIT ?2");
    matching->Bind(1, match);  // bound as it stands, not copied
    matching->Bind(2, sql_limit + static_cast<std::int64_t>(entries.size()));
    const auto alternatives = statements_->Get(
        "SELECT key, coalesce(title, key), region FROM alternative_titles WHERE title_key = ?1");
    while (entries.size() < limit && matching->Step()) {
        SearchEntry entry = ReadEntry(*matching, false);
        if (!TextMatchesTerms(matching->Text(6), folded) &&
            !TextMatchesTerms(matching->Text(7), folded)) {
            NameMatchedAlternative(*alternatives, folded, entry);
        }
        take(std::move(entry), matching->Int(0));
    }
    return entries;
}

void FilmDatabase::NameMatchedAlternative(SqliteStatement& alternatives, std::string_view folded,
                                          SearchEntry& entry) const {
    const std::optional<std::uint32_t> key = IdKey(entry.tconst, "tt");
    if (!key) {
        return;
    }
    alternatives.Bind(1, static_cast<std::int64_t>(*key));
    while (alternatives.Step()) {
        if (TextMatchesTerms(alternatives.Text(0), folded)) {
            entry.matched_title = alternatives.Text(1);
            entry.matched_region = alternatives.Text(2);
            break;
        }
    }
    sqlite3_reset(alternatives.Handle());
}

std::vector<SearchEntry> FilmDatabase::SearchLegacy(std::string_view words,
                                                    std::size_t limit) const {
    std::vector<SearchEntry> entries;
    const std::string folded = LegacyFold(words);
    if (folded.empty() || limit == 0) {
        return entries;
    }
    const auto sql_limit = static_cast<std::int64_t>(std::min<std::size_t>(limit, INT32_MAX));
    // The exact matches: each index gives its titles in id order already, so the two lists
    // are merged here rather than sorted by SQLite. A title's original key is NULL where it
    // equals the primary one, so no title is in both.
    std::vector<SearchEntry> by_key[2];
    std::vector<std::int64_t> ids_by_key[2];
    const char* const key_columns[2] = {"t.primary_key", "t.original_key"};
    for (int k = 0; k < 2; ++k) {
        SqliteStatement exact(db_, std::string("SELECT ") + kEntryColumns +
                                       " FROM titles t WHERE " + key_columns[k] +
                                       " = ?1 ORDER BY t.id LIMIT ?2");
        exact.Bind(1, folded);
        exact.Bind(2, sql_limit);
        while (exact.Step()) {
            ids_by_key[k].push_back(exact.Int(0));
            by_key[k].push_back(ReadEntry(exact, true));
        }
    }
    std::vector<std::int64_t> exact_ids;
    std::size_t p = 0;
    std::size_t o = 0;
    while (entries.size() < limit && (p < by_key[0].size() || o < by_key[1].size())) {
        const int k =
            o == by_key[1].size() || (p < by_key[0].size() && ids_by_key[0][p] < ids_by_key[1][o])
                ? 0
                : 1;
        std::size_t& at = k == 0 ? p : o;
        exact_ids.push_back(ids_by_key[k][at]);
        entries.push_back(std::move(by_key[k][at++]));
    }
    const std::string match = LegacyMatchExpression(folded);
    if (match.empty() || entries.size() >= limit) {
        return entries;
    }
    // The word index's rows are numbered in the order of votes: its first matches are the
    // best ones. The exact matches are among them and are left out here.
    SqliteStatement matching(db_, std::string("SELECT ") + kEntryColumns +
                                      " FROM title_words w CROSS JOIN titles t ON t.id = w.rowid"
                                      " WHERE title_words MATCH ?1 ORDER BY w.rowid LIMIT ?2");
    matching.Bind(1, match);
    matching.Bind(2, sql_limit + static_cast<std::int64_t>(exact_ids.size()));
    std::sort(exact_ids.begin(), exact_ids.end());
    while (entries.size() < limit && matching.Step()) {
        if (!std::binary_search(exact_ids.begin(), exact_ids.end(), matching.Int(0))) {
            entries.push_back(ReadEntry(matching, false));
        }
    }
    return entries;
}

std::optional<FilmRecord> FilmDatabase::ReadFilm(std::string_view tconst) const {
    SqliteStatement film(db_,
                         "SELECT t.tconst, t.type, t.primary_title, t.original_title, t.year, "
                         "t.minutes, t.genres, t.rating, t.votes, d.name, l.name, t.lead_character "
                         "FROM titles t LEFT JOIN names d ON d.nconst = t.director "
                         "LEFT JOIN names l ON l.nconst = t.lead WHERE t.tconst = ?1");
    film.Bind(1, tconst);
    if (!film.Step()) {
        return std::nullopt;
    }
    FilmRecord record;
    record.tconst = film.Text(0);
    record.type = film.Text(1);
    record.primary_title = film.Text(2);
    record.original_title = film.IsNull(3) ? record.primary_title : std::string(film.Text(3));
    record.year = film.OptionalInt(4);
    record.minutes = film.OptionalInt(5);
    record.genres = SplitGenres(film.Text(6));
    record.rating = film.Text(7);
    record.votes = film.Int(8);
    record.director = film.Text(9);
    record.lead = film.Text(10);
    record.lead_character = film.Text(11);
    return record;
}

DatabaseStatus FilmDatabase::ReadStatus() const {
    // The files in the order of the data sets' own list.
    const auto rank = [](std::string_view name) {
        return static_cast<std::size_t>(
            std::find_if(std::begin(DatasetFiles), std::end(DatasetFiles),
                         [name](const DatasetFile& file) { return file.name == name; }) -
            std::begin(DatasetFiles));
    };
    const auto known = [&rank](std::string_view name) {
        return rank(name) < std::size(DatasetFiles);
    };
    DatabaseStatus status;
    status.path = path_;
    SqliteStatement meta(db_, "SELECT key, value FROM meta ORDER BY key");
    const std::string_view date_prefix = "date:";
    const std::string_view size_prefix = "size:";
    const std::string_view rows_prefix = "rows:";
    while (meta.Step()) {
        const std::string_view key = meta.Text(0);
        const std::string_view value = meta.Text(1);
        if (key == "built_at") {
            status.built_at = value;
        } else if (key == "titles") {
            status.titles = Count(value);
        } else if (key == "names") {
            status.names = Count(value);
        } else if (key == "skipped_rows") {
            status.skipped_rows = Count(value);
        } else if (key == "alternative_titles") {
            status.alternative_titles = Count(value);
        } else if (key == "schema_version") {
            status.schema_version = static_cast<int>(Count(value));
        } else if (key.starts_with(date_prefix) && known(key.substr(date_prefix.size()))) {
            // Only the data sets' files: a database someone else made may hold any keys.
            status.file_dates.emplace_back(key.substr(date_prefix.size()), value);
        } else if (key.starts_with(size_prefix) && known(key.substr(size_prefix.size()))) {
            status.file_sizes.emplace_back(key.substr(size_prefix.size()),
                                           static_cast<std::uint64_t>(Count(value)));
        } else if (key.starts_with(rows_prefix) && known(key.substr(rows_prefix.size()))) {
            status.file_rows.emplace_back(
                key.substr(rows_prefix.size()),
                static_cast<std::uint64_t>(std::max<std::int64_t>(Count(value), 0)));
        }
    }
    status.has_alternative_titles =
        std::any_of(status.file_dates.begin(), status.file_dates.end(),
                    [](const auto& name_date) { return name_date.first == AkasFileName; });
    std::sort(status.file_dates.begin(), status.file_dates.end(),
              [&](const auto& a, const auto& b) { return rank(a.first) < rank(b.first); });
    struct stat info {};
    if (::stat(path_.c_str(), &info) == 0) {
        status.size_bytes = info.st_size;
    }
    return status;
}

std::string AlternativeTitlesText(const DatabaseStatus& status) {
    if (status.schema_version < 2) {
        return "none: the database was built by an earlier Korvid; an update adds the "
               "alternative titles";
    }
    if (!status.has_alternative_titles) {
        return std::string("none: ") + AkasFileName +
               " was not among the files it was built from; an update from the site adds the "
               "alternative titles";
    }
    return std::to_string(status.alternative_titles);
}

}  // namespace korvid::dataset
