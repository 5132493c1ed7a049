// korvid-cli with a film database path someone else prepared: special files at the path are
// refused by search, dataset status and dataset update before anything is opened, read or
// built; a database that does not open in time ends the command with an error; the status
// shows the database's texts as search shows page text; an update from files of far fewer
// rows keeps the old database unless forced.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "dataset/sqlite_db.h"
#include "tests/cli/in_process.h"
#include "tests/dataset/dataset_files.h"
#include "tests/support/fifo_guard.h"
#include "tests/support/held_open.h"
#include "tests/support/local_films.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using test_support::RunInProcess;
using test_support::ScopedEnv;
using test_support::TempDir;
using ::testing::HasSubstr;
using ::testing::Not;

class HostileDatasetCliTest : public ::testing::Test {
  protected:
    // The sources of a build in a folder of their own.
    std::string Sources(const std::string& name, const test_support::DatasetRows& rows) {
        const std::string folder = dir_.File(name);
        ::mkdir(folder.c_str(), 0700);
        test_support::WriteDataset(folder, rows);
        return folder;
    }
    // Builds the database at the path from the local films; the exit code.
    int Built(const std::string& db) {
        return RunInProcess({"dataset", "update", "--from",
                             Sources("good", test_support::LocalFilmRows), "--db", db})
            .exit_code;
    }
    std::int64_t Titles(const std::string& db) {
        const auto status = RunInProcess({"dataset", "status", "--json", "--db", db});
        return nlohmann::json::parse(status.out).value("titles", std::int64_t{-1});
    }

    TempDir dir_;
    ScopedEnv cache_{"XDG_CACHE_HOME", dir_.File("cache")};
    ScopedEnv data_{"XDG_DATA_HOME", dir_.File("data")};
    ScopedEnv dataset_{"KORVID_DATASET", std::nullopt};
    ScopedEnv host_{"KORVID_HOST", "127.0.0.1:9"};
};

TEST_F(HostileDatasetCliTest, SpecialFilesAtTheDatabasePathAreRefusedBeforeAnyWork) {
    // Sources the build would fail on: a refusal that names them came too late.
    const std::string spoilt = Sources("spoilt", test_support::LocalFilmRows);
    test_support::WriteFileBytes(spoilt + "/title.basics.tsv.gz", "not gzip");
    const std::string fifo = dir_.File("fifo.sqlite");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = dir_.File("folder.sqlite");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);

    for (const auto& [path, kind, is_kind] :
         {std::tuple{fifo, "a FIFO", +[](mode_t mode) { return S_ISFIFO(mode); }},
          std::tuple{folder, "a folder", +[](mode_t mode) { return S_ISDIR(mode); }}}) {
        const std::string refusal = "korvid-cli: " + path + ": " + kind +
                                    ", not a film database file\n";
        const std::vector<std::pair<std::vector<std::string>, int>> commands = {
            {{"search", "--db", path, "alien"}, 3},
            {{"search", "--source", "local", "alien"}, 3},  // the path from KORVID_DATASET
            {{"dataset", "status"}, 1},
            {{"dataset", "update", "--from", spoilt}, 3},
        };
        for (const auto& [args, exit_code] : commands) {
            SCOPED_TRACE(path + " " + args.front() + " " + args[1]);
            ScopedEnv dataset("KORVID_DATASET", path);
            test_support::FifoGuard guard(fifo);
            const auto run = RunInProcess(args);
            EXPECT_FALSE(guard.Released()) << "blocked on the FIFO";
            EXPECT_EQ(run.exit_code, exit_code);
            EXPECT_THAT(run.err, HasSubstr(refusal));
            EXPECT_THAT(run.err, Not(HasSubstr("I/O error")));
            struct stat info {};
            ASSERT_EQ(::lstat(path.c_str(), &info), 0);
            EXPECT_TRUE(is_kind(info.st_mode));
        }
    }
}

// A database that does not open within the open limit (on a file system that does not
// answer) ends the command with an error instead of a wait.
TEST_F(HostileDatasetCliTest, ADatabaseThatDoesNotOpenInTimeEndsTheCommandWithAnError) {
    const std::string db = dir_.File("films.sqlite");
    ASSERT_EQ(Built(db), 0);
    const test_support::HeldOpen held(std::chrono::milliseconds(200));
    for (const auto& [args, exit_code] : std::vector<std::pair<std::vector<std::string>, int>>{
             {{"search", "--db", db, "alien"}, 3}, {{"dataset", "status", "--db", db}, 1}}) {
        SCOPED_TRACE(args.front());
        const auto run = RunInProcess(args);
        EXPECT_EQ(run.exit_code, exit_code);
        EXPECT_THAT(run.err, HasSubstr("korvid-cli: " + db +
                                       ": the film database did not open within 0.2 seconds\n"));
    }
}

TEST_F(HostileDatasetCliTest, StatusShowsTheDatabasesTextsAsSearchShowsPageText) {
    const std::string db = dir_.File("films\x1b[2J.sqlite");
    ASSERT_EQ(Built(db), 0);
    {
        dataset::SqliteConnection connection(db, SQLITE_OPEN_READWRITE);
        connection.Exec(
            "UPDATE meta SET value = '2026' || char(27) || ']0;owned' || char(7) || char(10) || "
            "'Titles:       999999' WHERE key = 'built_at';"
            "UPDATE meta SET value = char(155) || '31mred' WHERE key = 'date:title.crew.tsv.gz';"
            "INSERT INTO meta VALUES('date:forged' || char(10) || 'Names: 1', 'x');");
        connection.Close();
    }

    const auto text = RunInProcess({"dataset", "status", "--db", db});
    ASSERT_EQ(text.exit_code, 0) << text.err;
    EXPECT_EQ(text.out.find('\x1b'), std::string::npos) << text.out;
    EXPECT_EQ(text.out.find("\xC2\x9B"), std::string::npos) << text.out;
    EXPECT_THAT(text.out, HasSubstr("Database:     " + dir_.File("films\\033[2J.sqlite") + "\n"));
    EXPECT_THAT(text.out, HasSubstr("Built:        2026?]0;owned??Titles:       999999\n"));
    EXPECT_THAT(text.out, HasSubstr("  title.crew.tsv.gz        ?31mred\n"));
    EXPECT_THAT(text.out, Not(HasSubstr("forged")));

    const auto json = RunInProcess({"dataset", "status", "--json", "--db", db});
    ASSERT_EQ(json.exit_code, 0) << json.err;
    const auto object = nlohmann::json::parse(json.out);
    EXPECT_EQ(object["database"], db);
    EXPECT_EQ(object["built"], "2026?]0;owned??Titles:       999999");
    EXPECT_EQ(object["files"]["title.crew.tsv.gz"], "?31mred");
    EXPECT_EQ(object["files"].size(), 6u);
}

TEST_F(HostileDatasetCliTest, AnUpdateFromFarSmallerFilesKeepsTheOldDatabaseUnlessForced) {
    const std::string db = dir_.File("films.sqlite");
    ASSERT_EQ(Built(db), 0);
    const std::int64_t titles = Titles(db);
    ASSERT_GT(titles, 2);

    // Header-only files, as a server that lost its data would give.
    const std::string hollow = Sources("hollow", {});
    const auto refused = RunInProcess({"dataset", "update", "--from", hollow, "--db", db});
    EXPECT_EQ(refused.exit_code, 3);
    EXPECT_EQ(refused.out, "");
    // Refused at the first file read, by name.
    const auto ratings = std::count(test_support::LocalFilmRows.ratings.begin(),
                                    test_support::LocalFilmRows.ratings.end(), '\n');
    EXPECT_EQ(refused.err,
              "korvid-cli: title.ratings.tsv.gz: the new file holds fewer than half "
              "the rows of the copy the film database was built from (0 of " +
                  std::to_string(ratings) +
                  "); the old database is kept\n"
                  "korvid-cli: \"korvid-cli dataset update --force\" puts it in "
                  "place all the same\n");
    EXPECT_EQ(Titles(db), titles);

    const auto forced =
        RunInProcess({"dataset", "update", "--force", "--from", hollow, "--db", db});
    EXPECT_EQ(forced.exit_code, 0) << forced.err;
    EXPECT_EQ(Titles(db), 0);
}

}  // namespace
}  // namespace korvid
