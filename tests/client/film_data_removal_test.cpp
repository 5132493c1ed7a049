// Removing the film data: exactly Korvid's own files by their names, never a folder, a file of
// someone else's or what a link points to; refused while an update holds the cache.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

#include "client/film_data_removal.h"
#include "client/update_lock.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using test_support::FileExists;
using test_support::TempDir;
using test_support::WriteFileBytes;

std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
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
    EXPECT_EQ(Names(data.Path()), (std::set<std::string>{"films.sqlite.bak", "notes.txt"}));
    EXPECT_EQ(Names(cache.Path()), (std::set<std::string>{"film-data-removed", "mine.tsv.gz",
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
