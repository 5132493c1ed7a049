// A build asked to stop, while it reads a file or while its index statements run: it ends with
// BuildCancelled, keeps the old database and leaves no partial file; and build files left by a
// build that was killed are removed by the next one, unless a running build holds them.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <stop_token>
#include <string>
#include <thread>

#include "common/file_descriptor.h"
#include "dataset/build_file.h"
#include "dataset/database_build.h"
#include "tests/dataset/dataset_files.h"
#include "tests/support/temp_dir.h"

namespace korvid::dataset {
namespace {

using test_support::ReadFileBytes;
using test_support::TempDir;
using test_support::WriteFileBytes;

// Enough titles that the index statements run for many steps.
test_support::DatasetRows ManyTitles() {
    test_support::DatasetRows rows;
    for (int i = 0; i < 40000; ++i) {
        const std::string id = "tt" + std::to_string(1000000 + i);
        rows.basics += id + "\tmovie\tFilm " + std::to_string(i * 7919 % 100003) + " of Night\t" +
                       "Film " + std::to_string(i) + "\t0\t1999\t\\N\t90\tDrama\n";
        rows.ratings += id + "\t7.0\t" + std::to_string(i) + "\n";
    }
    rows.crew = "tt1000000\tnm0000001\t\\N\n";
    rows.principals = "tt1000000\t1\tnm0000001\tactor\t\\N\t[\"Lead\"]\n";
    rows.names = "nm0000001\tSomeone\t1950\t\\N\tactor\ttt1000000\n";
    return rows;
}

// The stop is asked from another thread once the build tells the phase (and file) wanted.
TEST(BuildStop, EndsTheBuildInEachPhaseAndKeepsTheOldDatabase) {
    TempDir dir;
    const BuildSources sources = test_support::WriteDataset(dir.Path(), ManyTitles());
    TempDir data;
    const std::string db_path = data.File("films.sqlite");
    WriteFileBytes(db_path, "the old database");

    struct Point {
        BuildProgress::Phase phase;
        int file_number;
    };
    for (const Point point : {Point{BuildProgress::Phase::Reading, 2},
                              Point{BuildProgress::Phase::Indexing, 0}}) {
        std::stop_source stop;
        std::atomic<bool> reached{false};
        std::jthread asker([&](std::stop_token done) {
            while (!reached && !done.stop_requested()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            stop.request_stop();
        });
        const auto progress = [&](const BuildProgress& step) {
            if (step.phase == point.phase && step.file_number == point.file_number) {
                reached = true;  // the build goes on: the stop reaches it where it then is
            }
        };
        EXPECT_THROW(BuildDatabase(sources, db_path, progress, stop.get_token()), BuildCancelled)
            << point.file_number;
        EXPECT_EQ(ReadFileBytes(db_path), "the old database");
        EXPECT_EQ(test_support::FileNames(data.Path()), std::set<std::string>{"films.sqlite"});
    }
}

TEST(BuildStop, StaleBuildFilesAreRemovedUnlessABuildHoldsThem) {
    TempDir data;
    const std::string db_path = data.File("films.sqlite");
    WriteFileBytes(data.File(".films.sqlite.new-AbC123"), "left by a killed build");
    WriteFileBytes(data.File(".films.sqlite.new-held00"), "a running build's");
    WriteFileBytes(data.File(".films.sqlite.new-toolong"), "not a build file");
    WriteFileBytes(data.File(".other.sqlite.new-AbC123"), "another database's");
    ASSERT_EQ(::mkfifo(data.File(".films.sqlite.new-fifo00").c_str(), 0600), 0);
    const FileDescriptor held(
        ::open(data.File(".films.sqlite.new-held00").c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(held.Get(), LOCK_EX | LOCK_NB), 0);

    TempDir dir;
    BuildDatabase(test_support::WriteDataset(dir.Path(), {}), db_path);
    EXPECT_EQ(test_support::FileNames(data.Path()),
              (std::set<std::string>{"films.sqlite", ".films.sqlite.new-held00",
                                     ".films.sqlite.new-toolong", ".other.sqlite.new-AbC123",
                                     ".films.sqlite.new-fifo00"}));
}

}  // namespace
}  // namespace korvid::dataset
