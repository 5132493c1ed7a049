// The importer on the local film database: the search entries in the site's forms and order,
// the direct hit, and a film's fields and documents against those of a classic film page of
// the same facts. The databases are built from small data-set files each test writes.

#include "client/local_source.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "client/IMDBImport.h"
#include "client/film_address.h"
#include "dataset/database_build.h"
#include "dataset/film_database.h"
#include "tests/dataset/dataset_files.h"
#include "tests/support/all_lines.h"
#include "tests/support/local_films.h"
#include "tests/support/parse_outcome.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using test_support::ScriptedPrompts;
using test_support::TempDir;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr const char* Host = "films.example:8080";
constexpr std::time_t ScanTime = 1773489600;  // 2026-03-14 noon UTC

std::string Address(const std::string& tconst) {
    return std::string("http://") + Host + "/title/" + tconst + "/";
}

class LocalSourceTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir();
        const std::string path = dir_->File("films.sqlite");
        dataset::BuildDatabase(
            test_support::WriteDataset(dir_->Path(), test_support::LocalFilmRows), path);
        database_ = new std::shared_ptr<const dataset::FilmDatabase>(
            std::make_shared<const dataset::FilmDatabase>(path));
    }
    static void TearDownTestSuite() {
        delete database_;
        delete dir_;
    }

    LocalSourceTest() : importer_(prompts_) {
        importer_.Host = Host;
        importer_.AppDir = work_.Dir();
        importer_.SetClock([] { return ScanTime; });
        importer_.UseFilmDatabase(*database_);
    }

    std::vector<std::string> Entries() const {
        return test_support::AllLines(importer_.ResultTitles);
    }

    static inline TempDir* dir_ = nullptr;
    static inline std::shared_ptr<const dataset::FilmDatabase>* database_ = nullptr;
    TempDir work_;
    ScriptedPrompts prompts_;
    TIMDBImport importer_;
};

// ---- The search: entries, their order and the direct hit ----

struct SearchCase {
    const char* name;
    const char* typed;  // Latin-1, as the window and korvid-cli hand the title over
    std::vector<std::string> entries;
    const char* hit;  // the film read at once, or nullptr
};

class LocalSearchTest : public LocalSourceTest, public ::testing::WithParamInterface<SearchCase> {};

TEST_P(LocalSearchTest, ListsEntriesInTheSiteFormOrReadsTheOneExactTitle) {
    const SearchCase& c = GetParam();
    importer_.Title = c.typed;
    ASSERT_TRUE(importer_.SearchTitle());
    EXPECT_EQ(importer_.Source(), LookupSource::Local);
    EXPECT_THAT(Entries(), ElementsAreArray(c.entries));
    if (c.hit != nullptr) {
        EXPECT_EQ(importer_.Outcome(), LookupOutcome::Film);
        EXPECT_TRUE(importer_.MovieFound);
        EXPECT_EQ(importer_.MovieUrl, Address(c.hit));
    } else {
        EXPECT_EQ(importer_.Outcome(),
                  c.entries.empty() ? LookupOutcome::NoResult : LookupOutcome::ResultList);
        EXPECT_FALSE(importer_.MovieFound);
    }
    // The entries' addresses read as the site's, one for each entry.
    ASSERT_EQ(importer_.ResultUrls.Count(), importer_.ResultTitles.Count());
    for (int i = 0; i < importer_.ResultUrls.Count(); ++i) {
        EXPECT_THAT(
            std::string(importer_.ResultUrls[i]),
            ::testing::MatchesRegex(std::string("http://") + Host + "/title/tt[0-9]{7,8}/"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Searches, LocalSearchTest,
    ::testing::Values(SearchCase{"OneExactTitleIsADirectHit", "alien", {}, "tt0078748"},
                      SearchCase{"LetterCaseDoesNotCount", "ALIEN", {}, "tt0078748"},
                      SearchCase{"AccentsDoNotCount", "JOELLE", {}, "tt9100005"},
                      SearchCase{"TypedLatin1AccentsMatch", "jo\xEBlle", {}, "tt9100005"},
                      SearchCase{"TheOriginalTitleCounts", "der lange weg", {}, "tt10000001"},
                      SearchCase{"TwoExactTitlesGiveAListExactFirst",
                                 "lantern road",
                                 {"Lantern Road (2019) (TV Series)", "Lantern Road (1971)",
                                  "Lantern Road Home (2005)"},
                                 nullptr},
                      SearchCase{"WithoutAnExactTitleByVotes",
                                 "road",
                                 {"The Long Road (2022) (TV Mini Series)",
                                  "Lantern Road (2019) (TV Series)", "Lantern Road (1971)",
                                  "Lantern Road Home (2005)", "Road Trip Diary (2010) (Video)"},
                                 nullptr},
                      SearchCase{"NothingMatchesNoResult", "zebra crossing", {}, nullptr}),
    [](const ::testing::TestParamInfo<SearchCase>& info) { return std::string(info.param.name); });

TEST_F(LocalSourceTest, AnEmptyTitleSearchesNothing) {
    importer_.Title = "";
    EXPECT_FALSE(importer_.SearchTitle());
    EXPECT_EQ(importer_.Outcome(), LookupOutcome::None);
}

TEST_F(LocalSourceTest, AnEntryOfTheListIsReadWithItsAddress) {
    importer_.Title = "lantern road";
    ASSERT_TRUE(importer_.SearchTitle());
    ASSERT_TRUE(importer_.ImportResult(1));
    EXPECT_EQ(importer_.Outcome(), LookupOutcome::Film);
    EXPECT_TRUE(importer_.MovieFound);
    EXPECT_EQ(importer_.Title, "Lantern Road ");
    EXPECT_EQ(importer_.Year, "1971");
    EXPECT_EQ(importer_.Director, "Anke Vos");
    EXPECT_EQ(importer_.LeadRole, "Paul Lindqvist");  // no character: the name alone
    EXPECT_EQ(importer_.MovieUrl, Address("tt9100001"));
    EXPECT_FALSE(importer_.ImportResult(3));  // past the end: nothing read
    EXPECT_EQ(importer_.Outcome(), LookupOutcome::None);
}

TEST_F(LocalSourceTest, AnEntryTheDatabaseNoLongerHoldsIsNoFilm) {
    importer_.ResultTitles.Add("Gone (1999)");
    importer_.ResultUrls.Add(Address("tt9999999"));
    EXPECT_FALSE(importer_.ImportResult(0));
    EXPECT_EQ(importer_.Outcome(), LookupOutcome::UnknownPage);
    EXPECT_FALSE(importer_.MovieFound);
}

// ---- A film's fields and documents ----

TEST_F(LocalSourceTest, ATitleWithoutRatingCrewOrPrincipalsLeavesThoseOut) {
    importer_.Title = "road trip diary";
    ASSERT_TRUE(importer_.SearchTitle());
    EXPECT_EQ(importer_.Title, "Road Trip Diary ");
    EXPECT_EQ(importer_.Rated, "");
    EXPECT_EQ(importer_.LeadRole, "");
    EXPECT_EQ(importer_.Genre, "");
    EXPECT_EQ(importer_.PosterFile, "");
    EXPECT_THAT(
        test_support::AllLines(importer_.CsvLines),
        ElementsAre(CsvHeaderRow, "Road Trip Diary ~1~~~ Directed By : ~~" + Address("tt9100004")));
    const std::vector<std::string> xml = test_support::AllLines(importer_.XmlLines);
    for (const char* left_out :
         {"<Director>", "<Rating>", "<Running_Time>", "<Main_Cast_Member>", "<Genre>"}) {
        EXPECT_EQ(
            std::count_if(xml.begin(), xml.end(),
                          [&](const std::string& line) { return line.rfind(left_out, 0) == 0; }),
            0)
            << left_out;
    }
    // The site's pages are not asked: no temporary page, no cover in the folder.
    EXPECT_FALSE(test_support::FileExists(work_.File(TempPageName)));
}

TEST_F(LocalSourceTest, ATitleWithoutAYearHasNoSpaceBeforeIt) {
    importer_.Title = "quiet film";
    ASSERT_TRUE(importer_.SearchTitle());
    EXPECT_EQ(importer_.Title, "Quiet Film");
    EXPECT_EQ(importer_.Year, "");
}

// A classic film page (Latin-1) of the facts the data sets hold for Joëlle: a cover line
// without a cover, an empty tag line and plot; the director and genres as links, the running
// time, the first cast entry and the rating in the page's own places.
std::string ClassicPageOfJoelle() {
    const std::string cast_prefix =
        "<table class=\"cast\"><tr><td colspan=\"4\" class=\"hdr\"><h3>Cast overview, first "
        "billed only:</h3></td></tr><tr><td colspan=\"4\" class=\"sub\">";
    std::string cast = cast_prefix + std::string(382 - cast_prefix.size(), 'x');
    cast +=
        "<tr class=\"odd\"><td class=\"nm\"><a href=\"/name/nm9100012/\">Mireille \xD8ster</a>"
        "</td><td class=\"ddd\"> .... </td><td valign=\"top\">H\xE9l\xE8ne</td></tr></table>";
    return "<html>\n<head>\n<title>Jo\xEBlle (2004)</title>\n</head>\n<body>\n"
           "<div class=\"photo\"><a name=\"poster\" href=\"/media/\"><img src=\"\" height=\"1\">"
           "</a></div>\n"
           "<h5>Directed by</h5>\n<a href=\"/name/nm9100010/\">Ji?\xED Nov\xE1k</a><br/>\n"
           "<div class=\"info\"><b class=\"ch\">Genre:</b>\n"
           "<a href=\"/Sections/Genres/Drama/\">Drama</a> / "
           "<a href=\"/Sections/Genres/Romance/\">Romance</a> "
           "<a class=\"tn15more\" href=\"/title/keywords\">(more)</a>\n</div>\n"
           "<div class=\"info\"><b class=\"ch\">Tagline:</b><a href=\"taglines\">more</a></div>\n"
           "<div class=\"info\"><b class=\"ch\">Plot Outline:</b><a href=\"plot\">more</a></div>\n"
           "<div class=\"info\"><b class=\"ch\">Runtime:</b>\n  95 min  \n</div>\n" +
           cast +
           "\n<div class=\"meta\"><b>7.1/10</b> <a href=\"ratings\">2,500 votes</a></div>\n"
           "</body>\n</html>\n";
}

// What both sources must agree on: all but the page itself and the line cursor.
test_support::ParseOutcome Comparable(test_support::ParseOutcome outcome) {
    outcome.page.clear();
    outcome.fields.at(16).clear();  // LineIndex
    return outcome;
}

TEST_F(LocalSourceTest, AFilmReadsAsTheClassicPageOfTheSameFactsReads) {
    importer_.Title = "joelle";
    ASSERT_TRUE(importer_.SearchTitle());

    ScriptedPrompts prompts;
    TIMDBImport classic(prompts);
    classic.Host = Host;
    classic.AppDir = work_.Dir();
    classic.SetClock([] { return ScanTime; });
    classic.Title = "joelle";
    classic.MovieUrl = Address("tt9100005");
    const test_support::ParseOutcome page =
        test_support::ParseAndRecord(classic, ClassicPageOfJoelle());
    ASSERT_EQ(page.error, "");

    test_support::ParseOutcome local = Comparable(test_support::Record(importer_));
    const test_support::ParseOutcome classic_page = Comparable(page);
    // The one line the page has not: the data's credit, as a comment before the film's part.
    const auto credit = std::find(local.xml.begin(), local.xml.end(),
                                  std::string("<!-- ") + dataset::CreditLine + " -->");
    ASSERT_NE(credit, local.xml.end());
    ASSERT_NE(credit + 1, local.xml.end());
    EXPECT_EQ(*(credit + 1), "<Movie_Data>");
    local.xml.erase(credit);
    EXPECT_THAT(local.fields, ElementsAreArray(classic_page.fields));
    EXPECT_THAT(local.xml, ElementsAreArray(classic_page.xml));
    EXPECT_THAT(local.csv, ElementsAreArray(classic_page.csv));
    // The forms themselves, in Latin-1; a character outside it reads "?".
    EXPECT_EQ(importer_.Title, "Jo\xEBlle ");
    EXPECT_EQ(importer_.Director, "Ji?\xED Nov\xE1k");
    EXPECT_EQ(importer_.LeadRole, "Mireille \xD8ster as H\xE9l\xE8ne");
    EXPECT_EQ(importer_.RunningTime, "95 min");
    EXPECT_EQ(importer_.Rated, "7.1/10");
    EXPECT_EQ(importer_.Genre, "Drama");
    EXPECT_EQ(importer_.GenreSlot, 3);
    EXPECT_EQ(importer_.Genres[2], "Romance");
}

// ---- The entry forms ----

TEST(LocalEntryTitleTest, NamesTheKindOfEveryTitleThatIsNotAFilm) {
    const std::vector<std::pair<std::string, std::string>> kinds = {
        {"movie", "Film (2001)"},
        {"tvSeries", "Film (2001) (TV Series)"},
        {"tvMiniSeries", "Film (2001) (TV Mini Series)"},
        {"tvMovie", "Film (2001) (TV Movie)"},
        {"video", "Film (2001) (Video)"},
        {"short", "Film (2001) (Short)"},
        {"videoGame", "Film (2001) (Video Game)"},
        {"tvSpecial", "Film (2001) (TV Special)"},
        {"tvShort", "Film (2001) (TV Short)"},
        {"tvPilot", "Film (2001) (TV Pilot)"},
    };
    for (const auto& [type, shown] : kinds) {
        dataset::SearchEntry entry;
        entry.type = type;
        entry.primary_title = "Film";
        entry.year = 2001;
        EXPECT_EQ(LocalEntryTitle(entry), shown) << type;
    }
}

TEST(FilmIdOfAddressTest, TakesOnlyAFilmPageAddress) {
    EXPECT_EQ(FilmIdOfAddress("http://h/title/tt0078748/"), "tt0078748");
    EXPECT_EQ(FilmIdOfAddress("http://h/title/tt10000001/"), "tt10000001");
    EXPECT_EQ(FilmIdOfAddress("http://h/title/tt10000001"), "tt10000001");
    EXPECT_EQ(FilmIdOfAddress("http://h/title/tt123456/"), "");
    EXPECT_EQ(FilmIdOfAddress("http://h/title/tt123456789/"), "");
    EXPECT_EQ(FilmIdOfAddress("http://h/find?q=alien"), "");
    EXPECT_EQ(FilmAddress("h:1", "tt0078748"), "http://h:1/title/tt0078748/");
}

}  // namespace
}  // namespace korvid
