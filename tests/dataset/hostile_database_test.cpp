// A film database someone else made (a shared KORVID_DATASET): only a file whose tables are
// the build's own is opened; views, other columns, other full-text settings, oversized values
// and special files are refused at once, and a question that runs too long is ended with
// DatabaseNotAnswering. A file put in the path's place between the first look and SQLite's
// open is refused, a FIFO among them without blocking; and an open that does not end within
// the open limit is given up on, its thread left to end alone.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>

#include "dataset/database_build.h"
#include "dataset/database_schema.h"
#include "dataset/film_database.h"
#include "dataset/sqlite_db.h"
#include "tests/dataset/dataset_files.h"
#include "tests/support/fifo_guard.h"
#include "tests/support/held_open.h"
#include "tests/support/temp_dir.h"

namespace korvid::dataset {
namespace {

using test_support::TempDir;
using ::testing::HasSubstr;

// The columns of the titles table, for views that stand in for it.
constexpr const char* kTitleColumns =
    "id, tconst, type, primary_title, original_title, year, minutes, genres, rating, votes, "
    "director, lead, lead_character, primary_key, original_key";

// A Korvid database's tables of the schema, its word index and meta rows naming the version
// (no indexes), with one table's definition replaced by `replacement` (nothing replaced when
// `table` is empty).
std::string ForgedSchema(const SchemaText& schema, const std::string& table,
                         const std::string& replacement, int version) {
    const std::string indexes = schema.indexes;
    const std::size_t words = indexes.find("CREATE VIRTUAL TABLE");
    std::string sql = schema.tables + indexes.substr(words, indexes.find(';', words) + 1 - words);
    if (!table.empty()) {
        const std::string head = "CREATE TABLE " + table + "(";
        const std::size_t start = sql.find(head);
        sql.replace(start, sql.find(';', start) - start, replacement);
    }
    if (table != "meta") {
        sql += "INSERT INTO meta VALUES('schema_version', '" + std::to_string(version) +
               "'), ('complete', '1');";
    }
    return sql;
}

void MakeDatabase(const std::string& path, const std::string& sql) {
    SqliteConnection db(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    db.Exec(sql.c_str());
    db.Close();
}

struct Forgery {
    const char* name;
    std::string table;
    std::string replacement;
};

// Every schema Korvid reads: today's and the one of databases an earlier Korvid built.
TEST(HostileDatabaseTest, OnlyTheBuildsOwnTablesAreOpened) {
    for (const SchemaText& schema : kSchemas) {
        SCOPED_TRACE(schema.version);
        const auto forged = [&schema](const std::string& table, const std::string& replacement) {
            return ForgedSchema(schema, table, replacement, schema.version);
        };
        const std::string endless =
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) ";
        const Forgery forgeries[] = {
            {"titles as an endless view", "titles",
             "CREATE VIEW titles(" + std::string(kTitleColumns) + ") AS " + endless +
                 "SELECT i, 'tt' || i, 'movie', 'x', NULL, NULL, NULL, '', NULL, 0, NULL, NULL, "
                 "NULL, 'x', NULL FROM n"},
            {"meta as an endless view", "meta",
             "CREATE VIEW meta(key, value) AS " + endless + "SELECT 'complete', '1' FROM n"},
            {"names with a huge generated value", "names",
             "CREATE TABLE names(nconst TEXT PRIMARY KEY, name TEXT NOT NULL, "
             "big AS (zeroblob(900000000)))"},
            {"titles with a column of its own", "titles",
             "CREATE TABLE titles(id INTEGER PRIMARY KEY, tconst TEXT, type TEXT, primary_title, "
             "original_title, year, minutes, genres, rating, votes, director, lead, "
             "lead_character, "
             "primary_key, original_key, extra)"},
        };
        for (const Forgery& forgery : forgeries) {
            SCOPED_TRACE(forgery.name);
            TempDir dir;
            const std::string path = dir.File("films.sqlite");
            MakeDatabase(path, forged(forgery.table, forgery.replacement));
            try {
                FilmDatabase database(path);
                ADD_FAILURE() << "opened";
            } catch (const DatasetError& error) {
                EXPECT_EQ(std::string(error.what()), path + ": not a Korvid film database");
            }
        }

        // The word index with other settings, and a word index's table as a view.
        TempDir dir;
        const std::string porter = dir.File("porter.sqlite");
        std::string sql = forged("", "");
        sql.replace(sql.find("unicode61 remove_diacritics "), 29, "porter");
        MakeDatabase(porter, sql);
        EXPECT_THROW(FilmDatabase{porter}, DatasetError);
        const std::string shadow = dir.File("shadow.sqlite");
        MakeDatabase(shadow,
                     forged("", "") +
                         "PRAGMA writable_schema = ON;"
                         "UPDATE sqlite_schema SET sql = 'CREATE VIEW title_words_config(k, v) "
                         "AS SELECT 1, 2' WHERE name = 'title_words_config';");
        EXPECT_THROW(FilmDatabase{shadow}, DatasetError);

        // The same schema unforged opens.
        const std::string plain = dir.File("plain.sqlite");
        MakeDatabase(plain, forged("", ""));
        EXPECT_EQ(FilmDatabase(plain).Search("x").size(), 0u);
        // The tables of one schema under the other's version are no Korvid database.
        const std::string mixed = dir.File("mixed.sqlite");
        MakeDatabase(mixed, ForgedSchema(schema, "", "", 3 - schema.version));
        EXPECT_THROW(FilmDatabase{mixed}, DatasetError);
    }
}

TEST(HostileDatabaseTest, OversizedValuesAndSlowQuestionsAreRefused) {
    TempDir dir;
    const std::string path = dir.File("films.sqlite");
    test_support::DatasetRows rows;
    for (int i = 0; i < 3000; ++i) {
        rows.basics += "tt" + std::to_string(1000000 + i) + "\tmovie\tAlien " + std::to_string(i) +
                       "\tAlien\t0\t1979\t\\N\t117\tHorror\n";
    }
    BuildDatabase(test_support::WriteDataset(dir.Path(), rows), path);

    // A question that has not finished within its limit ends with its own error.
    EXPECT_THROW(
        {
            FilmDatabase slow(path, std::chrono::milliseconds(0));
            slow.Search("alien");
        },
        DatabaseNotAnswering);
    EXPECT_EQ(FilmDatabase(path).Search("alien").size(), 200u);

    // A value far longer than any the files give is an error, not an allocation.
    {
        SqliteConnection db(path, SQLITE_OPEN_READWRITE);
        db.Exec("UPDATE titles SET primary_title = zeroblob(50000000) WHERE tconst = 'tt1000000'");
        db.Close();
    }
    const FilmDatabase database(path);
    EXPECT_THROW(database.Film("tt1000000"), DatasetError);
    EXPECT_TRUE(database.Film("tt1000001").has_value());
}

TEST(HostileDatabaseTest, APathThatIsNoRegularFileIsRefusedUnopened) {
    TempDir dir;
    const std::string fifo = dir.File("fifo.sqlite");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = dir.File("folder.sqlite");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    const std::pair<std::string, const char*> cases[] = {
        {fifo, ": a FIFO, not a film database file"},
        {folder, ": a folder, not a film database file"},
        {"/dev/null", ": a device, not a film database file"},
    };
    for (const auto& [path, message] : cases) {
        SCOPED_TRACE(path);
        test_support::FifoGuard guard(fifo);
        try {
            FilmDatabase database(path);
            ADD_FAILURE() << "opened";
        } catch (const DatasetError& error) {
            EXPECT_EQ(std::string(error.what()), path + message);
        }
        EXPECT_FALSE(guard.Released()) << "blocked on the FIFO";
    }
    try {
        FilmDatabase database(dir.File("none.sqlite"));
        ADD_FAILURE() << "opened";
    } catch (const DatasetError& error) {
        EXPECT_THAT(error.what(), HasSubstr("none.sqlite: File not found"));
    }
}

// A small film database at the path, built in a folder of its own.
void MakeFilmDatabase(const std::string& path) {
    TempDir files;
    test_support::DatasetRows rows;
    rows.basics = "tt1000001\tmovie\tAlien\tAlien\t0\t1979\t\\N\t117\tHorror\n";
    BuildDatabase(test_support::WriteDataset(files.Path(), rows), path);
}

TEST(OpenRaceTest, AFileReplacedWhileOpeningIsRefusedWithoutBlocking) {
    // What another program puts at the path between the open's first look and SQLite's open.
    const std::pair<const char*, std::function<void(const TempDir&, const std::string&)>>
        replacements[] = {
            {"another database",
             [](const TempDir& dir, const std::string& path) {
                 MakeFilmDatabase(dir.File("other.sqlite"));
                 ASSERT_EQ(std::rename(dir.File("other.sqlite").c_str(), path.c_str()), 0);
             }},
            {"a FIFO",
             [](const TempDir&, const std::string& path) {
                 ASSERT_EQ(std::remove(path.c_str()), 0);
                 ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
             }},
        };
    for (const auto& [name, put] : replacements) {
        SCOPED_TRACE(name);
        TempDir dir;
        const std::string path = dir.File("films.sqlite");
        MakeFilmDatabase(path);
        SetBeforeSqliteOpen([&, put = put](const std::string& opened) {
            SetBeforeSqliteOpen({});  // once
            put(dir, opened);
        });
        test_support::FifoGuard guard(path);
        try {
            FilmDatabase database(path);
            ADD_FAILURE() << "opened";
        } catch (const DatasetError& error) {
            EXPECT_EQ(std::string(error.what()),
                      path + ": the file was replaced while it was being opened");
        }
        EXPECT_FALSE(guard.Released()) << "blocked on the FIFO";
        SetBeforeSqliteOpen({});
    }
}

TEST(OpenLimitTest, AnOpenThatDoesNotEndInTimeIsGivenUpAndEndsOnItsOwn) {
    TempDir dir;
    const std::string path = dir.File("films.sqlite");
    MakeFilmDatabase(path);
    {
        test_support::HeldOpen held(std::chrono::milliseconds(200));
        try {
            OpenFilmDatabase(path);
            ADD_FAILURE() << "opened";
        } catch (const DatabaseNotOpening& error) {
            EXPECT_EQ(std::string(error.what()),
                      path + ": the film database did not open within 0.2 seconds");
        }
        EXPECT_EQ(OpensRunning(), 1);
        // Released, the open ends on its own thread and drops the database nobody waits for.
        held.Release();
        EXPECT_TRUE(test_support::HeldOpen::WaitForOpens());
    }
    EXPECT_EQ(OpenLimit(), DefaultOpenLimit);
    EXPECT_EQ(OpenFilmDatabase(path)->Search("alien").size(), 1u);
}

}  // namespace
}  // namespace korvid::dataset

namespace korvid::dataset {
namespace {

// A file the system refuses is named with the system's words (as "Permission denied" for a
// database the user may not read), not SQLite's "unable to open database file".
TEST(SqliteConnectionTest, AFileThatCannotBeOpenedIsRefusedInTheSystemsWords) {
    TempDir dir;
    const std::string path = dir.File("missing/films.sqlite");
    try {
        SqliteConnection db(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        ADD_FAILURE() << "opened";
    } catch (const DatasetError& error) {
        EXPECT_EQ(std::string(error.what()), path + ": No such file or directory");
    }
}

}  // namespace
}  // namespace korvid::dataset
