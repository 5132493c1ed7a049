// korvid-cli dataset update and status, in-process against the sample site's data set, with
// the cache and the database in temporary folders.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/commands.h"
#include "client/update_lock.h"
#include "dataset/database_schema.h"
#include "dataset/film_database.h"
#include "dataset/sqlite_db.h"
#include "loopback/loopback_server.h"
#include "tests/cli/in_process.h"
#include "tests/dataset/dataset_files.h"
#include "tests/support/child_process.h"
#include "tests/support/sample_site_suite.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using test_support::ReadFileBytes;
using test_support::RunInProcess;
using test_support::ScopedEnv;
using test_support::TempDir;
using ::testing::HasSubstr;
using ::testing::Not;

class DatasetCliTest : public test_support::SampleSiteSuite {
  protected:
    std::string From() const { return site_->BaseUrl() + "/datasets/"; }
    std::string Db() const { return data_.File("films.sqlite"); }

    TempDir cache_;
    TempDir data_;
    ScopedEnv cache_env_{"XDG_CACHE_HOME", cache_.Path()};
    ScopedEnv data_env_{"XDG_DATA_HOME", data_.Path()};
    ScopedEnv dataset_env_{"KORVID_DATASET", Db()};
};

TEST_F(DatasetCliTest, StatusWithoutADatabaseExitsOne) {
    const auto text = RunInProcess({"dataset", "status"});
    EXPECT_EQ(text.exit_code, 1);
    EXPECT_EQ(text.out, "");
    EXPECT_THAT(text.err, HasSubstr("korvid-cli dataset update"));

    const auto json = RunInProcess({"dataset", "status", "--json"});
    EXPECT_EQ(json.exit_code, 1);
    const auto object = nlohmann::json::parse(json.out);
    EXPECT_EQ(object["database"], Db());
    EXPECT_EQ(object["present"], false);
}

TEST_F(DatasetCliTest, UpdateThenStatusTellWhatTheDatabaseHolds) {
    const auto update = RunInProcess({"dataset", "update", "--from", From()});
    ASSERT_EQ(update.exit_code, 0) << update.err;
    EXPECT_EQ(update.err, "");
    EXPECT_THAT(update.out, HasSubstr("title.principals.tsv.gz: downloaded, "));
    EXPECT_THAT(update.out, HasSubstr(Db() + ": "));
    EXPECT_THAT(update.out, HasSubstr(" malformed rows skipped\n"));
    EXPECT_THAT(update.out, HasSubstr(std::string(dataset::CreditLine) + "\n"));
    EXPECT_TRUE(test_support::FileExists(cache_.File("korvid/datasets/title.basics.tsv.gz")));

    const auto again = RunInProcess({"dataset", "update", "--from", From()});
    EXPECT_EQ(again.exit_code, 0) << again.err;
    EXPECT_THAT(again.out, HasSubstr("name.basics.tsv.gz: unchanged, "));

    const auto status = RunInProcess({"dataset", "status", "--json"});
    ASSERT_EQ(status.exit_code, 0) << status.err;
    const auto object = nlohmann::json::parse(status.out);
    EXPECT_EQ(object["database"], Db());
    EXPECT_EQ(object["present"], true);
    EXPECT_EQ(object["credit"], dataset::CreditLine);
    EXPECT_GT(object["titles"].get<int>(), 0);
    EXPECT_GT(object["names"].get<int>(), 0);
    EXPECT_GT(object["size_bytes"].get<int>(), 0);
    EXPECT_FALSE(object["built"].get<std::string>().empty());
    ASSERT_EQ(object["files"].size(), 6u);
    EXPECT_EQ(object["files"]["title.crew.tsv.gz"], "2026-12-06T00:00:00Z");

    const auto text = RunInProcess({"dataset", "status"});
    EXPECT_EQ(text.exit_code, 0);
    EXPECT_THAT(text.out, HasSubstr("Database:     " + Db() + "\n"));
    EXPECT_THAT(text.out, HasSubstr("  name.basics.tsv.gz       2026-12-06T00:00:00Z\n"));
    EXPECT_THAT(text.out, HasSubstr(dataset::CreditLine));
}

TEST_F(DatasetCliTest, TheOptionsComeBeforeTheEnvironment) {
    // KORVID_DATASETS_URL stands for --from, and --from for it.
    ScopedEnv source_env{"KORVID_DATASETS_URL", From()};
    TempDir other;
    const auto update = RunInProcess({"dataset", "update", "--db", other.File("mine.sqlite")});
    ASSERT_EQ(update.exit_code, 0) << update.err;
    const auto gone = RunInProcess({"dataset", "update", "--from", site_->BaseUrl() + "/gone/"});
    EXPECT_EQ(gone.err, "korvid-cli: title.basics.tsv.gz: the site answered 404\n");
    EXPECT_TRUE(test_support::FileExists(other.File("mine.sqlite")));
    EXPECT_FALSE(test_support::FileExists(Db()));
    EXPECT_EQ(RunInProcess({"dataset", "status", "--db", other.File("mine.sqlite")}).exit_code, 0);
}

TEST_F(DatasetCliTest, AFailedUpdateIsOneLineAndExitThreeAndKeepsTheDatabase) {
    ASSERT_EQ(RunInProcess({"dataset", "update", "--from", From()}).exit_code, 0);
    const std::string before = ReadFileBytes(Db());

    const auto failed = RunInProcess({"dataset", "update", "--from", site_->BaseUrl() + "/gone/"});
    EXPECT_EQ(failed.exit_code, 3);
    EXPECT_EQ(failed.out, "");
    EXPECT_EQ(failed.err, "korvid-cli: title.basics.tsv.gz: the site answered 404\n");
    EXPECT_EQ(ReadFileBytes(Db()), before);

    const auto no_folder = RunInProcess({"dataset", "update", "--from", data_.File("none")});
    EXPECT_EQ(no_folder.exit_code, 3);
    EXPECT_EQ(no_folder.err, "korvid-cli: " + data_.File("none") +
                                 "/title.basics.tsv.gz: No such file or directory\n");
}

TEST_F(DatasetCliTest, RemoveTakesOnlyTheFilmDataAndNothingWhileAnUpdateRuns) {
    ASSERT_EQ(RunInProcess({"dataset", "update", "--from", From()}).exit_code, 0);
    const std::string cache = cache_.File("korvid/datasets/");
    test_support::WriteFileBytes(cache + "notes.txt", "mine");

    const auto dry = RunInProcess({"dataset", "remove", "--dry-run"});
    EXPECT_EQ(dry.exit_code, 0) << dry.err;
    EXPECT_THAT(dry.out, HasSubstr("would remove " + Db() + " ("));
    EXPECT_THAT(dry.out, HasSubstr("; nothing was removed.\n"));
    {
        const UpdateLock update(cache);
        const auto busy = RunInProcess({"dataset", "remove"});
        EXPECT_EQ(busy.exit_code, 3);
        EXPECT_EQ(busy.err, "korvid-cli: another update is running; nothing was removed\n");
    }
    EXPECT_TRUE(test_support::FileExists(Db()));

    const auto removed = RunInProcess({"dataset", "remove"});
    EXPECT_EQ(removed.exit_code, 0) << removed.err;
    EXPECT_THAT(removed.out, HasSubstr("removed " + Db() + " ("));
    EXPECT_FALSE(test_support::FileExists(Db()));
    EXPECT_FALSE(test_support::FileExists(cache + "title.basics.tsv.gz"));
    EXPECT_EQ(ReadFileBytes(cache + "notes.txt"), "mine");

    const auto nothing = RunInProcess({"dataset", "remove"});
    EXPECT_EQ(nothing.exit_code, 1);
    EXPECT_THAT(nothing.err, HasSubstr("there is no film data to remove at " + Db()));
}

TEST_F(DatasetCliTest, UsageErrorsNameTheHelpToRead) {
    const auto no_step = RunInProcess({"dataset"});
    EXPECT_EQ(no_step.exit_code, 2);
    EXPECT_THAT(no_step.err, HasSubstr("(see korvid-cli dataset --help)"));
    const auto no_value = RunInProcess({"dataset", "update", "--from"});
    EXPECT_EQ(no_value.exit_code, 2);
    EXPECT_THAT(no_value.err, HasSubstr("(see korvid-cli dataset update --help)"));
    const auto help = RunInProcess({"dataset", "status", "--help"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_THAT(help.out, HasSubstr("Exit codes: 0 a database is there, 1 none"));
}

TEST_F(DatasetCliTest, TheProgressLineOnlyWhereAskedFor) {
    std::ostringstream out;
    std::ostringstream err;
    const cli::DatasetUpdateOptions options{From(), "", true};
    ASSERT_EQ(cli::RunDatasetUpdateCommand(options, out, err), 0);
    // The line counts the whole download: at the last file, every length is known.
    EXPECT_THAT(err.str(), testing::ContainsRegex("\r\033\\[KFile 6 of 6: title.akas.tsv.gz, "
                                                  "downloading, [0-9.]+ kB of [0-9.]+ kB in all"));
    EXPECT_THAT(err.str(), testing::EndsWith("\r\033[K")) << "the line is cleared at the end";

    // korvid-cli itself, its standard error a pipe: no progress line at all.
    TempDir work;
    const auto child = test_support::RunChild(KORVID_BINARY_DIR "/cli/korvid-cli",
                                              {"dataset", "update", "--from", From()}, work.Path());
    EXPECT_EQ(child.exit_code, 0) << child.err;
    EXPECT_EQ(child.err, "");
}

// The database file's inode and modification time: what a build that puts a new one in place
// changes.
std::pair<ino_t, std::int64_t> StampOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return {info.st_ino, info.st_mtim.tv_sec * std::int64_t{1000000000} + info.st_mtim.tv_nsec};
}

// Sets the file's modification time, to the second.
void SetModified(const std::string& path, std::time_t seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// A second "dataset update --from FOLDER" of the same files says the database is up to date
// and leaves it as it is; a file of another size or time, the alternative titles come or gone,
// or a database of an earlier schema make it build again. Each step follows the one before.
TEST_F(DatasetCliTest, AFolderUpdatedAgainIsBuiltAgainOnlyWhenAFileChanged) {
    const std::time_t dated = 1796515200;  // 2026-12-06T00:00:00Z
    TempDir folder;
    const std::string ratings = folder.File("title.ratings.tsv.gz");
    const std::string akas = folder.File("title.akas.tsv.gz");
    for (const auto& [name, file] : site_->Site().Datasets()) {
        test_support::WriteFileBytes(folder.File(name), file.gzip);
        SetModified(folder.File(name), dated);
    }
    const auto first = RunInProcess({"dataset", "update", "--from", folder.Path()});
    ASSERT_EQ(first.exit_code, 0) << first.err;
    EXPECT_THAT(first.out, Not(HasSubstr("up to date")));

    struct Step {
        const char* what;
        std::function<void()> change;
        bool rebuilt;
    };
    const std::vector<Step> steps = {
        {"nothing changed", [] {}, false},
        {"a file of another size, of the same time",
         [&] {
             test_support::WriteFileBytes(
                 ratings,
                 sample::GzipCompress(test_support::ReadFileBytes(sample::DefaultDatasetsDir() +
                                                                  "/title.ratings.tsv") +
                                      "tt9000099\t9.9\t5\n"));
             SetModified(ratings, dated);
         },
         true},
        {"a file of the same size, of another time", [&] { SetModified(ratings, dated + 3600); },
         true},
        {"the alternative titles gone", [&] { std::filesystem::remove(akas); }, true},
        {"nothing changed without the alternative titles", [] {}, false},
        {"the alternative titles back",
         [&] {
             test_support::WriteFileBytes(akas,
                                          site_->Site().Datasets().at("title.akas.tsv.gz").gzip);
             SetModified(akas, dated);
         },
         true},
        {"a database of an earlier schema", [&] { test_support::MakeEarlierSchema(Db()); }, true},
    };
    for (const Step& step : steps) {
        const auto before = StampOf(Db());
        step.change();
        const auto again = RunInProcess({"dataset", "update", "--from", folder.Path()});
        ASSERT_EQ(again.exit_code, 0) << again.err;
        const std::string up_to_date = Db() + ": up to date, not built again: ";
        EXPECT_EQ(again.out.find(up_to_date) == std::string::npos, step.rebuilt) << step.what;
        EXPECT_EQ(StampOf(Db()) != before, step.rebuilt) << step.what;
    }
    EXPECT_EQ(std::to_string(dataset::FilmDatabase(Db()).Status().schema_version),
              dataset::kSchemaVersion);
}

// The site's browser check: the cause, then the way to the data sets.
TEST(BrowserCheckCliTest, SearchNamesTheCauseAndTheDatasetUpdate) {
    loopback::LoopbackServer site([](const loopback::HttpRequest&) {
        loopback::HttpResponse response = loopback::HttpResponse::WithStatus(202, "Accepted", "");
        response.headers.emplace_back("x-amzn-waf-action", "challenge");
        return response;
    });
    TempDir work;
    const auto run =
        RunInProcess({"search", "--host", site.HostPort(), "--dir", work.Path(), "alien"});
    EXPECT_EQ(run.exit_code, 3);
    EXPECT_THAT(run.err, HasSubstr("korvid-cli: the site asked for a browser check\n"
                                   "korvid-cli: the site's pages are closed to programs; run "
                                   "\"korvid-cli dataset update\""));
    EXPECT_FALSE(test_support::FileExists(work.File("imdbtemp.htm")));
}

}  // namespace
}  // namespace korvid
