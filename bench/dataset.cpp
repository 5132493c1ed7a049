// The local film database: the whole build from a local folder of the data-set files (the
// alternative titles when the folder has them) beside zcat of the same files to /dev/null in
// the same run (the ratio, the build's peak memory,
// the database's size), and a search and a film lookup over 100 typical queries (the median
// and the slowest).
//
// The files: KORVID_BENCH_DATASETS names a folder that holds them (the database is written
// there too); without it they are generated into a temporary folder by make_datasets at the
// scale KORVID_BENCH_SCALE (default 0.1, a tenth of the full files). The build runs in a
// child process (this program with --build-child) so that its peak memory is its own.

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/child_run.h"
#include "dataset/database_build.h"
#include "dataset/film_database.h"
#include "dataset/search_terms.h"
#include "dataset/text_fold.h"
#include "tests/support/temp_dir.h"

namespace {

const char* const kFiles[] = {"title.basics.tsv.gz", "title.ratings.tsv.gz",
                              "title.crew.tsv.gz",   "title.principals.tsv.gz",
                              "name.basics.tsv.gz",  "title.akas.tsv.gz"};

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// The files of the folder; the alternative titles only when it has them (a folder written
// by an earlier make_datasets has not).
korvid::dataset::BuildSources Sources(const std::string& folder) {
    const auto file = [&](const char* name) {
        const std::string path = folder + "/" + name;
        return Exists(path) ? korvid::dataset::SourceFile{path, "2026-12-06T00:00:00Z"}
                            : korvid::dataset::SourceFile{};
    };
    return {file(kFiles[0]), file(kFiles[1]), file(kFiles[2]),
            file(kFiles[3]), file(kFiles[4]), file(kFiles[5])};
}

// The folder of the files, generated once per run unless KORVID_BENCH_DATASETS names one.
class Datasets {
  public:
    static Datasets& Get() {
        static Datasets datasets;
        return datasets;
    }
    const std::string& Folder() const { return folder_; }
    std::string Database() const { return folder_ + "/films.sqlite"; }
    bool Ready() const { return ready_; }

    // The database, built in this process when the build benchmark has not made it.
    korvid::dataset::FilmDatabase& Open() {
        if (!db_) {
            struct stat info {};
            if (::stat(Database().c_str(), &info) != 0) {
                korvid::dataset::BuildDatabase(Sources(folder_), Database());
            }
            db_ = std::make_unique<korvid::dataset::FilmDatabase>(Database());
        }
        return *db_;
    }

  private:
    Datasets() {
        if (const char* given = std::getenv("KORVID_BENCH_DATASETS")) {
            folder_ = given;
            ready_ = true;
            return;
        }
        temp_ = std::make_unique<korvid::test_support::TempDir>();
        folder_ = temp_->Path();
        const char* scale = std::getenv("KORVID_BENCH_SCALE");
        const auto run = korvid::bench::RunQuietly(
            {KORVID_MAKE_DATASETS, folder_, scale != nullptr ? scale : "0.1"});
        ready_ = run.exit_code == 0;
    }

    std::unique_ptr<korvid::test_support::TempDir> temp_;
    std::string folder_;
    bool ready_ = false;
    std::unique_ptr<korvid::dataset::FilmDatabase> db_;
};

std::int64_t FileSize(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_size : 0;
}

void BM_BuildBesideZcat(benchmark::State& state) {
    Datasets& datasets = Datasets::Get();
    if (!datasets.Ready()) {
        state.SkipWithError("no data-set files");
        return;
    }
    std::vector<std::string> zcat = {"/bin/zcat"};
    std::int64_t compressed = 0;
    for (const char* name : kFiles) {
        const std::string path = datasets.Folder() + "/" + name;
        if (Exists(path)) {
            zcat.push_back(path);
            compressed += FileSize(path);
        }
    }
    // The search benchmarks after this one use the database it leaves.
    const std::string db = datasets.Database();
    double zcat_seconds = 0;
    double build_seconds = 0;
    double zcat_cpu = 0;
    double build_cpu = 0;
    long peak_kb = 0;
    for (auto _ : state) {
        const auto unzip = korvid::bench::RunQuietly(zcat);
        const auto build =
            korvid::bench::RunQuietly({"/proc/self/exe", "--build-child", datasets.Folder(), db});
        if (unzip.exit_code != 0 || build.exit_code != 0) {
            state.SkipWithError("zcat or the build failed");
            break;
        }
        zcat_seconds += unzip.seconds;
        build_seconds += build.seconds;
        zcat_cpu += unzip.cpu_seconds;
        build_cpu += build.cpu_seconds;
        peak_kb = std::max(peak_kb, build.max_rss_kb);
        state.SetIterationTime(build.seconds);
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["zcat_s"] = zcat_seconds / runs;
    state.counters["build_s"] = build_seconds / runs;
    state.counters["ratio"] = build_seconds / zcat_seconds;
    // Processor time, every thread: what the build costs beside zcat on a busy machine.
    state.counters["zcat_cpu_s"] = zcat_cpu / runs;
    state.counters["build_cpu_s"] = build_cpu / runs;
    state.counters["cpu_ratio"] = build_cpu / zcat_cpu;
    state.counters["peak_MiB"] = static_cast<double>(peak_kb) / 1024.0;
    state.counters["gz_MiB"] = static_cast<double>(compressed) / (1024.0 * 1024.0);
    state.counters["db_MiB"] = static_cast<double>(FileSize(db)) / (1024.0 * 1024.0);
    try {
        const auto status = korvid::dataset::FilmDatabase(db).Status();
        state.counters["titles"] = static_cast<double>(status.titles);
        state.counters["names"] = static_cast<double>(status.names);
    } catch (const korvid::dataset::DatasetError& error) {
        state.SkipWithError(error.what());
    }
}
BENCHMARK(BM_BuildBesideZcat)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);

// One column of 100 titles spread evenly over the database's vote order (popular and
// obscure alike), the same in every run; offset picks where in each stretch.
std::vector<std::string> SpreadTitles(const std::string& db_path, const char* column, int offset) {
    std::vector<std::string> values;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(db_path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        const std::string sql =
            std::string("SELECT ") + column +
            " FROM titles WHERE id % (SELECT MAX(id) / 100 + 1 FROM titles) = " +
            std::to_string(offset) + " ORDER BY id LIMIT 100";
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            values.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return values;
}

// 100 typical searches: the spread titles as typed whole, in lower case without accents, by
// their first word, and by their first two words.
std::vector<std::string> TypicalQueries(const std::string& db_path) {
    const std::vector<std::string> titles = SpreadTitles(db_path, "primary_title", 1);
    std::vector<std::string> queries;
    for (std::size_t i = 0; i < titles.size(); ++i) {
        const std::string& title = titles[i];
        switch (i % 4) {
            case 0:
                queries.push_back(title);
                break;
            case 1:
                queries.push_back(korvid::dataset::LegacyFold(title));
                break;
            case 2:
                queries.push_back(title.substr(0, title.find(' ')));
                break;
            default: {
                const auto second = title.find(' ', title.find(' ') + 1);
                queries.push_back(title.substr(0, second));
            }
        }
    }
    return queries;
}

double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Each query five times; its time is the median of the five, in wall time and in this
// thread's processor time (which a busy machine stretches less). Counters: the median and the
// slowest of the queries' times, in ms.
template <typename Query>
void TimeEach(benchmark::State& state, const std::vector<std::string>& inputs, Query query) {
    std::vector<double> times;
    std::vector<double> cpu_times;
    std::size_t results = 0;
    for (auto _ : state) {
        times.clear();
        cpu_times.clear();
        for (const std::string& input : inputs) {
            double runs[5];
            double cpu_runs[5];
            for (int i = 0; i < 5; ++i) {
                const double cpu_start = ThreadCpuMs();
                const auto start = std::chrono::steady_clock::now();
                results += query(input);
                runs[i] = std::chrono::duration<double, std::milli>(
                              std::chrono::steady_clock::now() - start)
                              .count();
                cpu_runs[i] = ThreadCpuMs() - cpu_start;
            }
            std::sort(std::begin(runs), std::end(runs));
            std::sort(std::begin(cpu_runs), std::end(cpu_runs));
            times.push_back(runs[2]);
            cpu_times.push_back(cpu_runs[2]);
        }
    }
    std::sort(times.begin(), times.end());
    std::sort(cpu_times.begin(), cpu_times.end());
    state.counters["queries"] = static_cast<double>(times.size());
    state.counters["median_ms"] = times.empty() ? 0 : times[times.size() / 2];
    state.counters["slowest_ms"] = times.empty() ? 0 : times.back();
    state.counters["median_cpu_ms"] = cpu_times.empty() ? 0 : cpu_times[cpu_times.size() / 2];
    state.counters["slowest_cpu_ms"] = cpu_times.empty() ? 0 : cpu_times.back();
    state.counters["results"] = static_cast<double>(results);
    double sum = 0;
    for (const double time : times) {
        sum += time;
    }
    state.counters["sum_ms"] = sum;
}

void BM_Search100Typical(benchmark::State& state) {
    if (!Datasets::Get().Ready()) {
        state.SkipWithError("no data-set files");
        return;
    }
    auto& db = Datasets::Get().Open();
    const auto queries = TypicalQueries(Datasets::Get().Database());
    TimeEach(state, queries,
             [&](const std::string& words) { return db.Search(words, 200).size(); });
}
BENCHMARK(BM_Search100Typical)->Unit(benchmark::kMillisecond)->Iterations(1);

// 100 searches by alternative titles outside Latin script (Cyrillic, Greek, Japanese, Chinese,
// Korean), spread over the database: as typed, in lower case, and for the Japanese, Chinese
// and Korean ones two characters from inside. Beside each, the same full-text question asked
// of SQLite directly, as one would ask it in the sqlite3 shell: the titles whose row of the
// word index matches, best first, the first 200, with the columns a list shows. Counters: the
// medians and the slowest of both, the ratio of the medians, and that of the sums of the
// queries' times.
std::vector<std::string> OtherScriptQueries(const std::string& db_path) {
    std::vector<std::string> titles;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(db_path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT coalesce(title, key) FROM alternative_titles "
                                   "WHERE unicode(key) >= 880 AND title_key % 101 = 7 LIMIT 100",
                               -1, &statement, nullptr) == SQLITE_OK) {
            while (sqlite3_step(statement) == SQLITE_ROW) {
                titles.emplace_back(
                    reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
            }
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    std::vector<std::string> queries;
    for (std::size_t i = 0; i < titles.size(); ++i) {
        const std::string folded = korvid::dataset::FoldTitle(titles[i]);
        const unsigned char lead = folded.empty() ? 0 : static_cast<unsigned char>(folded[0]);
        // A CJK title (three-byte UTF-8 letters): two characters from inside it.
        if (i % 3 == 2 && lead >= 0xE3 && folded.size() >= 9) {
            queries.push_back(folded.substr(3, 6));
        } else {
            queries.push_back(i % 2 == 0 ? titles[i] : folded);
        }
    }
    return queries;
}

void BM_SearchOtherScriptsBesideSqlite(benchmark::State& state) {
    if (!Datasets::Get().Ready()) {
        state.SkipWithError("no data-set files");
        return;
    }
    auto& db = Datasets::Get().Open();
    const auto queries = OtherScriptQueries(Datasets::Get().Database());
    sqlite3* raw = nullptr;
    sqlite3_open_v2(Datasets::Get().Database().c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    const auto plain = [raw](const std::string& words) {
        const std::string terms = korvid::dataset::MatchTerms(korvid::dataset::FoldTitle(words));
        const std::string match = "{primary_title primary_pairs} : " + terms +
                                  " OR {original_title original_pairs} : " + terms +
                                  " OR {alternative alternative_pairs} : " + terms;
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(raw,
                           "SELECT t.id, t.tconst, t.type, t.primary_title, t.year, t.votes "
                           "FROM title_words w CROSS JOIN titles t ON t.id = w.rowid "
                           "WHERE title_words MATCH ?1 ORDER BY w.rowid LIMIT 200",
                           -1, &statement, nullptr);
        sqlite3_bind_text(statement, 1, match.c_str(), -1, SQLITE_TRANSIENT);
        std::size_t rows = 0;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            ++rows;
        }
        sqlite3_finalize(statement);
        return rows;
    };
    TimeEach(state, queries,
             [&](const std::string& words) { return db.Search(words, 200).size(); });
    const double korvid_median = state.counters["median_ms"];
    std::vector<double> plain_times;
    for (const std::string& words : queries) {
        double runs[5];
        for (double& run : runs) {
            const auto start = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(plain(words));
            run = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                           start)
                      .count();
        }
        std::sort(std::begin(runs), std::end(runs));
        plain_times.push_back(runs[2]);
    }
    sqlite3_close(raw);
    std::sort(plain_times.begin(), plain_times.end());
    const double plain_median = plain_times.empty() ? 0 : plain_times[plain_times.size() / 2];
    state.counters["sqlite_median_ms"] = plain_median;
    state.counters["sqlite_slowest_ms"] = plain_times.empty() ? 0 : plain_times.back();
    state.counters["ratio"] = plain_median > 0 ? korvid_median / plain_median : 0;
    double plain_sum = 0;
    for (const double time : plain_times) {
        plain_sum += time;
    }
    state.counters["sqlite_sum_ms"] = plain_sum;
    state.counters["sum_ratio"] = plain_sum > 0 ? state.counters["sum_ms"] / plain_sum : 0;
}
BENCHMARK(BM_SearchOtherScriptsBesideSqlite)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Film100Typical(benchmark::State& state) {
    if (!Datasets::Get().Ready()) {
        state.SkipWithError("no data-set files");
        return;
    }
    auto& db = Datasets::Get().Open();
    const auto ids = SpreadTitles(Datasets::Get().Database(), "tconst", 7);
    TimeEach(state, ids, [&](const std::string& id) { return db.Film(id) ? 1u : 0u; });
}
BENCHMARK(BM_Film100Typical)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--build-child") {
        try {
            korvid::dataset::BuildDatabase(Sources(argv[2]), argv[3]);
            return 0;
        } catch (const std::exception& error) {
            std::fprintf(stderr, "%s\n", error.what());
            return 1;
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
