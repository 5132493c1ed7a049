// A build that fails keeps the old database as it was and leaves no partial file: a corrupt
// or cut gzip, a file that is not gzip or not a data-set file, a missing file, a file of
// blank lines, a file of more rows than a real one holds. A file of fewer than half the rows
// its copy gave the old database is refused too, unless the build is forced.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "dataset/build_limits.h"
#include "dataset/database_build.h"
#include "dataset/film_database.h"
#include "dataset/sqlite_db.h"
#include "dataset/tsv_row.h"
#include "tests/dataset/dataset_files.h"
#include "tests/support/local_films.h"
#include "tests/support/temp_dir.h"

namespace korvid::dataset {
namespace {

using test_support::ReadFileBytes;
using test_support::TempDir;
using test_support::WriteFileBytes;

test_support::DatasetRows SmallRows() {
    test_support::DatasetRows rows;
    for (int i = 1; i <= 200; ++i) {
        char id[16];
        std::snprintf(id, sizeof id, "%07d", i);
        const std::string title = "tt" + std::string(id);
        const std::string name = "nm" + std::string(id);
        rows.basics +=
            title + "\tmovie\tFilm " + std::to_string(i) + "\tFilm\t0\t2000\t\\N\t90\tDrama\n";
        rows.ratings += title + "\t7.0\t" + std::to_string(i * 10) + "\n";
        rows.crew += title + "\t" + name + "\t\\N\n";
        rows.principals += title + "\t1\t" + name + "\tactor\t\\N\t[\"Role\"]\n";
        rows.names += name + "\tPerson " + std::to_string(i) + "\t\\N\t\\N\t\\N\t\\N\n";
    }
    return rows;
}

struct Breakage {
    const char* name;
    const char* file;
    std::function<void(const std::string& path)> damage;
    const char* message;
};

class FailedBuild : public ::testing::TestWithParam<Breakage> {};

TEST_P(FailedBuild, KeepsTheOldDatabaseAndNoPartialFile) {
    TempDir dir;
    const std::string source_dir = dir.File("src");
    const std::string db_dir = dir.File("db");
    std::filesystem::create_directories(source_dir);
    const std::string db_path = db_dir + "/films.sqlite";
    const BuildSources sources = test_support::WriteDataset(source_dir, SmallRows());
    BuildDatabase(sources, db_path);
    const std::string before = ReadFileBytes(db_path);

    GetParam().damage(source_dir + "/" + GetParam().file);
    try {
        BuildDatabase(sources, db_path);
        ADD_FAILURE() << "the build succeeded";
    } catch (const DatasetError& error) {
        EXPECT_EQ(std::string(error.what()),
                  std::string(GetParam().file) + ": " + GetParam().message);
    }

    EXPECT_EQ(ReadFileBytes(db_path), before);
    EXPECT_EQ(test_support::FileNames(db_dir), std::set<std::string>{"films.sqlite"});
    EXPECT_TRUE(FilmDatabase(db_path).Film("tt0000007"));
}

void Corrupt(const std::string& path) {
    std::string bytes = ReadFileBytes(path);
    for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + 8; ++i) {
        bytes[i] = static_cast<char>(~bytes[i]);
    }
    WriteFileBytes(path, bytes);
}

void Cut(const std::string& path) {
    const std::string bytes = ReadFileBytes(path);
    WriteFileBytes(path, bytes.substr(0, bytes.size() * 2 / 3));
}

void PlainText(const std::string& path) {
    WriteFileBytes(path, "tconst\taverageRating\tnumVotes\n");
}

void OtherHeader(const std::string& path) {
    test_support::WriteGzipFile(path, "tconst\tdirectors\ntt0000001\tnm0000001\n");
}

// A small gzip of nothing but line ends.
void BlankLines(const std::string& path) {
    test_support::WriteGzipFile(path, std::string(dataset::kBasicsHeader) + "\n" +
                                          std::string(300'000, '\n'));
}

// One rating repeated past the rows a ratings file may hold.
void RepeatedRating(const std::string& path) {
    std::string text = std::string(dataset::kRatingsHeader) + "\n";
    const std::string row = "tt0000001\t7.0\t10\n";
    text.reserve(text.size() + row.size() * (dataset::MostRows("title.ratings.tsv.gz") + 1));
    for (std::uint64_t i = 0; i <= dataset::MostRows("title.ratings.tsv.gz"); ++i) {
        text += row;
    }
    test_support::WriteGzipFile(path, text);
}

void Remove(const std::string& path) {
    std::filesystem::remove(path);
}

void Empty(const std::string& path) {
    WriteFileBytes(path, "");
}

void EmptyGzip(const std::string& path) {
    test_support::WriteGzipFile(path, "");
}

INSTANTIATE_TEST_SUITE_P(
    Breakages, FailedBuild,
    ::testing::Values(
        Breakage{"CorruptGzip", "title.principals.tsv.gz", Corrupt, "the gzip data is corrupt"},
        Breakage{"CutGzip", "name.basics.tsv.gz", Cut, "the file is cut short"},
        Breakage{"NotGzip", "title.ratings.tsv.gz", PlainText, "not a gzip file"},
        Breakage{"OtherHeader", "title.crew.tsv.gz", OtherHeader, "not a data-set file"},
        Breakage{"NoLines", "title.basics.tsv.gz", EmptyGzip, "not a data-set file"},
        Breakage{"EmptyFile", "title.basics.tsv.gz", Empty, "the file is empty"},
        Breakage{"Missing", "title.basics.tsv.gz", Remove, "File not found"},
        Breakage{"BlankLines", "title.basics.tsv.gz", BlankLines,
                 "too many malformed rows (100,001 of the first 100,001)"},
        Breakage{"TooManyRows", "title.ratings.tsv.gz", RepeatedRating,
                 "more rows than a data-set file holds (over 6,400,000)"}),
    [](const auto& info) { return std::string(info.param.name); });

// Not compared: a file the old database was built without, and any file of an old database
// that recorded no rows.
TEST(RowGuard, AFileOfFewerThanHalfItsRowsIsRefusedByNameUnlessForced) {
    using Rows = test_support::DatasetRows;
    const struct {
        const char* file;
        std::string Rows::*rows;
        std::uint64_t kept;  // its first rows, in the new copy
        bool old_has_akas;
        bool old_rows_known;
        bool refused;
    } cases[] = {
        {"title.basics.tsv.gz", &Rows::basics, 4, true, true, true},  // of 9
        {"title.basics.tsv.gz", &Rows::basics, 5, true, true, false},
        {"title.ratings.tsv.gz", &Rows::ratings, 3, true, true, true},
        {"title.crew.tsv.gz", &Rows::crew, 1, true, true, true},
        {"title.principals.tsv.gz", &Rows::principals, 2, true, true, true},
        {"name.basics.tsv.gz", &Rows::names, 3, true, true, true},
        {"title.akas.tsv.gz", &Rows::akas, 5, true, true, true},
        {"title.akas.tsv.gz", &Rows::akas, 1, false, true, false},
        {"title.crew.tsv.gz", &Rows::crew, 0, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + std::to_string(c.kept));
        TempDir old_files, new_files, data;
        const std::string db_path = data.File("films.sqlite");
        Rows rows = test_support::LocalFilmRows;
        rows.akas.resize(c.old_has_akas ? rows.akas.size() : 0);
        BuildDatabase(test_support::WriteDataset(old_files.Path(), rows), db_path);
        if (!c.old_rows_known) {
            SqliteConnection(db_path, SQLITE_OPEN_READWRITE)
                .Exec("DELETE FROM meta WHERE key LIKE 'rows:%'");
        }
        const auto before = FilmDatabase(db_path).Status().file_rows;
        rows = test_support::LocalFilmRows;
        std::string& cut = rows.*c.rows;
        std::size_t end = 0;
        for (std::uint64_t i = 0; i < c.kept; ++i) {
            end = cut.find('\n', end) + 1;
        }
        cut.resize(end);
        const BuildSources sources = test_support::WriteDataset(new_files.Path(), rows);

        try {
            BuildDatabase(sources, db_path);
            EXPECT_FALSE(c.refused);
        } catch (const TooFewRows& refusal) {
            EXPECT_TRUE(c.refused) << refusal.what();
            EXPECT_EQ(refusal.File(), c.file);
            EXPECT_EQ(FilmDatabase(db_path).Status().file_rows, before);
            BuildDatabase(sources, db_path, {}, {}, true);
        }
        EXPECT_THAT(FilmDatabase(db_path).Status().file_rows,
                    ::testing::Contains(::testing::Pair(c.file, c.kept)));
    }
}

}  // namespace
}  // namespace korvid::dataset
