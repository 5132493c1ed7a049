// Reading a film's title and year from its file name, and choosing the entry of a result list
// that is the film the name speaks of.

#include "cli/file_name_title.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/title_match.h"
#include "tests/support/case_name.h"

namespace korvid::cli {
namespace {

constexpr int ThisYear = 2026;

struct NameCase {
    const char* name;
    const char* title;
    const char* year;
};

void PrintTo(const NameCase& c, std::ostream* out) {
    *out << c.name;
}

class FileNameTitleTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(FileNameTitleTest, ReadsTitleAndYear) {
    const NameCase& c = GetParam();
    const FileNameTitle read = ReadFileNameTitle(c.name, ThisYear);
    EXPECT_EQ(read.title, c.title) << c.name;
    EXPECT_EQ(read.year, c.year) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, FileNameTitleTest,
    ::testing::Values(
        NameCase{"The.Glass.Orchard.2004.720p.x264.mkv", "The Glass Orchard", "2004"},
        NameCase{"Glass Orchard, The (2004).avi", "The Glass Orchard", "2004"},
        NameCase{"glass_orchard.mpg", "glass orchard", ""},
        NameCase{"/films/sub.dir/Lantern.Road.[2019].BluRay.MP4", "Lantern Road", "2019"},
        NameCase{"Lantern Road - 1971 - DVDRip.avi", "Lantern Road", "1971"},
        // A bracketed year wins; a year inside the title stays in it.
        NameCase{"Death.Race.2000.(2008).avi", "Death Race 2000", "2008"},
        NameCase{"Death.Race.2000.2008.1080p.avi", "Death Race 2000", "2008"},
        // A year at the start is the title; a year to come or before films is no year.
        NameCase{"1917.2019.avi", "1917", "2019"}, NameCase{"1917.avi", "1917", ""},
        NameCase{"Lantern.Road.2031.avi", "Lantern Road 2031", ""},
        NameCase{"Lantern.Road.1887.avi", "Lantern Road 1887", ""},
        NameCase{"Lantern.Road.1888.avi", "Lantern Road", "1888"},
        NameCase{"Lantern.Road.2026.avi", "Lantern Road", "2026"},
        // Without a year, release words are cut off all the same.
        NameCase{"Canyon.1080p.x265.avi", "Canyon", ""},
        NameCase{"Brass_Lantern,_the.wmv", "the Brass Lantern", ""},
        NameCase{"Salt & Pepper Diner (1996).avi", "Salt & Pepper Diner", "1996"},
        NameCase{"  Night__Ferry   .avi", "Night Ferry", ""}, NameCase{"(2004).avi", "(2004)", ""},
        NameCase{"_.avi", "", ""}),
    test_support::PrintedCaseName{});

TEST(TitleMatch, SplitsAnEntryIntoTitleAndYear) {
    EXPECT_EQ(SplitListEntry("Lantern Road (1971)").title, "Lantern Road");
    EXPECT_EQ(SplitListEntry("Lantern Road (1971)").year, "1971");
    EXPECT_EQ(SplitListEntry("Lantern Road (2019/I)").year, "2019");
    EXPECT_EQ(SplitListEntry("Lantern Road (TV)").year, "");
    EXPECT_EQ(SplitListEntry("Lantern Road (TV)").title, "Lantern Road (TV)");
    // The kind the local film data adds after the year of a title that is not a film.
    EXPECT_EQ(SplitListEntry("Lantern Road (2019) (TV Mini Series)").title, "Lantern Road");
    EXPECT_EQ(SplitListEntry("Lantern Road (2019) (TV Mini Series)").year, "2019");
    EXPECT_EQ(SplitListEntry("Lantern Road (TV) (Video)").title, "Lantern Road (TV) (Video)");
}

TEST(TitleMatch, ChoosesTheEntryOfTheSameTitleAndYear) {
    const std::vector<std::string> list = {"Copper Canyon Express (1972)", "Lantern Road (1971)",
                                           "LANTERN-ROAD (2019)", "Salt  Pepper Diner (1996)",
                                           "Caf\xE9 Nocturne (2011)"};
    struct Case {
        const char* title;
        const char* year;
        std::optional<int> chosen;
    };
    const Case cases[] = {
        {"lantern road", "1971", 1},
        {"Lantern Road", "2019", 2},         // case and punctuation do not count
        {"Lantern Road", "", std::nullopt},  // two of that title and no year
        {"Lantern Road", "1999", std::nullopt},
        {"Canyon", "", std::nullopt},  // part of a title is not the title
        {"Copper Canyon Express", "", 0},
        {"Salt & Pepper Diner", "", 3},
        {"caf\xC9 nocturne", "2011", 4},  // Latin-1 letters fold too
        {"", "", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChooseEntry(list, c.title, c.year), c.chosen) << c.title << " " << c.year;
    }
}

}  // namespace
}  // namespace korvid::cli
