#include "dataset/database_build.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <stop_token>
#include <utility>

#include "dataset/build_file.h"
#include "dataset/build_limits.h"
#include "dataset/build_tables.h"
#include "dataset/database_path.h"
#include "dataset/database_schema.h"
#include "dataset/film_database.h"
#include "dataset/gzip_lines.h"
#include "dataset/source_files.h"
#include "dataset/search_terms.h"
#include "dataset/sqlite_db.h"
#include "dataset/text_fold.h"
#include "dataset/tsv_row.h"

namespace korvid::dataset {

namespace {

constexpr const char* kBasicsName = "title.basics.tsv.gz";
constexpr const char* kRatingsName = "title.ratings.tsv.gz";
constexpr const char* kCrewName = "title.crew.tsv.gz";
constexpr const char* kPrincipalsName = "title.principals.tsv.gz";
constexpr const char* kNamesName = "name.basics.tsv.gz";

// What a build keeps of the database it would replace, to refuse one far smaller: its titles
// and the rows each file gave it. Nothing (no guard) when there is none, it cannot be read,
// or the build is forced.
struct Replaced {
    std::int64_t titles = 0;
    std::map<std::string, std::uint64_t, std::less<>> rows;

    std::uint64_t RowsOf(std::string_view name) const {
        const auto found = rows.find(name);
        return found != rows.end() ? found->second : 0;
    }
};

Replaced ToReplace(const std::string& db_path) {
    Replaced replaced;
    try {
        const DatabaseStatus status = FilmDatabase(db_path).Status();
        replaced.titles = status.titles;
        replaced.rows.insert(status.file_rows.begin(), status.file_rows.end());
    } catch (const DatasetError&) {
        // It protects nothing then.
    }
    return replaced;
}

// Reads the rows of one file after its header, telling the progress a few times a second.
// Refuses the file once read when it gave fewer than half of rows_before (TooFewRows).
class RowReader {
  public:
    RowReader(const std::string& path, const char* name, int number, std::string_view header,
              const BuildProgressCallback& progress, const std::stop_token& stop,
              const Replaced& replaced)
        : lines_(path, name),
          number_(number),
          header_(header),
          progress_(progress),
          stop_(stop),
          count_(name),
          rows_before_(replaced.RowsOf(name)) {}

    const std::string& Name() const { return lines_.Name(); }
    std::uint64_t Rows() const { return rows_; }

    // Calls on_row with each row's text, without its line end; a blank line is a malformed
    // row. on_row counts the malformed rows in skipped.
    template <typename OnRow>
    void ReadAll(std::int64_t& skipped, OnRow on_row) {
        try {
            ReadRows(skipped, on_row);
        } catch (const LimitReached& limit) {
            throw DatasetError(lines_.Name() + ": " + limit.what());
        }
        if (rows_ < rows_before_ - rows_before_ / 2) {
            throw TooFewRows(lines_.Name(), rows_, rows_before_);
        }
    }

  private:
    template <typename OnRow>
    void ReadRows(std::int64_t& skipped, OnRow& on_row) {
        std::string_view line;
        if (!lines_.Next(line) || TrimLineEnd(line) != header_) {
            throw DatasetError(lines_.Name() + ": not a data-set file");
        }
        Report();
        auto last_report = std::chrono::steady_clock::now();
        while (lines_.Next(line)) {
            if (stop_.stop_requested()) {
                throw BuildCancelled();
            }
            line = TrimLineEnd(line);
            ++rows_;
            count_.Row();
            const std::int64_t skipped_before = skipped;
            if (line.empty()) {
                ++skipped;
            } else {
                on_row(line);
            }
            if (skipped != skipped_before) {
                count_.Malformed(static_cast<std::uint64_t>(skipped - skipped_before));
            }
            if ((rows_ & 0xFFF) == 0 && progress_) {
                const auto now = std::chrono::steady_clock::now();
                if (now - last_report >= std::chrono::milliseconds(250)) {
                    last_report = now;
                    Report();
                }
            }
        }
        Report();
    }

    void Report() {
        if (progress_) {
            progress_(BuildProgress{lines_.Name(), lines_.CompressedRead(), lines_.CompressedSize(),
                                    rows_, BuildProgress::Phase::Reading, number_});
        }
    }

    GzipLines lines_;
    int number_;
    std::string_view header_;
    const BuildProgressCallback& progress_;
    const std::stop_token& stop_;
    std::uint64_t rows_ = 0;
    RowCount count_;
    std::uint64_t rows_before_;
};

// Ends the connection's statements once a stop is asked: a running one at once (interrupted
// from the thread that asks), and any later one at its first steps (the progress handler), so
// the long index statements end within a second too.
class StatementStop {
  public:
    StatementStop(sqlite3* db, const std::stop_token& stop)
        : db_(db), stop_(stop), interrupt_(stop, [db] { sqlite3_interrupt(db); }) {
        sqlite3_progress_handler(db_, 1000, &StatementStop::Asked, this);
    }
    ~StatementStop() { sqlite3_progress_handler(db_, 0, nullptr, nullptr); }
    StatementStop(const StatementStop&) = delete;
    StatementStop& operator=(const StatementStop&) = delete;

  private:
    static int Asked(void* self) {
        return static_cast<StatementStop*>(self)->stop_.stop_requested() ? 1 : 0;
    }

    sqlite3* db_;
    std::stop_token stop_;
    std::stop_callback<std::function<void()>> interrupt_;
};

std::string UtcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

void ReadRatings(RowReader& reader, RatingTable& ratings, std::int64_t& skipped) {
    reader.ReadAll(skipped, [&](std::string_view line) {
        const auto row = ParseRatingsRow(line);
        if (!row || row->out_of_range) {
            ++skipped;
        }
        if (row) {
            ratings.Add(*row);
        }
    });
    ratings.Finish();
}

void ReadBasics(RowReader& reader, TitleTable& titles, std::int64_t& skipped) {
    reader.ReadAll(skipped, [&](std::string_view line) {
        const auto row = ParseBasicsRow(line);
        if (!row || row->out_of_range) {
            ++skipped;
        }
        if (row && row->type != "tvEpisode") {
            titles.Add(*row);
        }
    });
    titles.Finish();
}

void ReadCrew(RowReader& reader, TitleTable& titles, std::int64_t& skipped) {
    reader.ReadAll(skipped, [&](std::string_view line) {
        const auto row = ParseCrewRow(line);
        if (!row) {
            ++skipped;
            return;
        }
        if (row->first_director.empty()) {
            return;
        }
        KeptTitle* title = titles.Find(row->key);
        if (title != nullptr && title->director == kNoName) {
            title->director = row->director_key;
        }
    });
}

void ReadPrincipals(RowReader& reader, TitleTable& titles, std::int64_t& skipped) {
    reader.ReadAll(skipped, [&](std::string_view line) {
        const auto row = ParsePrincipalsRow(line);
        if (!row) {
            ++skipped;
            return;
        }
        if (!titles.Has(row->key) || !IsLeadCategory(row->category)) {
            return;
        }
        KeptTitle* title = titles.Find(row->key);
        if (title == nullptr || row->ordering >= title->lead_ordering) {
            return;
        }
        const auto character = FirstCharacter(row->characters);
        if (!character) {
            ++skipped;
            return;
        }
        title->lead = row->name_key;
        title->lead_ordering = row->ordering;
        titles.SetLeadCharacter(*title, *character);
    });
}

// Each kept title's numeric key with its id in the database, sorted by key.
using TitleIds = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

// Writes the kept titles numbered in the order of votes (most first), and marks the names
// they refer to.
std::int64_t InsertTitles(sqlite3* db, TitleTable& titles, const RatingTable& ratings,
                          IdSet& needed_names, TitleIds& ids) {
    struct Ranked {
        std::int64_t votes;
        std::uint32_t index;
    };
    KeptTitles& kept = titles.Titles();
    std::vector<Ranked> order;
    order.reserve(kept.size());
    for (std::uint32_t i = 0; i < kept.size(); ++i) {
        const RatingEntry* rating = ratings.Find(kept[i].key);
        order.push_back({rating != nullptr ? rating->votes : 0, i});
    }
    // Titles are in key order, so equal votes keep the identifiers' order (and the sort needs
    // no buffer).
    std::sort(order.begin(), order.end(), [](const Ranked& a, const Ranked& b) {
        return a.votes != b.votes ? a.votes > b.votes : a.index < b.index;
    });

    SqliteStatement insert(
        db,
        "INSERT INTO titles(id, tconst, type, primary_title, original_title, "
        "year, minutes, genres, rating, votes, director, lead, lead_character, "
        "primary_key, original_key) "
        "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15)");
    const TextStore& texts = titles.Texts();
    std::int64_t id = 0;
    for (const Ranked& ranked : order) {
        const KeptTitle& title = kept[ranked.index];
        const RatingEntry* rating = ratings.Find(title.key);
        const std::string tconst = IdText("tt", title.key);
        const std::string_view primary = texts.Get(title.primary_title);
        const std::string_view original = texts.Get(title.original_title);
        const std::string primary_key = FoldTitle(primary);
        const std::string original_key = FoldTitle(original);
        const std::string director = title.director != kNoName ? IdText("nm", title.director) : "";
        const std::string lead = title.lead != kNoName ? IdText("nm", title.lead) : "";
        insert.Bind(1, ++id);
        insert.Bind(2, tconst);
        insert.Bind(3, texts.Get(title.type));
        insert.Bind(4, primary);
        if (original == primary) {
            insert.BindNull(5);
        } else {
            insert.Bind(5, original);
        }
        insert.BindOptional(6, title.year >= 0 ? std::optional<int>(title.year) : std::nullopt);
        insert.BindOptional(7,
                            title.minutes >= 0 ? std::optional<int>(title.minutes) : std::nullopt);
        insert.Bind(8, texts.Get(title.genres));
        insert.BindTextOrNull(9, rating != nullptr ? rating->Rating() : "");
        insert.Bind(10, ranked.votes);
        insert.BindTextOrNull(11, director);
        insert.BindTextOrNull(12, lead);
        insert.BindTextOrNull(13, texts.Get(title.lead_character));
        insert.Bind(14, primary_key);
        if (original_key == primary_key) {
            insert.BindNull(15);
        } else {
            insert.Bind(15, original_key);
        }
        insert.Run();
        ids.emplace_back(title.key, static_cast<std::uint32_t>(id));
        if (title.director != kNoName) {
            needed_names.Add(title.director);
        }
        if (title.lead != kNoName) {
            needed_names.Add(title.lead);
        }
    }
    std::sort(ids.begin(), ids.end());
    return id;
}

std::int64_t ReadNames(RowReader& reader, sqlite3* db, const IdSet& needed, std::int64_t& skipped) {
    SqliteStatement insert(db, "INSERT OR IGNORE INTO names(nconst, name) VALUES(?1, ?2)");
    std::int64_t names = 0;
    NameTexts texts;
    reader.ReadAll(skipped, [&](std::string_view line) {
        const auto row = ParseNamesRow(line);
        if (!row) {
            ++skipped;
            return;
        }
        if (!needed.Has(row->key) || row->name.empty()) {
            return;
        }
        insert.Bind(1, row->nconst);
        insert.Bind(2, texts.Clean(row->name));
        insert.Run();
        if (sqlite3_changes(db) > 0) {
            ++names;
            texts.Kept();
        }
    });
    return names;
}

// Reads title.akas, streaming: a title's rows come one after another, so each group is
// decided on its own. A row is kept for a kept title when its folded title differs from the
// title's primary and original keys and from the alternative titles kept before it in the
// group; it is written with its region and language, never held beyond its group. Returns
// the rows kept.
std::int64_t ReadAkas(RowReader& reader, sqlite3* db, const TitleIds& ids, std::int64_t& skipped) {
    SqliteStatement keys(db, "SELECT primary_key, coalesce(original_key, '') FROM titles"
                             " WHERE id = ?1");
    SqliteStatement insert(db,
                           "INSERT OR IGNORE INTO alternative_titles(title_key, key, title, "
                           "region, language) VALUES(?1, ?2, ?3, ?4, ?5)");
    struct Kept {
        std::string key;
        std::string title;
        std::string region;
        std::string language;
    };
    std::uint32_t group_key = 0;
    bool started = false;
    bool group_kept = false;
    std::uint64_t rows = 0;
    std::string primary_key;
    std::string original_key;
    std::vector<Kept> group;
    std::int64_t kept = 0;
    std::uint64_t bytes = 0;
    std::string scratch;
    const auto flush = [&] {
        // In key order, as the table's own order: each insert goes at the end of its title.
        std::sort(group.begin(), group.end(),
                  [](const Kept& a, const Kept& b) { return a.key < b.key; });
        for (const Kept& row : group) {
            insert.Bind(1, static_cast<std::int64_t>(group_key));
            insert.Bind(2, row.key);
            insert.BindTextOrNull(3, row.title == row.key ? std::string_view() : row.title);
            insert.BindTextOrNull(4, row.region);
            insert.BindTextOrNull(5, row.language);
            insert.Run();
            kept += sqlite3_changes(db);
            bytes += row.key.size() + row.title.size();
            if (bytes > kMostAlternativeBytes) {
                throw LimitReached("more alternative titles than a build keeps (over " +
                                   std::to_string(kMostAlternativeBytes >> 20) + " MiB)");
            }
        }
        group.clear();
    };
    const auto start_group = [&](std::uint32_t key) {
        flush();
        group_key = key;
        const auto found = std::lower_bound(ids.begin(), ids.end(), std::make_pair(key, 0u));
        group_kept = found != ids.end() && found->first == key;
        if (group_kept) {
            keys.Bind(1, static_cast<std::int64_t>(found->second));
            group_kept = keys.Step();
            primary_key = group_kept ? keys.Text(0) : "";
            original_key = group_kept ? keys.Text(1) : "";
            sqlite3_reset(keys.Handle());
        }
    };
    reader.ReadAll(skipped, [&](std::string_view line) {
        ++rows;
        const auto row = ParseAkasRow(line);
        if (!row) {
            ++skipped;
            return;
        }
        if (!started || row->key != group_key) {
            start_group(row->key);
            started = true;
        }
        if (!group_kept || group.size() >= kMostAlternativesPerTitle) {
            return;
        }
        const std::string title(CleanField(row->title, kLongestTitle, scratch));
        std::string key = FoldTitle(title);
        if (key.empty() || key == primary_key || key == original_key ||
            std::any_of(group.begin(), group.end(),
                        [&key](const Kept& other) { return other.key == key; })) {
            return;
        }
        group.push_back({std::move(key), title,
                         std::string(CleanField(row->region, kLongestType, scratch)),
                         std::string(CleanField(row->language, kLongestType, scratch))});
    });
    flush();
    // A file of a header alone is no list of alternative titles (a download emptied at its
    // source): a database built from it would lose them all without a word.
    if (rows == 0) {
        throw DatasetError(std::string(AkasFileName) + ": the file holds no rows");
    }
    return kept;
}

// Fills the word index, a row a title in id order: its folded titles and their pairs, and
// those of its alternative titles.
void FillWordIndex(sqlite3* db) {
    SqliteStatement titles(db, "SELECT id, tconst, primary_key, coalesce(original_key, '')"
                               " FROM titles ORDER BY id");
    SqliteStatement alternatives(db, "SELECT key FROM alternative_titles WHERE title_key = ?1");
    SqliteStatement insert(db,
                           "INSERT INTO title_words(rowid, primary_title, primary_pairs, "
                           "original_title, original_pairs, alternative, alternative_pairs) "
                           "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    const auto joined = [](std::string& text, std::string_view more) {
        if (!more.empty()) {
            text += text.empty() ? "" : " ";
            text += more;
        }
    };
    while (titles.Step()) {
        const std::string primary(titles.Text(2));
        const std::string original(titles.Text(3));
        const std::string primary_pairs = CjkPairs(primary);
        const std::string original_pairs = CjkPairs(original);
        std::string other_words;
        std::string other_pairs;
        if (const auto key = IdKey(titles.Text(1), "tt")) {
            alternatives.Bind(1, static_cast<std::int64_t>(*key));
            while (alternatives.Step()) {
                joined(other_words, alternatives.Text(0));
                joined(other_pairs, CjkPairs(alternatives.Text(0)));
            }
            sqlite3_reset(alternatives.Handle());
        }
        insert.Bind(1, titles.Int(0));
        insert.Bind(2, primary);
        insert.Bind(3, primary_pairs);
        insert.Bind(4, original);
        insert.Bind(5, original_pairs);
        insert.Bind(6, other_words);
        insert.Bind(7, other_pairs);
        insert.Run();
    }
}

// Writes what the database holds and where it came from: the counts, and each file's date,
// size and rows (the files read, a null for the alternative titles when there were none).
void WriteMeta(sqlite3* db, const BuildSources& sources, const BuildReport& report,
               std::initializer_list<const RowReader*> read) {
    SqliteStatement insert(db, "INSERT INTO meta(key, value) VALUES(?1, ?2)");
    const auto put = [&](const std::string& key, const std::string& value) {
        insert.Bind(1, key);
        insert.Bind(2, value);
        insert.Run();
    };
    put("schema_version", kSchemaVersion);
    put("built_at", UtcNow());
    put("titles", std::to_string(report.titles));
    put("names", std::to_string(report.names));
    put("skipped_rows", std::to_string(report.skipped_rows));
    put("alternative_titles", std::to_string(report.alternative_titles));
    const std::pair<const char*, const SourceFile*> files[] = {
        {kBasicsName, &sources.title_basics},   {kRatingsName, &sources.title_ratings},
        {kCrewName, &sources.title_crew},       {kPrincipalsName, &sources.title_principals},
        {kNamesName, &sources.name_basics},     {AkasFileName, &sources.title_akas}};
    for (const auto& [name, file] : files) {
        if (file->path.empty()) {
            continue;  // the alternative titles of a folder without them
        }
        put(std::string("date:") + name, file->date);
        if (file->size > 0) {
            put(std::string("size:") + name, std::to_string(file->size));
        }
    }
    for (const RowReader* reader : read) {
        if (reader != nullptr) {
            put("rows:" + reader->Name(), std::to_string(reader->Rows()));
        }
    }
    put("complete", "1");
}

}  // namespace

TooFewTitles::TooFewTitles(std::int64_t new_titles, std::int64_t old_titles)
    : SmallerThanBefore("the new film database holds " + std::to_string(new_titles) +
                        " titles, fewer than half the " + std::to_string(old_titles) +
                        " of the one it would replace; the old one is kept"),
      new_titles_(new_titles),
      old_titles_(old_titles) {}

TooFewRows::TooFewRows(std::string file, std::uint64_t new_rows, std::uint64_t old_rows)
    : SmallerThanBefore(file +
                        ": the new file holds fewer than half the rows of the copy "
                        "the film database was built from (" +
                        std::to_string(new_rows) + " of " + std::to_string(old_rows) +
                        "); the old database is kept"),
      file_(std::move(file)) {}

BuildReport BuildDatabase(const BuildSources& sources, const std::string& db_path,
                          const BuildProgressCallback& progress, std::stop_token stop,
                          bool force) {
    // A folder, a FIFO or a device at the path is refused before any work: it is never
    // opened nor renamed over.
    const Replaced replaced =
        DatabaseFilePresent(db_path) && !force ? ToReplace(db_path) : Replaced{};

    // Every file is opened first: a missing one fails before anything is written. They are
    // numbered in the order they are read.
    RowReader ratings_file(sources.title_ratings.path, kRatingsName, 1, kRatingsHeader, progress,
                           stop, replaced);
    RowReader basics_file(sources.title_basics.path, kBasicsName, 2, kBasicsHeader, progress, stop,
                          replaced);
    RowReader crew_file(sources.title_crew.path, kCrewName, 3, kCrewHeader, progress, stop,
                        replaced);
    RowReader principals_file(sources.title_principals.path, kPrincipalsName, 4, kPrincipalsHeader,
                              progress, stop, replaced);
    RowReader names_file(sources.name_basics.path, kNamesName, 5, kNamesHeader, progress, stop,
                         replaced);
    std::optional<RowReader> akas_file;
    if (!sources.title_akas.path.empty()) {
        akas_file.emplace(sources.title_akas.path, AkasFileName, 6, kAkasHeader, progress, stop,
                          replaced);
    }

    BuildFile file(db_path);
    SqliteConnection db(file.Path(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    try {
        // Ended before the connection closes: its end touches the connection.
        std::optional<StatementStop> statement_stop(std::in_place, db.Get(), stop);
        // The file is thrown away on any failure, so it needs no journal and no syncs.
        db.Exec(
            "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA locking_mode=EXCLUSIVE;"
            "PRAGMA cache_size=-131072;");
        db.Exec(kCreateTables);
        db.Exec("BEGIN");

        BuildReport report;
        IdSet needed_names;
        TitleIds ids;
        {
            RatingTable ratings;
            ReadRatings(ratings_file, ratings, report.skipped_rows);
            auto titles = std::make_unique<TitleTable>();
            ReadBasics(basics_file, *titles, report.skipped_rows);
            ReadCrew(crew_file, *titles, report.skipped_rows);
            ReadPrincipals(principals_file, *titles, report.skipped_rows);
            report.titles = InsertTitles(db.Get(), *titles, ratings, needed_names, ids);
        }
        report.names = ReadNames(names_file, db.Get(), needed_names, report.skipped_rows);
        if (akas_file) {
            report.alternative_titles = ReadAkas(*akas_file, db.Get(), ids, report.skipped_rows);
        }
        TitleIds().swap(ids);
        if (progress) {
            progress(BuildProgress{{}, 0, 0, 0, BuildProgress::Phase::Indexing, 0});
        }
        if (stop.stop_requested()) {
            throw BuildCancelled();
        }
        db.Exec(kCreateIndexes);
        FillWordIndex(db.Get());
        WriteMeta(db.Get(), sources, report,
                  {&ratings_file, &basics_file, &crew_file, &principals_file, &names_file,
                   akas_file ? &*akas_file : nullptr});
        db.Exec("COMMIT");
        if (stop.stop_requested()) {
            throw BuildCancelled();
        }
        statement_stop.reset();
        db.Close();
        if (report.titles * 2 < replaced.titles) {
            throw TooFewTitles(report.titles, replaced.titles);
        }
        DatabaseFilePresent(db_path);  // nothing else has taken the path during the build
        file.Commit();
        return report;
    } catch (const DatasetError&) {
        // A statement the stop interrupted fails with the database's own words.
        if (stop.stop_requested()) {
            throw BuildCancelled();
        }
        throw;
    }
}

}  // namespace korvid::dataset
