// The data-set update over a loopback server that serves the sample site's five files with
// ETag, Last-Modified and ranges, and can cut, refuse ranges or spoil a file on demand.

#include "client/dataset_download.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <clocale>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "dataset/film_database.h"
#include "loopback/loopback_server.h"
#include "sample-site/sample_site.h"
#include "tests/support/small_disk.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using dataset::DatasetError;
using loopback::HttpRequest;
using loopback::HttpResponse;
using loopback::LoopbackServer;
using test_support::ReadFileBytes;
using test_support::SmallDisk;
using test_support::TempDir;
using test_support::WriteFileBytes;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// The sample site's data-set files, served with what each test asks for.
class DatasetServer {
  public:
    DatasetServer() : files_(sample::SampleSite().Datasets()) {}

    std::string Base() const { return server_.BaseUrl() + "/datasets/"; }

    // The next `times` whole or partial answers for the file stop after `bytes` bytes.
    void Cut(const std::string& name, std::size_t bytes, int times) {
        std::lock_guard lock(mutex_);
        cut_file_ = name;
        cut_at_ = bytes;
        cuts_left_ = times;
    }
    // Every answer for the file comes in pieces of 64 bytes, 100 ms apart.
    void Slow(const std::string& name) {
        std::lock_guard lock(mutex_);
        slow_file_ = name;
    }
    void IgnoreRanges() {
        std::lock_guard lock(mutex_);
        ranges_ = false;
    }
    // A new version of the file: other bytes, another ETag, and with last_modified another
    // date.
    void Replace(const std::string& name, const std::string& gzip,
                 const std::string& last_modified = sample::DatasetsLastModified) {
        std::lock_guard lock(mutex_);
        files_[name] = {gzip, "\"v2-" + std::to_string(gzip.size()) + "\""};
        last_modified_[name] = last_modified;
    }
    const std::string& Gzip(const std::string& name) const { return files_.at(name).gzip; }

    // The requests for one file, oldest first.
    std::vector<HttpRequest> RequestsFor(const std::string& name) const {
        std::vector<HttpRequest> found;
        for (const HttpRequest& request : server_.Requests()) {
            if (request.target == "/datasets/" + name) {
                found.push_back(request);
            }
        }
        return found;
    }
    std::size_t RequestCount() const { return server_.Requests().size(); }

  private:
    HttpResponse Answer(const HttpRequest& received) {
        std::lock_guard lock(mutex_);
        const std::string prefix = "/datasets/";
        const std::string name = received.target.rfind(prefix, 0) == 0
                                     ? received.target.substr(prefix.size())
                                     : std::string();
        const auto file = files_.find(name);
        if (file == files_.end()) {
            return HttpResponse::WithStatus(404, "Not Found", "");
        }
        HttpRequest request = received;
        if (!ranges_) {
            std::erase_if(request.headers, [](const auto& header) {
                return header.first == "Range" || header.first == "If-Range";
            });
        }
        const auto date = last_modified_.find(name);
        HttpResponse response = loopback::ServeEntity(
            request, file->second.gzip, file->second.etag,
            date != last_modified_.end() ? date->second : sample::DatasetsLastModified);
        if (name == slow_file_) {
            response.piece_size = 64;
            response.piece_delay = std::chrono::milliseconds(100);
        }
        if (name == cut_file_ && cuts_left_ > 0 && !response.body.empty()) {
            response.cut_after = cut_at_;
            --cuts_left_;
        }
        return response;
    }

    std::mutex mutex_;
    std::map<std::string, sample::SampleSite::DatasetFile> files_;
    std::map<std::string, std::string> last_modified_;
    std::string slow_file_;
    std::string cut_file_;
    std::size_t cut_at_ = 0;
    int cuts_left_ = 0;
    bool ranges_ = true;
    LoopbackServer server_{[this](const HttpRequest& request) { return Answer(request); }};
};

class DatasetUpdateTest : public ::testing::Test {
  protected:
    DatasetDownloadOptions Options(const std::string& db_folder) const {
        DatasetDownloadOptions options;
        options.source = server_.Base();
        options.cache_folder = cache_.Dir();
        options.db_path = db_folder + "films.sqlite";
        options.http.low_speed_seconds = 2;
        return options;
    }
    DatasetDownloadOptions Options() const { return Options(data_.Dir()); }

    // The file names in a folder.
    static std::set<std::string> Files(const std::string& folder) {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    // Runs an update that must fail, and returns its cause.
    static std::string FailedUpdate(const DatasetDownloadOptions& options) {
        try {
            UpdateDatasets(options);
        } catch (const DatasetError& error) {
            return error.what();
        }
        ADD_FAILURE() << "the update did not fail";
        return {};
    }

    DatasetServer server_;
    TempDir cache_;
    TempDir data_;
};

TEST_F(DatasetUpdateTest, DownloadsTheFiveFilesAndBuildsTheDatabase) {
    const DatasetUpdateReport report = UpdateDatasets(Options());
    ASSERT_EQ(report.files.size(), 5u);
    for (const UpdatedFile& file : report.files) {
        EXPECT_EQ(file.origin, UpdatedFile::Origin::Downloaded) << file.name;
        EXPECT_EQ(ReadFileBytes(cache_.File(file.name)), server_.Gzip(file.name)) << file.name;
        EXPECT_EQ(file.date, "2026-12-06T00:00:00Z") << file.name;
    }
    EXPECT_GT(report.build.titles, 0);
    const dataset::DatabaseStatus status =
        dataset::FilmDatabase(data_.File("films.sqlite")).Status();
    EXPECT_EQ(status.titles, report.build.titles);
    EXPECT_EQ(Files(data_.Path()), std::set<std::string>{"films.sqlite"});
}

TEST_F(DatasetUpdateTest, UnchangedFilesAreAnswered304AndNotFetchedAgain) {
    UpdateDatasets(Options());
    ASSERT_EQ(server_.RequestCount(), 5u);
    server_.Replace("title.ratings.tsv.gz",
                    sample::GzipCompress("tconst\taverageRating\tnumVotes\ntt9000001\t9.9\t5\n"));

    const DatasetUpdateReport again = UpdateDatasets(Options());
    EXPECT_EQ(server_.RequestCount(), 10u) << "one request a file";
    for (const UpdatedFile& file : again.files) {
        const std::vector<HttpRequest> requests = server_.RequestsFor(file.name);
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_FALSE(requests[1].Header("If-None-Match").empty()) << file.name;
        EXPECT_EQ(requests[1].Header("If-Modified-Since"), sample::DatasetsLastModified);
        const bool changed = file.name == "title.ratings.tsv.gz";
        EXPECT_EQ(file.origin,
                  changed ? UpdatedFile::Origin::Downloaded : UpdatedFile::Origin::Unchanged)
            << file.name;
        EXPECT_EQ(ReadFileBytes(cache_.File(file.name)), server_.Gzip(file.name)) << file.name;
    }
}

TEST_F(DatasetUpdateTest, WithEveryFileUnchangedTheDatabaseIsKeptWithoutABuild) {
    const DatasetUpdateReport first = UpdateDatasets(Options());
    EXPECT_TRUE(first.rebuilt);
    struct stat before {};
    ASSERT_EQ(::stat(data_.File("films.sqlite").c_str(), &before), 0);

    const DatasetUpdateReport again = UpdateDatasets(Options());
    EXPECT_FALSE(again.rebuilt);
    EXPECT_EQ(again.build.titles, first.build.titles);
    EXPECT_EQ(again.build.names, first.build.names);
    struct stat after {};
    ASSERT_EQ(::stat(data_.File("films.sqlite").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino) << "the database was replaced";

    // One file changed: the database is built again from the new copy.
    server_.Replace("title.ratings.tsv.gz",
                    sample::GzipCompress("tconst\taverageRating\tnumVotes\ntt9000001\t9.9\t5\n"));
    EXPECT_TRUE(UpdateDatasets(Options()).rebuilt);

    // A database of other copies' dates is not taken for up to date.
    const DatasetUpdateReport elsewhere = UpdateDatasets(Options(data_.Dir() + "other-"));
    EXPECT_TRUE(elsewhere.rebuilt);
}

TEST_F(DatasetUpdateTest, ACutDownloadResumesWithARangeRequest) {
    const std::string name = "title.principals.tsv.gz";
    const std::size_t cut = server_.Gzip(name).size() / 2;
    server_.Cut(name, cut, 1);
    UpdateDatasets(Options());

    const std::vector<HttpRequest> requests = server_.RequestsFor(name);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].Header("Range"), "");
    EXPECT_EQ(requests[1].Header("Range"), "bytes=" + std::to_string(cut) + "-");
    EXPECT_FALSE(requests[1].Header("If-Range").empty());
    EXPECT_EQ(ReadFileBytes(cache_.File(name)), server_.Gzip(name));
    EXPECT_FALSE(test_support::FileExists(cache_.File(name + ".part")));
}

TEST_F(DatasetUpdateTest, AServerWithoutRangesSendsTheWholeFileAgain) {
    const std::string name = "name.basics.tsv.gz";
    server_.IgnoreRanges();
    server_.Cut(name, 100, 1);
    UpdateDatasets(Options());
    EXPECT_EQ(server_.RequestsFor(name).size(), 2u);
    EXPECT_EQ(ReadFileBytes(cache_.File(name)), server_.Gzip(name));
}

TEST_F(DatasetUpdateTest, ADownloadCutEveryTimeFailsAndTheNextUpdateResumes) {
    UpdateDatasets(Options());
    const std::string old_database = ReadFileBytes(data_.File("films.sqlite"));
    const std::string name = "title.crew.tsv.gz";
    const std::string new_crew = sample::GzipCompress("tconst\tdirectors\twriters\n");
    server_.Replace(name, new_crew);
    server_.Cut(name, 5, 3);  // three transfers of 5 bytes each, resumed each time

    EXPECT_EQ(FailedUpdate(Options()), name + ": the connection broke");
    EXPECT_EQ(ReadFileBytes(data_.File("films.sqlite")), old_database);
    EXPECT_EQ(Files(data_.Path()), std::set<std::string>{"films.sqlite"});

    UpdateDatasets(Options());
    const std::vector<HttpRequest> requests = server_.RequestsFor(name);
    EXPECT_EQ(requests.back().Header("Range"), "bytes=15-");
    EXPECT_EQ(ReadFileBytes(cache_.File(name)), new_crew);
}

TEST_F(DatasetUpdateTest, ACorruptGzipKeepsTheOldDatabaseAndIsFetchedWholeNextTime) {
    UpdateDatasets(Options());
    const std::string old_database = ReadFileBytes(data_.File("films.sqlite"));
    const std::string name = "title.crew.tsv.gz";
    const std::string good = server_.Gzip(name);
    server_.Replace(name, good.substr(0, good.size() / 2));

    EXPECT_THAT(FailedUpdate(Options()), StartsWith(name + ": "));
    EXPECT_EQ(ReadFileBytes(data_.File("films.sqlite")), old_database);
    EXPECT_EQ(Files(data_.Path()), std::set<std::string>{"films.sqlite"});

    // The server mends the file under the same version: the spoilt copy is not kept as
    // unchanged, since the update that found it spoilt dropped its validators.
    server_.Replace(name, good);
    UpdateDatasets(Options());
    EXPECT_EQ(server_.RequestsFor(name).back().Header("If-None-Match"), "");
    EXPECT_EQ(ReadFileBytes(cache_.File(name)), good);
}

TEST_F(DatasetUpdateTest, AnErrorAnswerOrNoServerKeepsTheOldDatabase) {
    UpdateDatasets(Options());
    const std::string old_database = ReadFileBytes(data_.File("films.sqlite"));

    DatasetDownloadOptions missing = Options();
    missing.source = server_.Base() + "gone/";
    EXPECT_EQ(FailedUpdate(missing), "title.basics.tsv.gz: the site answered 404");

    DatasetDownloadOptions nobody = Options();
    nobody.source = "http://127.0.0.1:" + std::to_string(LoopbackServer::UnusedPort()) + "/";
    EXPECT_EQ(FailedUpdate(nobody), "title.basics.tsv.gz: connection refused");
    EXPECT_EQ(ReadFileBytes(data_.File("films.sqlite")), old_database);
}

TEST_F(DatasetUpdateTest, AFullDiskKeepsTheOldDatabase) {
    SmallDisk disk("4m");
    if (!disk.Mounted()) {
        GTEST_SKIP() << "a full disk needs a tmpfs, which only root can mount here ("
                     << disk.Reason() << ")";
    }
    UpdateDatasets(Options(disk.Dir()));
    const std::string old_database = ReadFileBytes(disk.Dir() + "films.sqlite");
    // A changed file, so that the update builds the database again.
    server_.Replace("title.ratings.tsv.gz",
                    sample::GzipCompress("tconst\taverageRating\tnumVotes\ntt9000001\t9.9\t5\n"));
    disk.Fill(0);

    EXPECT_THAT(FailedUpdate(Options(disk.Dir())), HasSubstr("Disk full"));
    EXPECT_EQ(ReadFileBytes(disk.Dir() + "films.sqlite"), old_database);
    EXPECT_EQ(disk.Files(), std::vector<std::string>{"films.sqlite"});
}

TEST_F(DatasetUpdateTest, AFullDiskUnderTheDownloadsKeepsTheOldDatabase) {
    UpdateDatasets(Options());
    const std::string old_database = ReadFileBytes(data_.File("films.sqlite"));
    SmallDisk disk;
    if (!disk.Mounted()) {
        GTEST_SKIP() << "a full disk needs a tmpfs, which only root can mount here ("
                     << disk.Reason() << ")";
    }
    disk.Fill(0);
    DatasetDownloadOptions options = Options();
    options.cache_folder = disk.Dir();
    EXPECT_EQ(FailedUpdate(options), "title.basics.tsv.gz: Disk full");
    EXPECT_EQ(ReadFileBytes(data_.File("films.sqlite")), old_database);
}

TEST_F(DatasetUpdateTest, ALocalFolderIsReadInPlace) {
    TempDir folder;
    for (const char* name : DatasetFileNames) {
        WriteFileBytes(folder.File(name), server_.Gzip(name));
    }
    struct stat info {};
    ASSERT_EQ(::stat(folder.File("title.basics.tsv.gz").c_str(), &info), 0);

    for (const std::string& source : {folder.Path(), "file://" + folder.Dir()}) {
        DatasetDownloadOptions options = Options();
        options.source = source;
        const DatasetUpdateReport report = UpdateDatasets(options);
        ASSERT_EQ(report.files.size(), 5u);
        EXPECT_EQ(report.files[0].origin, UpdatedFile::Origin::LocalFolder);
        EXPECT_EQ(report.files[0].path, folder.File("title.basics.tsv.gz"));
        EXPECT_EQ(report.files[0].date.size(), 20u) << report.files[0].date;
        EXPECT_GT(report.build.titles, 0);
    }
    EXPECT_EQ(server_.RequestCount(), 0u);
    EXPECT_TRUE(Files(cache_.Path()).empty());

    std::filesystem::remove(folder.File("name.basics.tsv.gz"));
    DatasetDownloadOptions options = Options();
    options.source = folder.Path();
    EXPECT_EQ(FailedUpdate(options),
              folder.File("name.basics.tsv.gz") + ": No such file or directory");
}

// Asks the update to stop, from a thread of its own as the window's Cancel does, once the
// progress has reached the point wanted. With hold, the update waits there until the stop
// has been asked, so that the stop comes while it is at that step.
class StopFromAnotherThread {
  public:
    explicit StopFromAnotherThread(std::function<bool(const UpdateProgress&)> when,
                                   bool hold = false)
        : when_(std::move(when)), hold_(hold), thread_([this](std::stop_token done) {
              while (!done.stop_requested() && !reached_) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(5));
              }
              if (reached_) {
                  source_.request_stop();
              }
          }) {}

    void Attach(DatasetDownloadOptions& options) {
        options.stop = source_.get_token();
        options.progress = [this](const UpdateProgress& progress) {
            if (when_(progress)) {
                reached_ = true;
                while (hold_ && !source_.stop_requested()) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                }
            }
        };
    }

  private:
    std::function<bool(const UpdateProgress&)> when_;
    bool hold_;
    std::stop_source source_;
    std::atomic<bool> reached_{false};
    std::jthread thread_;
};

TEST_F(DatasetUpdateTest, ACancelledDownloadKeepsTheOldDatabaseAndTheNextUpdateResumes) {
    UpdateDatasets(Options());
    const std::string old_database = ReadFileBytes(data_.File("films.sqlite"));
    const std::string name = "title.principals.tsv.gz";
    std::string rows = "tconst\tordering\tnconst\tcategory\tjob\tcharacters\n";
    for (int i = 0; i < 2000; ++i) {
        rows += "tt" + std::to_string(9100000 + i) + "\t1\tnm" + std::to_string(i * 7919 % 100003) +
                "\tactor\t\\N\t[\"Role " + std::to_string(i * 31 % 997) + "\"]\n";
    }
    const std::string changed = sample::GzipCompress(rows);
    server_.Replace(name, changed, "Mon, 07 Dec 2026 00:00:00 GMT");
    server_.Slow(name);

    DatasetDownloadOptions options = Options();
    StopFromAnotherThread stop([&name](const UpdateProgress& progress) {
        return progress.file == name && progress.bytes > 0;
    });
    stop.Attach(options);
    EXPECT_EQ(FailedUpdate(options), "the update was cancelled");
    EXPECT_EQ(ReadFileBytes(data_.File("films.sqlite")), old_database);
    EXPECT_EQ(Files(data_.Path()), std::set<std::string>{"films.sqlite"});
    const std::uint64_t kept = ReadFileBytes(cache_.File(name + ".part")).size();
    EXPECT_GT(kept, 0u);
    EXPECT_LT(kept, changed.size());

    server_.Slow("");
    const DatasetUpdateReport again = UpdateDatasets(Options());
    EXPECT_TRUE(again.rebuilt);
    EXPECT_EQ(server_.RequestsFor(name).back().Header("Range"),
              "bytes=" + std::to_string(kept) + "-");
    EXPECT_EQ(ReadFileBytes(cache_.File(name)), changed);
}

// A stop while the build reads a file or makes its indexes: the old database stays, no partial
// file is left, and the next update fetches nothing again (each file answered unchanged) and
// builds.
TEST_F(DatasetUpdateTest, ACancelledBuildKeepsTheOldDatabaseAndEveryCopy) {
    UpdateDatasets(Options());
    const std::string old_database = ReadFileBytes(data_.File("films.sqlite"));
    const std::string ratings =
        sample::GzipCompress("tconst\taverageRating\tnumVotes\ntt9000001\t9.9\t5\n");
    server_.Replace("title.ratings.tsv.gz", ratings, "Mon, 07 Dec 2026 00:00:00 GMT");

    const std::vector<std::pair<UpdateProgress::Step, int>> stops = {
        {UpdateProgress::Step::Build, 1},
        {UpdateProgress::Step::Build, 4},
        {UpdateProgress::Step::Index, 0},
    };
    for (const auto& [step, file_number] : stops) {
        const std::size_t requests_before = server_.RequestCount();
        DatasetDownloadOptions options = Options();
        StopFromAnotherThread stop(
            [step, file_number](const UpdateProgress& progress) {
                return progress.step == step && progress.file_number == file_number;
            },
            true);
        stop.Attach(options);
        EXPECT_EQ(FailedUpdate(options), "the update was cancelled") << file_number;
        EXPECT_EQ(ReadFileBytes(data_.File("films.sqlite")), old_database);
        EXPECT_EQ(Files(data_.Path()), std::set<std::string>{"films.sqlite"});
        EXPECT_EQ(server_.RequestCount(), requests_before + 5);
    }

    const std::size_t requests_before = server_.RequestCount();
    const DatasetUpdateReport again = UpdateDatasets(Options());
    EXPECT_TRUE(again.rebuilt);
    EXPECT_EQ(server_.RequestCount(), requests_before + 5);
    for (const UpdatedFile& file : again.files) {
        EXPECT_EQ(file.origin, UpdatedFile::Origin::Unchanged) << file.name;
    }
    EXPECT_NE(ReadFileBytes(data_.File("films.sqlite")), old_database);
}

TEST_F(DatasetUpdateTest, TheProgressNumbersTheFilesAndEndsWithTheIndexStep) {
    std::vector<UpdateProgress> steps;
    DatasetDownloadOptions options = Options();
    options.progress = [&steps](const UpdateProgress& progress) {
        if (steps.empty() || steps.back().step != progress.step ||
            steps.back().file_number != progress.file_number) {
            steps.push_back(progress);
        }
    };
    UpdateDatasets(options);

    std::vector<std::pair<UpdateProgress::Step, int>> seen;
    for (const UpdateProgress& progress : steps) {
        EXPECT_EQ(progress.file_count, 5);
        EXPECT_EQ(progress.file.empty(), progress.step == UpdateProgress::Step::Index);
        seen.emplace_back(progress.step, progress.file_number);
    }
    using Step = UpdateProgress::Step;
    const std::vector<std::pair<Step, int>> expected = {
        {Step::Download, 1}, {Step::Download, 2}, {Step::Download, 3}, {Step::Download, 4},
        {Step::Download, 5}, {Step::Build, 1},    {Step::Build, 2},    {Step::Build, 3},
        {Step::Build, 4},    {Step::Build, 5},    {Step::Index, 0}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(steps[0].file, "title.basics.tsv.gz");
    EXPECT_EQ(steps[5].file, "title.ratings.tsv.gz");  // the build reads the ratings first
}

// While one update holds the cache, a second one (of the same process, as the window's worker
// beside another) fails at once with "another update is running" and sends nothing.
TEST_F(DatasetUpdateTest, ASecondUpdateOfTheSameCacheIsRefused) {
    server_.Slow("title.basics.tsv.gz");
    DatasetDownloadOptions first = Options();
    std::atomic<bool> running{false};
    std::stop_source stop_first;
    first.stop = stop_first.get_token();
    first.progress = [&running](const UpdateProgress& progress) {
        running = running || progress.bytes > 0;
    };
    std::string first_outcome;
    std::thread worker([&] { first_outcome = FailedUpdate(first); });
    while (!running) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    const std::size_t requests = server_.RequestCount();
    DatasetDownloadOptions second = Options(data_.Dir() + "second-");
    try {
        UpdateDatasets(second);
        ADD_FAILURE() << "the second update ran";
    } catch (const UpdateBusy& busy) {
        EXPECT_STREQ(busy.what(), "another update is running");
    }
    EXPECT_EQ(server_.RequestCount(), requests);
    stop_first.request_stop();
    worker.join();
    EXPECT_EQ(first_outcome, "the update was cancelled");
    EXPECT_TRUE(Files(data_.Path()).empty());

    // The lock ends with the update: the next one runs.
    server_.Slow("");
    EXPECT_GT(UpdateDatasets(second).build.titles, 0);
}

TEST(IsoDateFromHttpDateTest, ReadsTheHttpDateForm) {
    EXPECT_EQ(IsoDateFromHttpDate("Sun, 06 Dec 2026 00:00:00 GMT"), "2026-12-06T00:00:00Z");
    EXPECT_EQ(IsoDateFromHttpDate("Tue, 29 Feb 2028 23:59:58 GMT"), "2028-02-29T23:59:58Z");
    EXPECT_EQ(IsoDateFromHttpDate(""), "");
    EXPECT_EQ(IsoDateFromHttpDate("yesterday"), "");
    EXPECT_EQ(IsoDateFromHttpDate("Sun, 06 Dec 2026 00:00:00 GMT trailing"), "");
    EXPECT_EQ(IsoDateFromHttpDate("Sun, 06 Dez 2026 00:00:00 GMT"), "");
    EXPECT_EQ(IsoDateFromHttpDate("Sun, 32 Dec 2026 00:00:00 GMT"), "");
    // The user's own date names do not change how an HTTP date reads.
    const char* old_locale = std::setlocale(LC_TIME, nullptr);
    const std::string saved = old_locale != nullptr ? old_locale : "C";
    if (std::setlocale(LC_TIME, "de_DE.UTF-8") != nullptr) {
        EXPECT_EQ(IsoDateFromHttpDate("Mon, 07 Dec 2026 10:20:30 GMT"), "2026-12-07T10:20:30Z");
    }
    std::setlocale(LC_TIME, saved.c_str());
}

}  // namespace
}  // namespace korvid
