// The data-set update over a loopback server that serves the sample site's six files with
// ETag, Last-Modified and ranges, and can cut, refuse ranges or spoil a file on demand.

#include "client/dataset_download.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "client/film_data_disk.h"
#include "common/file_descriptor.h"
#include "dataset/database_schema.h"
#include "dataset/film_database.h"
#include "dataset/sqlite_db.h"
#include "loopback/loopback_server.h"
#include "sample-site/sample_site.h"
#include "tests/dataset/dataset_files.h"
#include "tests/support/loopback_socket.h"
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
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// A new version of one of the sample site's data-set files ("title.ratings.tsv"), gzipped:
// its rows and one more, so that the database built from it is no smaller.
std::string NewCopy(const std::string& plain_name, const std::string& row) {
    return sample::GzipCompress(ReadFileBytes(sample::DefaultDatasetsDir() + "/" + plain_name) +
                                row);
}

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
                 const std::string& last_modified = sample::DatasetsLastModified,
                 const std::string& etag = {}) {
        std::lock_guard lock(mutex_);
        files_[name] = {gzip, !etag.empty() ? etag : "\"v2-" + std::to_string(gzip.size()) + "\""};
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

TEST_F(DatasetUpdateTest, DownloadsTheSixFilesAndBuildsTheDatabase) {
    // Without room, the update is refused before anything is fetched.
    DatasetDownloadOptions no_room = Options();
    no_room.free_space = [](const std::string&) { return std::uint64_t{1} << 30; };
    EXPECT_THROW(UpdateDatasets(no_room), NotEnoughDisk);
    EXPECT_THAT(FailedUpdate(no_room), HasSubstr("1.1 GB is free"));
    EXPECT_EQ(server_.RequestCount(), 0u);

    const DatasetUpdateReport report = UpdateDatasets(Options());
    ASSERT_EQ(report.files.size(), 6u);
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
    ASSERT_EQ(server_.RequestCount(), 6u);
    server_.Replace("title.ratings.tsv.gz", NewCopy("title.ratings.tsv", "tt9000099\t9.9\t5\n"));

    const DatasetUpdateReport again = UpdateDatasets(Options());
    EXPECT_EQ(server_.RequestCount(), 12u) << "one request a file";
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
    server_.Replace("title.ratings.tsv.gz", NewCopy("title.ratings.tsv", "tt9000099\t9.9\t5\n"));
    EXPECT_TRUE(UpdateDatasets(Options()).rebuilt);

    // A database of other copies' dates is not taken for up to date.
    const DatasetUpdateReport elsewhere = UpdateDatasets(Options(data_.Dir() + "other-"));
    EXPECT_TRUE(elsewhere.rebuilt);
}

// The progress tells the bytes held from before apart from those received: a resumed part's,
// and at each file's end its whole size, also for a copy found unchanged.
TEST_F(DatasetUpdateTest, ACutDownloadResumesWithARangeRequest) {
    const std::string name = "title.principals.tsv.gz";
    const std::size_t cut = server_.Gzip(name).size() / 2;
    server_.Cut(name, cut, 1);
    std::set<std::uint64_t> held;
    std::map<std::string, UpdateProgress> last;
    DatasetDownloadOptions options = Options();
    options.progress = [&](const UpdateProgress& progress) {
        if (progress.step == UpdateProgress::Step::Download) {
            if (progress.file == name) {
                held.insert(progress.held);
            }
            last[progress.file] = progress;
        }
    };
    UpdateDatasets(options);

    const std::vector<HttpRequest> requests = server_.RequestsFor(name);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].Header("Range"), "");
    EXPECT_EQ(requests[1].Header("Range"), "bytes=" + std::to_string(cut) + "-");
    EXPECT_FALSE(requests[1].Header("If-Range").empty());
    EXPECT_EQ(ReadFileBytes(cache_.File(name)), server_.Gzip(name));
    EXPECT_FALSE(test_support::FileExists(cache_.File(name + ".part")));

    for (const UpdatedFile& file : UpdateDatasets(options).files) {
        EXPECT_EQ(last[file.name].held, file.size) << file.name;
    }
    EXPECT_THAT(held, ElementsAre(std::uint64_t{0}, cut, server_.Gzip(name).size()));
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
    const std::string new_crew = NewCopy("title.crew.tsv", "tt9000099\tnm9100171\t\\N\n");
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
    const std::string spoilt = good.substr(0, good.size() / 2);
    server_.Replace(name, spoilt);

    EXPECT_EQ(FailedUpdate(Options()), name + ": the download is spoilt: the file is cut short");
    EXPECT_EQ(ReadFileBytes(data_.File("films.sqlite")), old_database);
    EXPECT_EQ(Files(data_.Path()), std::set<std::string>{"films.sqlite"});
    // The spoilt answer is not kept, neither as the copy nor as a part to resume.
    EXPECT_EQ(ReadFileBytes(cache_.File(name)), good);
    EXPECT_FALSE(test_support::FileExists(cache_.File(name + ".part")));

    // The server mends the file under the same version: the spoilt version is never named
    // as one the cache holds.
    const std::string spoilt_version = "\"v2-" + std::to_string(spoilt.size()) + "\"";
    server_.Replace(name, good);
    UpdateDatasets(Options());
    EXPECT_NE(server_.RequestsFor(name).back().Header("If-None-Match"), spoilt_version);
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
    // Past the check of the room before the update: the disk fills while it runs.
    DatasetDownloadOptions options = Options(disk.Dir());
    options.free_space = [](const std::string&) { return std::uint64_t{1} << 40; };
    UpdateDatasets(options);
    const std::string old_database = ReadFileBytes(disk.Dir() + "films.sqlite");
    // A changed file, so that the update builds the database again.
    server_.Replace("title.ratings.tsv.gz", NewCopy("title.ratings.tsv", "tt9000099\t9.9\t5\n"));
    disk.Fill(0);

    EXPECT_THAT(FailedUpdate(options), HasSubstr("Disk full"));
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
    options.free_space = [](const std::string&) { return std::uint64_t{1} << 40; };
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
        ASSERT_EQ(report.files.size(), 6u);
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

// A part that is already the whole file (an update stopped between the download's end and its
// place in the cache) is checked and kept: the server answers the range with 416, and the file
// is not fetched again.
TEST_F(DatasetUpdateTest, AWholePartIsKeptWithoutFetchingItAgain) {
    const std::string name = "title.crew.tsv.gz";
    WriteFileBytes(cache_.File(name + ".part"), server_.Gzip(name));
    WriteFileBytes(cache_.File(name + ".part.meta"),
                   "Source: " + server_.Base() +
                       "\nETag: " + sample::SampleSite().Datasets().at(name).etag + "\n");
    UpdateDatasets(Options());
    const std::vector<HttpRequest> requests = server_.RequestsFor(name);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Header("Range"),
              "bytes=" + std::to_string(server_.Gzip(name).size()) + "-");
    EXPECT_EQ(ReadFileBytes(cache_.File(name)), server_.Gzip(name));
}

// A stop while the build reads a file or makes its indexes: the old database stays, no partial
// file is left, and the next update fetches nothing again (each file answered unchanged) and
// builds.
TEST_F(DatasetUpdateTest, ACancelledBuildKeepsTheOldDatabaseAndEveryCopy) {
    UpdateDatasets(Options());
    const std::string old_database = ReadFileBytes(data_.File("films.sqlite"));
    const std::string ratings = NewCopy("title.ratings.tsv", "tt9000099\t9.9\t5\n");
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
        EXPECT_EQ(server_.RequestCount(), requests_before + 6);
    }

    const std::size_t requests_before = server_.RequestCount();
    const DatasetUpdateReport again = UpdateDatasets(Options());
    EXPECT_TRUE(again.rebuilt);
    EXPECT_EQ(server_.RequestCount(), requests_before + 6);
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
        EXPECT_EQ(progress.file_count, 6);
        EXPECT_EQ(progress.file.empty(), progress.step == UpdateProgress::Step::Index);
        seen.emplace_back(progress.step, progress.file_number);
    }
    using Step = UpdateProgress::Step;
    std::vector<std::pair<Step, int>> expected = {{Step::Download, 1}, {Step::Download, 2},
                                                  {Step::Download, 3}, {Step::Download, 4},
                                                  {Step::Download, 5}, {Step::Download, 6}};
    // The build numbers the files it reads in its own order: the five it needs, and the
    // alternative titles when it reads them.
    const auto builds = std::count_if(seen.begin(), seen.end(), [](const auto& seen_step) {
        return seen_step.first == Step::Build;
    });
    ASSERT_TRUE(builds == 5 || builds == 6) << builds;
    for (int number = 1; number <= builds; ++number) {
        expected.emplace_back(Step::Build, number);
    }
    expected.emplace_back(Step::Index, 0);
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(steps[0].file, "title.basics.tsv.gz");
    EXPECT_EQ(steps[5].file, "title.akas.tsv.gz");
    EXPECT_EQ(steps[6].file, "title.ratings.tsv.gz");  // the build reads the ratings first
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

// A server on 127.0.0.1 that answers every connection with the same raw head and body, then
// keeps sending the body's bytes again until the client goes away or the server stops.
class EndlessServer {
  public:
    EndlessServer(std::string head, std::string body)
        : head_(std::move(head)),
          body_(std::move(body)),
          listener_(test_support::ListenOnLoopback(4, port_)),
          thread_([this] { Serve(); }) {}
    ~EndlessServer() {
        stop_ = true;
        ::shutdown(listener_.Get(), SHUT_RDWR);
        thread_.join();
    }
    std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

  private:
    void Serve() {
        while (!stop_) {
            const FileDescriptor client(::accept(listener_.Get(), nullptr, nullptr));
            if (!client.IsOpen()) {
                return;
            }
            std::string head;
            char buffer[1024];
            while (head.find("\r\n\r\n") == std::string::npos) {
                const ssize_t got = ::read(client.Get(), buffer, sizeof buffer);
                if (got <= 0) {
                    break;
                }
                head.append(buffer, static_cast<std::size_t>(got));
            }
            const std::string answer = head_ + body_;
            ssize_t sent = ::send(client.Get(), answer.data(), answer.size(), MSG_NOSIGNAL);
            while (sent > 0 && !stop_) {
                sent = ::send(client.Get(), body_.data(), body_.size(), MSG_NOSIGNAL);
            }
        }
    }

    std::string head_;
    std::string body_;
    std::uint16_t port_ = 0;  // before listener_, which sets it
    FileDescriptor listener_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Letters that gzip cannot make much smaller, the same in every run.
std::string NoisyText(std::size_t size) {
    std::minstd_rand letters(7);
    std::string text(size, ' ');
    for (char& c : text) {
        c = static_cast<char>('a' + letters() % 26);
    }
    return text;
}

// A download larger than its answer announced or than the limit fails at once with its cause,
// and its part is removed.
TEST_F(DatasetUpdateTest, ADownloadOverItsLimitFailsAndItsPartIsRemoved) {
    // Whole gzip members one after another: data the gzip check takes however long it runs.
    const std::string body = sample::GzipCompress(NoisyText(64 * 1024));
    struct Case {
        std::string head;
        std::uint64_t limit;
        std::string cause;
    };
    const std::vector<Case> cases = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 10000000000\r\n\r\n", std::uint64_t{4} << 30,
         "the file is larger than 4 GiB"},
        {"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n", 200000,
         "the file is larger than 200000 bytes"},
    };
    for (const Case& test : cases) {
        const EndlessServer endless(test.head, body);
        DatasetDownloadOptions options = Options();
        options.source = endless.Base();
        options.max_file_bytes = test.limit;
        EXPECT_EQ(FailedUpdate(options), "title.basics.tsv.gz: " + test.cause);
        EXPECT_FALSE(test_support::FileExists(cache_.File("title.basics.tsv.gz.part")));
    }
}

// An answer that is no gzip data is refused as soon as its first bad bytes arrive: neither its
// end (these never end) nor a second reading of the file is waited for, and its part is removed.
TEST_F(DatasetUpdateTest, AnAnswerThatIsNoGzipDataIsRefusedWhileItArrives) {
    // A gzip header, then deflate blocks of a type that does not exist (0xFF).
    const std::string bad_blocks =
        std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10) + std::string(1024, '\xff');
    const struct {
        std::string body;
        std::string cause;
    } cases[] = {{std::string(64 * 1024, 'x'), "not a gzip file"},
                 {bad_blocks, "the gzip data is corrupt"}};
    for (const auto& test : cases) {
        SCOPED_TRACE(test.cause);
        const EndlessServer endless("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n", test.body);
        DatasetDownloadOptions options = Options();
        options.source = endless.Base();
        EXPECT_EQ(FailedUpdate(options),
                  "title.basics.tsv.gz: the download is spoilt: " + test.cause);
        EXPECT_FALSE(test_support::FileExists(cache_.File("title.basics.tsv.gz.part")));
        EXPECT_FALSE(test_support::FileExists(cache_.File("title.basics.tsv.gz.part.meta")));
    }
}

// A part held from before is read through the check before anything is added to it: one
// spoilt in its held bytes is refused and removed, whether the server sends the rest (206) or
// says the part is whole already (416), and the next update fetches the file whole.
TEST_F(DatasetUpdateTest, APartSpoiltInItsHeldBytesIsRefusedAndFetchedWholeNextTime) {
    const std::string name = "title.crew.tsv.gz";
    const std::string good = server_.Gzip(name);
    for (const std::size_t held : {good.size() / 2, good.size()}) {
        SCOPED_TRACE(held);
        std::string part = good.substr(0, held);
        std::fill(part.begin() + 10, part.end(), '\xff');  // all but the gzip header
        WriteFileBytes(cache_.File(name + ".part"), part);
        WriteFileBytes(cache_.File(name + ".part.meta"),
                       "Source: " + server_.Base() +
                           "\nETag: " + sample::SampleSite().Datasets().at(name).etag + "\n");

        EXPECT_EQ(FailedUpdate(Options()),
                  name + ": the download is spoilt: the gzip data is corrupt");
        EXPECT_EQ(server_.RequestsFor(name).back().Header("Range"),
                  "bytes=" + std::to_string(held) + "-");
        UpdateDatasets(Options());  // the part is gone: the file is fetched whole
        EXPECT_EQ(server_.RequestsFor(name).back().Header("Range"), "");
        EXPECT_EQ(ReadFileBytes(cache_.File(name)), good);
    }
}

// A database built by an earlier Korvid, of an earlier schema, is never up to date: it is built
// again though the server answers every file unchanged.
TEST_F(DatasetUpdateTest, ADatabaseOfAnEarlierSchemaIsBuiltAgainThoughNoFileChanged) {
    UpdateDatasets(Options());
    test_support::MakeEarlierSchema(data_.File("films.sqlite"));

    const DatasetUpdateReport again = UpdateDatasets(Options());
    for (const UpdatedFile& file : again.files) {
        EXPECT_EQ(file.origin, UpdatedFile::Origin::Unchanged) << file.name;
    }
    EXPECT_TRUE(again.rebuilt);
    const dataset::FilmDatabase rebuilt(data_.File("films.sqlite"));
    EXPECT_EQ(std::to_string(rebuilt.Status().schema_version), dataset::kSchemaVersion);
}

// Names in the cache that are not the cache's own regular files (a hard link to a file
// outside, a symbolic link, FIFOs) are never written through nor waited on: they are replaced.
TEST_F(DatasetUpdateTest, LinksAndFifosInTheCacheAreReplacedNotUsed) {
    UpdateDatasets(Options());
    TempDir outside;
    WriteFileBytes(outside.File("precious"), "precious");
    WriteFileBytes(outside.File("linked"), "linked");
    const std::string ratings = NewCopy("title.ratings.tsv", "tt9000099\t9.9\t5\n");
    server_.Replace("title.ratings.tsv.gz", ratings, "Mon, 07 Dec 2026 00:00:00 GMT");
    // A part that the update would resume, hard-linked to a file outside the cache.
    const std::string part = cache_.File("title.ratings.tsv.gz.part");
    ASSERT_EQ(::link(outside.File("precious").c_str(), part.c_str()), 0);
    WriteFileBytes(part + ".meta", "Source: " + server_.Base() + "\nETag: \"v2-" +
                                       std::to_string(ratings.size()) + "\"\n");
    ASSERT_EQ(
        ::symlink(outside.File("linked").c_str(), cache_.File("name.basics.tsv.gz.part").c_str()),
        0);
    for (const std::string name :
         {"title.basics.tsv.gz.meta", "title.crew.tsv.gz.part", "title.crew.tsv.gz.part.meta"}) {
        ::unlink(cache_.File(name).c_str());
        ASSERT_EQ(::mkfifo(cache_.File(name).c_str(), 0600), 0) << name;
    }

    const DatasetUpdateReport report = UpdateDatasets(Options());
    EXPECT_TRUE(report.rebuilt);
    EXPECT_EQ(ReadFileBytes(outside.File("precious")), "precious");
    EXPECT_EQ(ReadFileBytes(outside.File("linked")), "linked");
    for (const char* name : DatasetFileNames) {
        EXPECT_EQ(ReadFileBytes(cache_.File(name)), server_.Gzip(name)) << name;
    }
    EXPECT_EQ(Files(cache_.Path()),
              (std::set<std::string>{
                  "title.basics.tsv.gz", "title.basics.tsv.gz.meta", "title.ratings.tsv.gz",
                  "title.ratings.tsv.gz.meta", "title.crew.tsv.gz", "title.crew.tsv.gz.meta",
                  "title.principals.tsv.gz", "title.principals.tsv.gz.meta", "name.basics.tsv.gz",
                  "name.basics.tsv.gz.meta", "title.akas.tsv.gz", "title.akas.tsv.gz.meta"}));
}

// Validators go back only as sane text, and only to the address the copy came from.
TEST_F(DatasetUpdateTest, ValidatorsAreSentBackOnlyWhenSaneAndOnlyToTheirSource) {
    // An ETag holding a bare CR, and a record tampered with a 10 MB ETag.
    server_.Replace("title.basics.tsv.gz", server_.Gzip("title.basics.tsv.gz"),
                    sample::DatasetsLastModified, "\"a\rInjected: yes\"");
    UpdateDatasets(Options());
    const std::string crew_record = cache_.File("title.crew.tsv.gz.meta");
    WriteFileBytes(crew_record,
                   "Source: " + server_.Base() + "\nETag: " + std::string(10 << 20, 'e') +
                       "\nLength: " + std::to_string(server_.Gzip("title.crew.tsv.gz").size()) +
                       "\n");

    UpdateDatasets(Options());
    const HttpRequest basics = server_.RequestsFor("title.basics.tsv.gz").back();
    EXPECT_EQ(basics.Header("If-None-Match"), "");
    EXPECT_EQ(basics.Header("Injected"), "");
    EXPECT_EQ(basics.Header("If-Modified-Since"), sample::DatasetsLastModified);
    EXPECT_EQ(server_.RequestsFor("title.crew.tsv.gz").back().Header("If-None-Match"), "");
    EXPECT_FALSE(
        server_.RequestsFor("title.ratings.tsv.gz").back().Header("If-None-Match").empty());

    // Another server is never told what the first one's copies were.
    DatasetServer other;
    DatasetDownloadOptions elsewhere = Options();
    elsewhere.source = other.Base();
    UpdateDatasets(elsewhere);
    for (const char* name : DatasetFileNames) {
        const HttpRequest request = other.RequestsFor(name).back();
        EXPECT_EQ(request.Header("If-None-Match"), "") << name;
        EXPECT_EQ(request.Header("If-Modified-Since"), "") << name;
    }
}

// Copies that no longer have the length recorded with them are all fetched whole by the next
// update, which then builds.
TEST_F(DatasetUpdateTest, CopiesCutShortSinceTheirRecordAreAllFetchedWholeAtOnce) {
    UpdateDatasets(Options());
    for (const char* name : DatasetFileNames) {
        const std::string copy = ReadFileBytes(cache_.File(name));
        WriteFileBytes(cache_.File(name), copy.substr(0, copy.size() - 10));
    }
    server_.Replace("title.ratings.tsv.gz", NewCopy("title.ratings.tsv", "tt9000099\t9.9\t5\n"),
                    "Mon, 07 Dec 2026 00:00:00 GMT");

    const DatasetUpdateReport report = UpdateDatasets(Options());
    EXPECT_TRUE(report.rebuilt);
    for (const UpdatedFile& file : report.files) {
        EXPECT_EQ(file.origin, UpdatedFile::Origin::Downloaded) << file.name;
        EXPECT_EQ(server_.RequestsFor(file.name).back().Header("If-None-Match"), "") << file.name;
        EXPECT_EQ(ReadFileBytes(cache_.File(file.name)), server_.Gzip(file.name)) << file.name;
    }
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

// Odd forms of the source: a scheme in capitals is a scheme; a query or a fragment (where a
// "#@" would lead the transfer to another host) is refused; a user name and password are
// used, but no file of the cache holds them, and the cache's records are the user's alone.
TEST_F(DatasetUpdateTest, OddSourcesAreReadAsTheTransferReadsThemAndNoPasswordIsKept) {
    const std::string base = server_.Base();  // "http://127.0.0.1:PORT/datasets/"
    const std::string after_scheme = base.substr(7);
    const struct {
        std::string source;
        const char* refused;  // nullptr: the update runs
    } cases[] = {
        {"HTTP://" + after_scheme, nullptr},
        {base + "?x=1", "a query or a fragment"},
        {"http://" + after_scheme.substr(0, after_scheme.find('/')) + "#@127.0.0.2" +
             after_scheme.substr(after_scheme.find(':')),
         "a query or a fragment"},
        {"http://user:secret@" + after_scheme, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        DatasetDownloadOptions options = Options();
        options.source = c.source;
        if (c.refused != nullptr) {
            EXPECT_THAT(FailedUpdate(options), HasSubstr(c.refused));
            continue;
        }
        UpdateDatasets(options);
        for (const char* name : DatasetFileNames) {
            const std::string meta = cache_.File(std::string(name) + ".meta");
            EXPECT_THAT(ReadFileBytes(meta), Not(HasSubstr("secret"))) << name;
            struct stat info {};
            ASSERT_EQ(::stat(meta.c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 0777, 0600u) << name;
        }
    }
}

}  // namespace
}  // namespace korvid
