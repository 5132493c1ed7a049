// The disk an update needs (the files still to download, the new database) against what is
// free, with the free bytes told by the test instead of a disk filled for it; and the removal
// of the film data: exactly Korvid's own files by their names, never a folder, a file of
// someone else's or what a link points to; refused while an update holds the cache.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "client/film_data_disk.h"
#include "client/film_data_removal.h"
#include "client/update_lock.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using test_support::FileExists;
using test_support::FileNames;
using test_support::TempDir;
using test_support::WriteFileBytes;
using ::testing::HasSubstr;

constexpr std::uint64_t Basics = dataset::DatasetFiles[0].expected_bytes;
constexpr std::uint64_t Expected = dataset::ExpectedDatasetBytes();

TEST(FilmDataDiskTest, AnUpdateNeedsRoomForWhatItDownloadsAndForTheNewDatabase) {
    const struct {
        const char* name;
        bool from_folder;  // the files are a source folder's, else put in the cache
        std::vector<std::pair<std::string, std::size_t>> put;
        std::uint64_t downloads;
        std::uint64_t files;
        std::int64_t free_beyond_need;  // the free bytes, against downloads + database
        const char* refusal;            // a part of the refusal; empty: there is room
    } cases[] = {
        {"nothing cached", false, {}, Expected, Expected, 0, ""},
        {"a byte short", false, {}, Expected, Expected, -1,
         "the update needs about 4.3 GB (the downloads 1.7 GB, the database 2.6 GB)"},
        {"a copy and a part cached", false,
         {{"title.basics.tsv.gz", 10}, {"title.crew.tsv.gz.part", 1000}},
         Expected - Basics - 1000, Expected, -1, "the downloads 1.5 GB, the database 2.6 GB)"},
        {"a folder of files", true, {{"title.basics.tsv.gz", 4000}, {"title.crew.tsv.gz", 2000}},
         0, 6000, -1, "the update needs about 9 kB (the database)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir cache;
        TempDir folder;
        TempDir data;
        for (const auto& [name, size] : c.put) {
            WriteFileBytes((c.from_folder ? folder : cache).File(name), std::string(size, 'x'));
        }
        const DiskNeed need = EstimateDiskNeed(cache.Dir(), c.from_folder ? folder.Dir() : "");
        EXPECT_EQ(need.downloads, c.downloads);
        EXPECT_EQ(need.files, c.files);
        EXPECT_EQ(need.database, DatabaseEstimate(c.files));

        // The cache and the database share the disk: what both need counts against one free
        // figure, asked of the nearest folder that exists.
        std::vector<std::string> asked;
        const std::uint64_t free = need.downloads + need.database + c.free_beyond_need;
        const FreeSpaceQuery query = [&](const std::string& where) {
            asked.push_back(where);
            return free;
        };
        const std::string shortfall =
            DiskShortfall(need, cache.Dir() + "not/yet", data.File("films.sqlite"), query);
        EXPECT_THAT(asked, ::testing::ElementsAre(data.Path()));
        EXPECT_EQ(shortfall.empty(), *c.refusal == '\0');
        if (*c.refusal != '\0') {
            EXPECT_THAT(shortfall, HasSubstr(std::string(c.refusal) + " on the disk of " +
                                             data.Path() + ", where "));
        }
    }
}

TEST(FilmDataRemovalTest, RemovesKorvidsFilesAndNothingElseAndNotesWhen) {
    TempDir data;
    TempDir cache;
    TempDir elsewhere;
    const std::string db = data.File("films.sqlite");
    for (const char* name : {"films.sqlite", "films.sqlite-wal", "films.sqlite-shm",
                                     "films.sqlite.bak", "notes.txt"}) {
        WriteFileBytes(data.File(name), "1234");
    }
    for (const char* name : {"title.basics.tsv.gz", "title.basics.tsv.gz.meta",
                                     "title.akas.tsv.gz.part", "title.akas.tsv.gz.part.meta",
                                     "mine.tsv.gz"}) {
        WriteFileBytes(cache.File(name), "12345678");
    }
    // A link at a copy's name is removed as a link; what it points to stays.
    WriteFileBytes(elsewhere.File("kept"), "kept");
    ASSERT_EQ(::symlink(elsewhere.File("kept").c_str(), cache.File("title.crew.tsv.gz").c_str()), 0);
    std::filesystem::create_directory(cache.File("title.ratings.tsv.gz"));

    const std::vector<FilmDataFile> there = FilmDataFiles(db, cache.Dir());
    EXPECT_EQ(there.size(), 8u);
    EXPECT_EQ(FilmDataBytes(there, false), 12u);
    EXPECT_EQ(FilmDataBytes(there, true), 32u);

    {
        // While an update holds the cache nothing is removed.
        const UpdateLock update(cache.Dir());
        EXPECT_THROW(RemoveFilmData(db, cache.Dir()), UpdateBusy);
        EXPECT_EQ(FilmDataFiles(db, cache.Dir()).size(), 8u);
        EXPECT_FALSE(FilmDataRemovedAt(cache.Dir()));
    }

    EXPECT_EQ(RemoveFilmData(db, cache.Dir()).size(), 8u);
    EXPECT_EQ(FileNames(data.Path()), (std::set<std::string>{"films.sqlite.bak", "notes.txt"}));
    EXPECT_EQ(FileNames(cache.Path()), (std::set<std::string>{"film-data-removed", "mine.tsv.gz",
                                                           "title.ratings.tsv.gz"}));
    EXPECT_TRUE(FileExists(elsewhere.File("kept")));
    const std::optional<std::string> when = FilmDataRemovedAt(cache.Dir());
    ASSERT_TRUE(when);
    EXPECT_THAT(*when, ::testing::MatchesRegex("20[0-9][0-9]-[01][0-9]-[0-3][0-9]T[0-9:]{8}Z"));

    ForgetFilmDataRemoval(cache.Dir());
    EXPECT_FALSE(FilmDataRemovedAt(cache.Dir()));
}

}  // namespace
}  // namespace korvid
