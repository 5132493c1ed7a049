// The disk an update needs (the files still to download, the new database) against what is
// free, with the free bytes told by the test instead of a disk filled for it.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "client/dataset_download.h"
#include "client/film_data_disk.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using test_support::TempDir;
using test_support::WriteFileBytes;
using ::testing::HasSubstr;

constexpr std::uint64_t Basics = dataset::DatasetFiles[0].expected_bytes;
constexpr std::uint64_t Expected = dataset::ExpectedDatasetBytes();

TEST(FilmDataDiskTest, AnUpdateNeedsRoomForWhatItDownloadsAndForTheNewDatabase) {
    const struct {
        const char* name;
        std::vector<std::pair<std::string, std::size_t>> cache;  // files put in the cache
        std::vector<std::pair<std::string, std::size_t>> folder;  // files of a source folder
        std::uint64_t downloads;
        std::uint64_t files;
        std::int64_t free_beyond_need;  // the free bytes, against downloads + database
        const char* refusal;            // a part of the refusal; empty: there is room
    } cases[] = {
        {"nothing cached", {}, {}, Expected, Expected, 0, ""},
        {"a byte short", {}, {}, Expected, Expected, -1,
         "the update needs about 4.3 GB (the downloads 1.7 GB, the database 2.6 GB)"},
        {"a copy and a part cached", {{"title.basics.tsv.gz", 10}, {"title.crew.tsv.gz.part", 1000}},
         {}, Expected - Basics - 1000, Expected, -1, "the downloads 1.5 GB, the database 2.6 GB)"},
        {"a folder of files", {}, {{"title.basics.tsv.gz", 4000}, {"title.crew.tsv.gz", 2000}}, 0,
         6000, -1, "the update needs about 9 kB (the database)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir cache;
        TempDir folder;
        TempDir data;
        for (const auto& [name, size] : c.cache) {
            WriteFileBytes(cache.File(name), std::string(size, 'x'));
        }
        for (const auto& [name, size] : c.folder) {
            WriteFileBytes(folder.File(name), std::string(size, 'x'));
        }
        const DiskNeed need = EstimateDiskNeed(cache.Dir(), c.folder.empty() ? "" : folder.Dir());
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
        if (*c.refusal == '\0') {
            EXPECT_EQ(shortfall, "");
        } else {
            EXPECT_THAT(shortfall, HasSubstr(std::string(c.refusal) + " on the disk of " +
                                             data.Path() + ", where "));
        }
    }
}

TEST(FilmDataDiskTest, AnUpdateWithoutRoomIsRefusedBeforeAnythingIsFetched) {
    TempDir cache;
    TempDir data;
    DatasetDownloadOptions options;
    options.source = "http://127.0.0.1:1/";  // nobody there: a request would fail otherwise
    options.cache_folder = cache.Dir();
    options.db_path = data.File("films.sqlite");
    options.free_space = [](const std::string&) { return std::uint64_t{1} << 30; };
    try {
        UpdateDatasets(options);
        ADD_FAILURE() << "the update ran";
    } catch (const NotEnoughDisk& refused) {
        EXPECT_THAT(refused.what(), HasSubstr("1.1 GB is free"));
    }
}

}  // namespace
}  // namespace korvid
