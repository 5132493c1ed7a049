// A build from files that hold what real files never do: duplicate rows (the first counts),
// fields far too long (cut at a character boundary), control characters raw and from JSON
// escapes (spaces), numbers out of range (dropped and counted), blank lines (malformed), a
// lead replaced again and again by a lower ordering.

#include <gtest/gtest.h>

#include <string>

#include "dataset/build_limits.h"
#include "dataset/database_build.h"
#include "dataset/film_database.h"
#include "tests/dataset/dataset_files.h"
#include "tests/support/temp_dir.h"

namespace korvid::dataset {
namespace {

TEST(HostileRows, AreCutCleanedAndCounted) {
    const std::string e_acute = "\xC3\xA9";
    const std::string long_title = std::string(399, 'x') + e_acute + "tail";
    test_support::DatasetRows rows;
    rows.basics = "tt0000001\tmovie\t" + long_title + "\t" + long_title +
                  "\t0\t999999999\t\\N\t120\tDrama\n"
                  "tt0000001\tmovie\tSecond\tSecond\t0\t1990\t\\N\t90\tComedy\n"
                  "\n"
                  "\r\n"
                  "tt0000002\tmovie\tBell\x07Tower\tBell\x07Tower\t0\t1999\t\\N\t100000\tDrama\n"
                  "tt0000003\tmovie\tPlain\tPlain\t0\t2000\t\\N\t90\tAction,Sci-Fi\n";
    rows.ratings =
        "tt0000001\t11.5\t500\n"
        "tt0000002\t8.0\t100\n"
        "tt0000002\t9.0\t999\n"
        "tt0000003\t0.5\t10\n";
    rows.crew = "tt0000001\tnm0000001\t\\N\n";
    // Twenty leads of falling ordering, each with a long character: the last one counts.
    for (int ordering = 20; ordering >= 1; --ordering) {
        rows.principals += "tt0000001\t" + std::to_string(ordering) + "\tnm00000" +
                           std::to_string(10 + ordering) + "\tactor\t\\N\t[\"Role " +
                           std::to_string(ordering) + std::string(1000, 'r') + "\"]\n";
    }
    rows.principals += "tt0000002\t1\tnm0000002\tactress\t\\N\t[\"Line\\nTwo\\u001b[0m\"]\n";
    rows.names = "nm0000001\tDir\x1B" "ector\t\\N\t\\N\t\\N\t\\N\n"
                 "nm0000002\tAnn\t\\N\t\\N\t\\N\t\\N\n"
                 "nm0000011\t" + std::string(1000, 'n') + "\t\\N\t\\N\t\\N\t\\N\n";
    test_support::TempDir dir;
    const BuildReport report =
        BuildDatabase(test_support::WriteDataset(dir.Path(), rows), dir.File("films.sqlite"));

    EXPECT_EQ(report.titles, 3);
    // Two blank lines, a year, a running time and two ratings out of range.
    EXPECT_EQ(report.skipped_rows, 6);
    FilmDatabase db(dir.File("films.sqlite"));

    const auto first = db.Film("tt0000001");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->primary_title, std::string(399, 'x'));
    EXPECT_EQ(first->original_title, std::string(399, 'x'));
    EXPECT_FALSE(first->year);
    EXPECT_EQ(first->minutes, 120);
    EXPECT_EQ(first->genres, std::vector<std::string>{"Drama"});
    EXPECT_EQ(first->rating, "");
    EXPECT_EQ(first->votes, 500);
    EXPECT_EQ(first->director, "Dir ector");
    EXPECT_EQ(first->lead, std::string(kLongestName, 'n'));
    EXPECT_EQ(first->lead_character, ("Role 1" + std::string(1000, 'r')).substr(0, 300));

    const auto second = db.Film("tt0000002");
    ASSERT_TRUE(second);
    EXPECT_EQ(second->primary_title, "Bell Tower");
    EXPECT_EQ(second->year, 1999);
    EXPECT_FALSE(second->minutes);
    EXPECT_EQ(second->rating, "8.0");
    EXPECT_EQ(second->votes, 100);
    EXPECT_EQ(second->lead, "Ann");
    EXPECT_EQ(second->lead_character, "Line Two [0m");

    const auto third = db.Film("tt0000003");
    ASSERT_TRUE(third);
    EXPECT_EQ(third->rating, "");
    EXPECT_EQ(third->votes, 10);
}

}  // namespace
}  // namespace korvid::dataset
