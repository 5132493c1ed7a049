// Searches over a small database: exact title matches first, then by votes; letter case and
// accents ignored; every word must be in one of the two titles; the limit.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dataset/database_build.h"
#include "dataset/film_database.h"
#include "tests/dataset/dataset_files.h"
#include "tests/support/temp_dir.h"

namespace korvid::dataset {
namespace {

using test_support::TempDir;

class SearchTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir();
        test_support::DatasetRows rows;
        rows.basics =
            "tt0000001\tmovie\tAlien\tAlien\t0\t1979\t\\N\t117\tHorror\n"
            "tt0000002\tmovie\tAliens\tAliens\t0\t1986\t\\N\t137\tAction\n"
            "tt0000003\tmovie\tAlien Resurrection\tAlien Resurrection\t0\t1997\t\\N\t109\tAction\n"
            "tt0000004\ttvSeries\tAlien Nation\tAlien Nation\t0\t1989\t1990\t60\tDrama\n"
            "tt0000005\tmovie\tDer Fremde\tALIEN\t0\t1960\t\\N\t80\tDrama\n"
            "tt0000006\tmovie\tThe Nation of Aliens\tThe Nation of Aliens\t0\t2000\t\\N\t80\tDrama\n"
            "tt10000007\tvideo\tZo\xC3\xAB's \xC3\x89t\xC3\xA9\tZo\xC3\xAB's \xC3\x89t\xC3\xA9\t0\t"
            "2020\t\\N\t10\tComedy\n"
            "tt0000008\tmovie\tNation\tL'\xC3\xA9t\xC3\xA9 alien\t0\t2001\t\\N\t90\tDrama\n"
            "tt0000009\ttvEpisode\tAlien\tAlien\t0\t2002\t\\N\t30\tDrama\n";
        rows.ratings =
            "tt0000001\t8.5\t900000\n"
            "tt0000002\t8.4\t700000\n"
            "tt0000003\t6.2\t300000\n"
            "tt0000004\t7.0\t50000\n"
            "tt0000005\t6.0\t10\n"
            "tt0000008\t5.0\t400000\n"
            "tt0000009\t9.9\t9999999\n";
        db_path_ = new std::string(dir_->File("films.sqlite"));
        BuildDatabase(test_support::WriteDataset(dir_->Path(), rows), *db_path_);
    }
    static void TearDownTestSuite() {
        delete db_path_;
        delete dir_;
    }

    static std::vector<std::string> Ids(const std::vector<SearchEntry>& entries) {
        std::vector<std::string> ids;
        for (const auto& entry : entries) {
            ids.push_back(entry.tconst + (entry.exact ? "=" : ""));
        }
        return ids;
    }

    static TempDir* dir_;
    static std::string* db_path_;
};

TempDir* SearchTest::dir_ = nullptr;
std::string* SearchTest::db_path_ = nullptr;

TEST_F(SearchTest, ExactMatchesFirstThenByVotes) {
    FilmDatabase db(*db_path_);
    // tt0000005 is exact by its original title; tt0000008 holds "alien" in its original one.
    EXPECT_EQ(Ids(db.Search("alien")),
              (std::vector<std::string>{"tt0000001=", "tt0000005=", "tt0000008", "tt0000003",
                                        "tt0000004"}));
    const auto entries = db.Search("Alien Nation");
    EXPECT_EQ(Ids(entries), (std::vector<std::string>{"tt0000004="}));
    EXPECT_EQ(entries[0].primary_title, "Alien Nation");
    EXPECT_EQ(entries[0].type, "tvSeries");
    EXPECT_EQ(entries[0].year, 1989);
    EXPECT_EQ(entries[0].votes, 50000);
}

TEST_F(SearchTest, WordsMustAllBeInOneTitle) {
    FilmDatabase db(*db_path_);
    EXPECT_EQ(Ids(db.Search("nation aliens")), (std::vector<std::string>{"tt0000006"}));
    // "nation" is tt0000008's primary title and "alien" in its original one: not both in one.
    EXPECT_EQ(Ids(db.Search("nation alien")), (std::vector<std::string>{"tt0000004"}));
    EXPECT_TRUE(db.Search("alien predator").empty());
}

TEST_F(SearchTest, IgnoresCaseAccentsAndPunctuation) {
    FilmDatabase db(*db_path_);
    EXPECT_EQ(Ids(db.Search("ZOE ETE")), (std::vector<std::string>{"tt10000007"}));
    EXPECT_EQ(Ids(db.Search("zo\xC3\xAB's  \xC3\xA9T\xC3\xA9 ")),
              (std::vector<std::string>{"tt10000007="}));
    EXPECT_EQ(Ids(db.Search("\xC3\x89T\xC3\x89, alien!")), (std::vector<std::string>{"tt0000008"}));
}

TEST_F(SearchTest, KeepsToTheLimit) {
    FilmDatabase db(*db_path_);
    EXPECT_EQ(Ids(db.Search("alien", 1)), (std::vector<std::string>{"tt0000001="}));
    EXPECT_EQ(Ids(db.Search("alien", 3)),
              (std::vector<std::string>{"tt0000001=", "tt0000005=", "tt0000008"}));
    EXPECT_TRUE(db.Search("alien", 0).empty());
}

TEST_F(SearchTest, NoWordsNoEntries) {
    FilmDatabase db(*db_path_);
    EXPECT_TRUE(db.Search("").empty());
    EXPECT_TRUE(db.Search(" \t ").empty());
    EXPECT_TRUE(db.Search("!?").empty());
    EXPECT_EQ(db.Search("\"alien").size(), 5u);  // a quote is no word, nor query syntax
    EXPECT_TRUE(db.Search("alien OR aliens NOT").empty());
    EXPECT_TRUE(db.Search("\xFF\xFE").empty());
}

}  // namespace
}  // namespace korvid::dataset
