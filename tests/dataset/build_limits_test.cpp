// The fields as a build keeps them: control characters made spaces, long fields cut at a
// character boundary, genre lists cut to whole entries; and the row counts a file may reach.

#include "dataset/build_limits.h"

#include <gtest/gtest.h>

#include <string>

namespace korvid::dataset {
namespace {

struct CleanCase {
    const char* name;
    std::string text;
    std::size_t longest;
    std::string kept;
};

TEST(CleanField, MakesControlsSpacesAndCutsAtACharacter) {
    const std::string e_acute = "\xC3\xA9";
    const CleanCase cases[] = {
        {"plain", "Ripley", 300, "Ripley"},
        {"newline and escape", "Line\none\x1B[31m", 300, "Line one [31m"},
        {"tab, CR, NUL, DEL", std::string("a\tb\rc\0d\x7F", 8), 300, "a b c d "},
        {"C1 next line", "a\xC2\x85" "b\xC2\x9F" "c\xC2\xA0" "d", 300, "a b c\xC2\xA0" "d"},
        {"cut", std::string(500, 'x'), 400, std::string(400, 'x')},
        {"cut before a character", std::string(399, 'x') + e_acute, 400, std::string(399, 'x')},
        {"cut after a character", std::string(398, 'x') + e_acute + "y", 400,
         std::string(398, 'x') + e_acute},
        {"cut inside a 4-byte character", "ab\xF0\x9F\x8E\xAC", 5, "ab"},
        {"cut, then cleaned", std::string(10, '\n') + "tail", 4, "    "},
    };
    for (const auto& c : cases) {
        std::string scratch;
        EXPECT_EQ(CleanField(c.text, c.longest, scratch), c.kept) << c.name;
    }
}

TEST(CleanList, KeepsWholeEntries) {
    std::string scratch;
    EXPECT_EQ(CleanList("Action,Sci-Fi", 200, scratch), "Action,Sci-Fi");
    EXPECT_EQ(CleanList("Action,Sci-Fi", 12, scratch), "Action");
    EXPECT_EQ(CleanList("Action,Sci-Fi", 13, scratch), "Action,Sci-Fi");
    EXPECT_EQ(CleanList(std::string(300, 'x') + ",Drama", 200, scratch), "");
    EXPECT_EQ(CleanList("Bad\x1B" "Genre", 200, scratch), "Bad Genre");
}

TEST(RowCount, FailsPastItsRowsAndOnMostlyMalformedRows) {
    RowCount few("title.ratings.tsv.gz");
    for (int i = 0; i < 1000; ++i) {
        few.Row();
    }
    few.Malformed(900);  // a small file with many bad rows still builds
    EXPECT_EQ(few.Rows(), 1000u);

    RowCount blank("title.basics.tsv.gz");
    try {
        for (std::uint64_t i = 0; i <= kMostMalformedRows; ++i) {
            blank.Row();
            blank.Malformed(1);
        }
        ADD_FAILURE() << "no limit";
    } catch (const LimitReached& error) {
        EXPECT_STREQ(error.what(), "too many malformed rows (100,001 of the first 100,001)");
    }

    // Past the count but under a tenth of the rows: real files with a few bad rows.
    RowCount large("name.basics.tsv.gz");
    for (std::uint64_t i = 0; i < 20 * kMostMalformedRows; ++i) {
        large.Row();
    }
    large.Malformed(kMostMalformedRows + 1);

    EXPECT_EQ(MostRows("title.ratings.tsv.gz"), 6'400'000u);
    EXPECT_EQ(MostRows("title.principals.tsv.gz"), 400'000'000u);
}

}  // namespace
}  // namespace korvid::dataset
