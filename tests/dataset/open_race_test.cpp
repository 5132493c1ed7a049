// The open of a film database whose path changes under it: a file put in its place between
// the first look and SQLite's open is refused, a FIFO among them without blocking; and an
// open that does not end within the open limit is given up on, its thread left to end alone.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <functional>
#include <ostream>
#include <string>

#include "dataset/database_build.h"
#include "dataset/film_database.h"
#include "tests/dataset/dataset_files.h"
#include "tests/support/fifo_guard.h"
#include "tests/support/held_open.h"
#include "tests/support/temp_dir.h"

namespace korvid::dataset {
namespace {

using test_support::TempDir;

// Builds a small film database at the path.
void MakeFilmDatabase(const std::string& folder, const std::string& path) {
    test_support::DatasetRows rows;
    rows.basics = "tt1000001\tmovie\tAlien\tAlien\t0\t1979\t\\N\t117\tHorror\n";
    BuildDatabase(test_support::WriteDataset(folder, rows), path);
}

// What another program puts at the path between the open's first look and SQLite's open.
struct Replacement {
    const char* name;
    std::function<void(const TempDir& dir, const std::string& path)> put;
};

void PrintTo(const Replacement& replacement, std::ostream* out) {
    *out << replacement.name;
}

class ReplacedWhileOpeningTest : public ::testing::TestWithParam<Replacement> {
  protected:
    ~ReplacedWhileOpeningTest() override { SetBeforeSqliteOpen({}); }
};

TEST_P(ReplacedWhileOpeningTest, IsRefusedWithoutBlocking) {
    TempDir dir;
    const std::string path = dir.File("films.sqlite");
    MakeFilmDatabase(dir.Path(), path);
    SetBeforeSqliteOpen([&](const std::string& opened) {
        SetBeforeSqliteOpen({});  // once
        GetParam().put(dir, opened);
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
}

INSTANTIATE_TEST_SUITE_P(
    Replacements, ReplacedWhileOpeningTest,
    ::testing::Values(
        Replacement{"AnotherDatabase",
                    [](const TempDir& dir, const std::string& path) {
                        const std::string other = dir.File("other.sqlite");
                        TempDir files;
                        MakeFilmDatabase(files.Path(), other);
                        ASSERT_EQ(std::rename(other.c_str(), path.c_str()), 0);
                    }},
        Replacement{"AFifo",
                    [](const TempDir&, const std::string& path) {
                        ASSERT_EQ(std::remove(path.c_str()), 0);
                        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
                    }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OpenLimitTest, AnOpenThatDoesNotEndInTimeIsGivenUpAndEndsOnItsOwn) {
    TempDir dir;
    const std::string path = dir.File("films.sqlite");
    MakeFilmDatabase(dir.Path(), path);
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
