// The film page parser on the sample film pages in tests/data, fetched from a loopback
// server, and on small pages built in the tests for the edge cases.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "client/IMDBImport.h"
#include "common/errors.h"
#include "loopback/loopback_server.h"
#include "tests/support/all_lines.h"
#include "tests/support/case_name.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using loopback::HttpRequest;
using loopback::HttpResponse;
using loopback::LoopbackServer;
using test_support::AllLines;
using test_support::FileExists;
using test_support::ReadFileBytes;
using test_support::ScriptedPrompts;
using test_support::TempDir;
using ::testing::ElementsAreArray;

// 2026-03-14 12:00 UTC: the same calendar day in every time zone from UTC-11 to UTC+11.
constexpr std::time_t ScanTime = 1773489600;
constexpr const char* ScanDate = "03/14/26";  // "%x" in the "C" locale

// A cover body with bytes a text conversion would change.
const std::string CoverBytes = std::string("\xFF\xD8\xFF\xE0", 4) + std::string("\0\r\n\x1A", 4) +
                               "JFIF cover body" + std::string("\xFF\xD9", 2);

std::string DataFile(const std::string& name) {
    return ReadFileBytes(std::string(KORVID_TEST_DATA_DIR) + "/" + name);
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// The opening lines of every film's XML document.
std::vector<std::string> XmlHead(const std::string& scanned_title) {
    return {"<DVD_Data>",
            "<Software_Info>",
            "  <Program>Brellow Korvid</Program>",
            "  <Written_By>Brellow</Written_By>",
            "  <Version>1.0</Version>",
            "</Software_Info>",
            "<Scan_Data>",
            "  <Scanned_Data>" + scanned_title + "</Scanned_Data>",
            std::string("  <Date_Scanned>") + ScanDate + "</Date_Scanned>",
            "</Scan_Data>",
            "<Movie_Data>"};
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Serves the sample pages under /title/<file> (with @HOST@ replaced by the server's
// address) and the cover under /covers/<anything>.
class FilmPageTest : public ::testing::Test {
  protected:
    FilmPageTest()
        : server_([this](const HttpRequest& request) { return Answer(request); }),
          importer_(prompts_) {
        importer_.SetClock([] { return ScanTime; });
        importer_.AppDir = app_dir_.Dir();
    }

    HttpResponse Answer(const HttpRequest& request) {
        if (request.target.rfind("/covers/", 0) == 0) {
            return HttpResponse::Ok(CoverBytes, "image/jpeg");
        }
        if (request.target.rfind("/title/", 0) == 0) {
            const std::string name = request.target.substr(7);
            return HttpResponse::Ok(ReplaceAll(DataFile(name), "@HOST@", server_.HostPort()));
        }
        return HttpResponse::WithStatus(404, "Not Found", "none");
    }

    // Fetches a sample page the way a result import does, and parses it.
    void ImportFilm(const std::string& name) {
        importer_.MovieUrl = PageUrl(name);
        ASSERT_TRUE(importer_.FetchPage(importer_.MovieUrl));
        importer_.ParseMoviePage();
    }

    void ParseText(const std::string& page) {
        importer_.PageLines.SetText(page);
        importer_.ParseMoviePage();
    }

    std::string PageUrl(const std::string& name) const {
        return server_.BaseUrl() + "/title/" + name;
    }

    std::vector<std::string> CoverRequests() const {
        std::vector<std::string> targets;
        for (const HttpRequest& request : server_.Requests()) {
            if (request.target.rfind("/covers/", 0) == 0) {
                targets.push_back(request.target);
            }
        }
        return targets;
    }

    // Slots 1 to 10 of Genres.
    std::vector<std::string> GenreSlots() const {
        std::vector<std::string> slots;
        for (std::size_t i = 1; i <= 10; ++i) {
            slots.push_back(importer_.Genres[i].str());
        }
        return slots;
    }

    TempDir app_dir_;
    LoopbackServer server_;
    ScriptedPrompts prompts_;
    TIMDBImport importer_;
};

// ---- The sample films ----

TEST_F(FilmPageTest, FilmWithEveryFieldFillsFieldsDocumentsAndCover) {
    importer_.Title = "silent orchard";  // what the user searched for
    ImportFilm("film-complete.html");

    const std::string cover_path = app_dir_.Dir() + "The Silent Orchard .jpg";
    EXPECT_EQ(importer_.Title, "The Silent Orchard ");
    EXPECT_EQ(importer_.Year, "1987");
    EXPECT_EQ(importer_.PosterUrl, "http://" + server_.HostPort() + "/covers/silent-orchard.jpg");
    EXPECT_EQ(importer_.PosterFile, cover_path);
    EXPECT_EQ(importer_.Director, "Ilse Varenne");
    EXPECT_EQ(importer_.Genre, "Drama");
    EXPECT_EQ(importer_.GenreSlot, 4);
    EXPECT_THAT(GenreSlots(),
                ElementsAreArray({"Drama", "Mystery", "Romance", "", "", "", "", "", "", ""}));
    EXPECT_EQ(importer_.TagLine, " Some things grow back. ");
    EXPECT_EQ(
        importer_.Plot,
        " A widowed beekeeper finds a letter that was never sent, and it's addressed to her. ");
    EXPECT_EQ(importer_.RunningTime, "104 min");
    EXPECT_EQ(importer_.CastTrueName, "Marten Holloway");
    EXPECT_EQ(importer_.CastName, "Aldo Brenn");
    EXPECT_EQ(importer_.LeadRole, "Marten Holloway as Aldo Brenn");
    EXPECT_EQ(importer_.Rated, "7.9/10");
    EXPECT_TRUE(importer_.MovieFound);
    EXPECT_TRUE(importer_.CsvRow.empty());

    const std::vector<std::string> xml = Concat(
        XmlHead("silent orchard"),
        {"<Movie_Title>The Silent Orchard </Movie_Title>",
         "<Year>1987</Year>",
         "<Poster_Image>" + cover_path + "</Poster_Image>",
         "<Director>Ilse Varenne</Director>",
         "<Movie_Genre>",
         "<Genre>Drama</Genre>",
         "<Genre>Mystery</Genre>",
         "<Genre>Romance</Genre>",
         "</Movie_Genre>",
         "<Additional_Info>",
         "<Tag_Line> Some things grow back. </Tag_Line>",
         "<Plot> A widowed beekeeper finds a letter that was never sent, and it's addressed to "
         "her. </Plot>",
         "</Additional_Info>",
         "<Running_Time>104 min</Running_Time>",
         "<Cast_Members>",
         "<Main_Cast_Member>",
         "    <True_Name>Marten Holloway</True_Name>",
         "    <Cast_Name>Aldo Brenn</Cast_Name>",
         " </Main_Cast_Member>",
         "</Cast_Members>",
         "<Rating>7.9/10</Rating>",
         "  </Movie_Data>",
         "</DVD_Data>"});
    EXPECT_THAT(AllLines(importer_.XmlLines), ElementsAreArray(xml));

    // The apostrophe of "it's" is gone from the row only; the image column holds the name alone.
    EXPECT_THAT(AllLines(importer_.CsvLines),
                ElementsAreArray({std::string(CsvHeaderRow),
                                  "The Silent Orchard ~1~The Silent Orchard .jpg~6~ A widowed "
                                  "beekeeper finds a letter that was never sent, and its addressed "
                                  "to her.  Directed By : Ilse Varenne~7.9/10~" +
                                      PageUrl("film-complete.html")}));

    EXPECT_EQ(ReadFileBytes(cover_path), CoverBytes);
    EXPECT_THAT(CoverRequests(), ElementsAreArray({"/covers/silent-orchard.jpg"}));
    EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(FilmPageTest, NoPosterLineHidesTheDirector) {
    importer_.Title = "brass";
    ImportFilm("film-no-poster.html");

    EXPECT_EQ(importer_.Title, "Brass Lanterns ");
    EXPECT_TRUE(importer_.Director.empty());  // "Directed by" is on the page
    EXPECT_TRUE(importer_.PosterUrl.empty());
    EXPECT_TRUE(importer_.PosterFile.empty());
    const std::vector<std::string> xml = Concat(
        XmlHead("brass"), {"<Movie_Title>Brass Lanterns </Movie_Title>",
                           "<Year>2004</Year>",
                           "<Movie_Genre>",
                           "<Genre>Comedy</Genre>",
                           "<Genre>Family</Genre>",
                           "</Movie_Genre>",
                           "<Additional_Info>",
                           "<Tag_Line> Light the way home. </Tag_Line>",
                           "<Plot> Two rival lamp makers share a shop for one winter. </Plot>",
                           "</Additional_Info>",
                           "<Running_Time>91 min</Running_Time>",
                           "<Cast_Members>",
                           "<Main_Cast_Member>",
                           "    <True_Name>Piet Olander</True_Name>",
                           "    <Cast_Name>Hugo Vos</Cast_Name>",
                           " </Main_Cast_Member>",
                           "</Cast_Members>",
                           "<Rating>6.4/10</Rating>",
                           "  </Movie_Data>",
                           "</DVD_Data>"});
    EXPECT_THAT(AllLines(importer_.XmlLines), ElementsAreArray(xml));
    EXPECT_THAT(AllLines(importer_.CsvLines),
                ElementsAreArray({std::string(CsvHeaderRow),
                                  "Brass Lanterns ~1~~6~ Two rival lamp makers share a shop for "
                                  "one winter.  Directed By : ~6.4/10~" +
                                      PageUrl("film-no-poster.html")}));
    EXPECT_TRUE(CoverRequests().empty());
}

TEST_F(FilmPageTest, NoGenreLineHidesTagLinePlotAndRunningTime) {
    importer_.Title = "kettle";
    ImportFilm("film-no-genre.html");

    EXPECT_EQ(importer_.Title, "Kettle & Crow ");
    EXPECT_EQ(importer_.Director, "Anselm Drury");
    EXPECT_TRUE(importer_.Genre.empty());
    EXPECT_TRUE(importer_.TagLine.empty());
    EXPECT_TRUE(importer_.Plot.empty());
    EXPECT_TRUE(importer_.RunningTime.empty());
    EXPECT_EQ(importer_.GenreSlot, 1);

    const std::string cover_path = app_dir_.Dir() + "Kettle & Crow .jpg";
    const std::vector<std::string> xml = Concat(
        XmlHead("kettle"),
        {"<Movie_Title>Kettle & Crow </Movie_Title>", "<Year>1962</Year>",
         "<Poster_Image>" + cover_path + "</Poster_Image>", "<Director>Anselm Drury</Director>",
         "<Movie_Genre>", "</Movie_Genre>", "<Additional_Info>", "</Additional_Info>",
         "<Cast_Members>", "<Main_Cast_Member>", "    <True_Name>Wendel Pike</True_Name>",
         "    <Cast_Name>The Tinker</Cast_Name>", " </Main_Cast_Member>", "</Cast_Members>",
         "<Rating>8.1/10</Rating>", "  </Movie_Data>", "</DVD_Data>"});
    EXPECT_THAT(AllLines(importer_.XmlLines), ElementsAreArray(xml));
    // "&" stands unescaped in both documents; category and details columns are empty.
    EXPECT_THAT(AllLines(importer_.CsvLines),
                ElementsAreArray(
                    {std::string(CsvHeaderRow), "Kettle & Crow ~1~Kettle & Crow .jpg~~~8.1/10~" +
                                                    PageUrl("film-no-genre.html")}));
    EXPECT_EQ(ReadFileBytes(cover_path), CoverBytes);
}

TEST_F(FilmPageTest, TitleWithoutYearKeepsItsTitleAndElevenGenresFillTenSlots) {
    ImportFilm("film-no-year.html");

    EXPECT_EQ(importer_.Title, "Harbour of Small Hours");
    EXPECT_TRUE(importer_.Year.empty());
    EXPECT_EQ(importer_.PosterFile, app_dir_.Dir() + "Harbour of Small Hours.jpg");
    EXPECT_EQ(ReadFileBytes(app_dir_.Dir() + "Harbour of Small Hours.jpg"), CoverBytes);

    const std::vector<std::string> all = {"Action", "Adventure", "Comedy",  "Crime",
                                          "Drama",  "Family",    "Fantasy", "History",
                                          "Horror", "Music",     "Mystery"};
    // Ten slots keep the first ten; the document still lists all eleven.
    EXPECT_THAT(GenreSlots(), ElementsAreArray(all.begin(), all.begin() + 10));
    EXPECT_TRUE(importer_.Genres[0].empty());
    EXPECT_EQ(importer_.GenreSlot, 11);
    EXPECT_EQ(importer_.Genre, "Action");
    std::vector<std::string> genre_lines;
    for (const std::string& line : AllLines(importer_.XmlLines)) {
        if (line.rfind("<Genre>", 0) == 0) {
            genre_lines.push_back(line);
        }
    }
    ASSERT_EQ(genre_lines.size(), all.size());
    EXPECT_EQ(genre_lines.back(), "<Genre>Mystery</Genre>");
    EXPECT_EQ(
        importer_.CsvLines[1].rfind("Harbour of Small Hours~1~Harbour of Small Hours.jpg~6~", 0),
        0u);
}

// ---- No film data survives from the film read before ----

TEST_F(FilmPageTest, MissingFieldsAreEmptyAfterAnotherFilm) {
    ImportFilm("film-complete.html");
    ImportFilm("film-no-genre.html");

    EXPECT_TRUE(importer_.Genre.empty());
    EXPECT_THAT(GenreSlots(), ElementsAreArray(std::vector<std::string>(10)));
    EXPECT_TRUE(importer_.TagLine.empty());
    EXPECT_TRUE(importer_.Plot.empty());
    EXPECT_TRUE(importer_.RunningTime.empty());
    // Line 8 holds the title the earlier parse produced.
    EXPECT_EQ(importer_.XmlLines[7], "  <Scanned_Data>The Silent Orchard </Scanned_Data>");
    EXPECT_EQ(importer_.CsvLines.Count(), 2);

    ImportFilm("film-no-poster.html");
    EXPECT_TRUE(importer_.Director.empty());
    EXPECT_TRUE(importer_.PosterUrl.empty());
    EXPECT_TRUE(importer_.PosterFile.empty());
    EXPECT_EQ(importer_.CsvLines[1].find("Kettle"), std::string::npos);

    // A page with none of the later markers: every field is empty, not the last film's.
    ParseText("<title>Bare Page (1970)</title>\n");
    for (const ShortString* field :
         {&importer_.Director, &importer_.Genre, &importer_.TagLine, &importer_.Plot,
          &importer_.RunningTime, &importer_.Rated, &importer_.PosterUrl, &importer_.PosterFile,
          &importer_.CastTrueName, &importer_.CastName, &importer_.LeadRole}) {
        EXPECT_TRUE(field->empty()) << field->str();
    }
    EXPECT_THAT(AllLines(importer_.CsvLines),
                ElementsAreArray({std::string(CsvHeaderRow),
                                  "Bare Page ~1~~~~~" + PageUrl("film-no-poster.html")}));
}

// ---- Title and year ----

struct TitleCase {
    const char* page;
    const char* title;
    const char* year;
};

void PrintTo(const TitleCase& c, std::ostream* out) {
    *out << c.page;
}

class TitleLineTest : public FilmPageTest, public ::testing::WithParamInterface<TitleCase> {};

TEST_P(TitleLineTest, SplitsTitleAndYear) {
    importer_.Title = "typed";
    ParseText(GetParam().page);
    EXPECT_EQ(importer_.Title, GetParam().title);
    EXPECT_EQ(importer_.Year, GetParam().year);
    EXPECT_EQ(importer_.XmlLines[11],
              std::string("<Movie_Title>") + GetParam().title + "</Movie_Title>");
    EXPECT_EQ(importer_.XmlLines[12], std::string("<Year>") + GetParam().year + "</Year>");
    EXPECT_EQ(AllLines(importer_.XmlLines).back(), "</DVD_Data>");
}

INSTANTIATE_TEST_SUITE_P(
    Titles, TitleLineTest,
    ::testing::Values(TitleCase{"<title>Some Film (1999)</title>", "Some Film ", "1999"},
                      TitleCase{"<title>A (B) (2001)</title>", "A  (2001)", "B"},
                      TitleCase{"<title>No Year At All</title>", "No Year At All", ""},
                      TitleCase{"<Title>Mixed Case (1990)</Title>", "", ""},
                      TitleCase{"<head>\n<TITLE>Capitals (1990)</TITLE>", "", ""},
                      TitleCase{"<title> Leading Space (1980)</title>", " Leading Space ", "1980"}),
    test_support::PrintedCaseName{});

TEST_F(FilmPageTest, PageWithoutTitleLineClearsAndStopsAfterMovieData) {
    importer_.Title = "typed";
    importer_.Director = "Earlier";
    importer_.ResultTitles.Add("a result");
    ParseText("<html>\n<body>no film here</body>\n");

    EXPECT_THAT(AllLines(importer_.XmlLines), ElementsAreArray(XmlHead("typed")));
    EXPECT_THAT(AllLines(importer_.CsvLines), ElementsAreArray({std::string(CsvHeaderRow)}));
    EXPECT_TRUE(importer_.MovieFound);
    EXPECT_TRUE(importer_.PageLines.Empty());
    EXPECT_TRUE(importer_.ResultTitles.Empty());
    EXPECT_TRUE(importer_.Director.empty());
    EXPECT_EQ(importer_.Title, "typed");
}

// ---- Genre loop ----

struct GenreCase {
    const char* name;
    const char* line;
    std::vector<std::string> stored;
};

class GenreLoopTest : public FilmPageTest, public ::testing::WithParamInterface<GenreCase> {};

TEST_P(GenreLoopTest, StoresLinksUntilMoreOrNoLinkEnd) {
    ParseText(std::string("<title>G (2000)</title>\n<b class=\"ch\">Genre:</b>\n") +
              GetParam().line + "\n");
    const std::vector<std::string>& stored = GetParam().stored;
    std::vector<std::string> slots(10);
    std::copy(stored.begin(), stored.end(), slots.begin());
    EXPECT_THAT(GenreSlots(), ElementsAreArray(slots));
    EXPECT_EQ(importer_.GenreSlot, static_cast<int>(stored.size()) + 1);
    EXPECT_EQ(importer_.Genre, slots[0]);

    std::vector<std::string> expected_lines = {"<Movie_Genre>"};
    for (const std::string& genre : stored) {
        expected_lines.push_back("<Genre>" + genre + "</Genre>");
    }
    expected_lines.push_back("</Movie_Genre>");
    const std::vector<std::string>& xml = AllLines(importer_.XmlLines);
    const auto open = std::find(xml.begin(), xml.end(), "<Movie_Genre>");
    ASSERT_NE(open, xml.end());
    EXPECT_EQ(std::vector<std::string>(open, open + static_cast<long>(expected_lines.size())),
              expected_lines);
    // The category column is "6" whenever the genre line exists.
    EXPECT_EQ(importer_.CsvLines[1], "G ~1~~6~~~");
}

INSTANTIATE_TEST_SUITE_P(
    Lines, GenreLoopTest,
    ::testing::Values(
        GenreCase{"ThreeLinksThenMore",
                  "<a href=\"/g/Action\">Action</a> / <a href=\"/g/Drama\">Drama</a> / "
                  "<a href=\"/k\">(more)</a>",
                  {"Action", "Drama"}},
        GenreCase{"MoreFirst", "<a href=\"/k\">(more)</a> <a href=\"/g/War\">War</a>", {}},
        GenreCase{"NoLinkEnd", "Action / Drama", {}},
        GenreCase{"MoreInOtherCaseIsAGenre",
                  "<a href=\"/g/War\">War</a> <a href=\"/k\">(More)</a>",
                  {"War", "(More)"}},
        GenreCase{"LinksWithoutSeparator",
                  "<a>Crime</a><a>Noir</a>",
                  // deleting the character after "</a>" eats the "<" of the second link
                  {"Crime", ""}},
        GenreCase{
            "LinkTextKeepsInnerMarkup", "<a href=\"/g\"><i>Western</i></a>", {"<i>Western</i>"}}),
    [](const ::testing::TestParamInfo<GenreCase>& info) { return std::string(info.param.name); });

// A genre line of a million bare link ends (5 MB): each step walks on from the last one, so
// every step is listed, and the link read last is the one before "(more)". (The time this
// takes is measured in bench_movie_page.)
TEST_F(FilmPageTest, GenreLineOfAMillionLinkEndsListsEveryStep) {
    constexpr std::size_t Steps = 1000000;
    std::string line;
    line.reserve(Steps * 5 + 64);
    for (std::size_t i = 0; i < Steps; ++i) {
        line += "</a> ";
    }
    line += "<a>Last</a> <a>(more)</a> <a>After</a>";
    ParseText("<title>G (2000)</title>\n<b class=\"ch\">Genre:</b>\n" + line + "\n");

    // A bare step far from the end holds no link text: the ten slots are empty.
    EXPECT_EQ(importer_.GenreSlot, 11);
    EXPECT_THAT(GenreSlots(), ElementsAreArray(std::vector<std::string>(10)));
    std::size_t genre_lines = 0;
    std::string last_genre;
    for (int i = 0; i < importer_.XmlLines.Count(); ++i) {
        const std::string_view xml_line = importer_.XmlLines[i];
        if (xml_line.rfind("<Genre>", 0) == 0) {
            ++genre_lines;
            last_genre = xml_line;
        }
    }
    EXPECT_EQ(genre_lines, Steps + 1);
    EXPECT_EQ(last_genre, "<Genre>Last</Genre>");
    EXPECT_EQ(importer_.CsvLines[1], "G ~1~~6~~~");
}

// ---- Cursor chains and the search starts ----

TEST_F(FilmPageTest, CastAndRatingAreSearchedFromTheTopAndChainsFromTheCursor) {
    // Rating and cast stand above the title; the tag line stands above the genre line.
    ParseText(
        "<b>9.0/10</b>\n"
        "<b class=\"ch\">Tagline:</b> Too early <a href=\"t\">more</a>\n"
        "<title>Order (2010)</title>\n"
        "<b class=\"ch\">Genre:</b>\n"
        "<a href=\"/g\">Drama</a>\n"
        "<b class=\"ch\">Plot Outline:</b> After the genres <a href=\"p\">more</a>\n");
    EXPECT_EQ(importer_.Rated, "9.0/10");
    EXPECT_TRUE(importer_.TagLine.empty());
    EXPECT_TRUE(importer_.Plot.empty());  // the tag line search found nothing, so neither does this
    EXPECT_EQ(importer_.Genre, "Drama");
}

TEST_F(FilmPageTest, SearchFromCursorStartsAtTheLineFoundBefore) {
    // The plot outline shares the tag line's line: the search from the cursor finds it there.
    ParseText(
        "<title>Same Line (2011)</title>\n"
        "<b class=\"ch\">Genre:</b>\n"
        "<a href=\"/g\">Drama</a> Tagline: Plot Outline:</b> Both here <a href=\"p\">x</a>\n"
        "Runtime:\n"
        " 95 min\n");
    EXPECT_EQ(importer_.TagLine, " Both here ");
    EXPECT_EQ(importer_.Plot, " Both here ");
    EXPECT_EQ(importer_.RunningTime, "95 min");
}

// ---- Cast line ----

TEST_F(FilmPageTest, CastLineOf382CharactersOrFewerGivesEmptyNames) {
    std::string cast = "Cast overview <a href=\"/name/nm1/\">Near The Start</a> .... ";
    cast += "<td valign=\"top\">Role</td>";
    cast.resize(382, ' ');
    ParseText("<title>Short Cast (1990)</title>\n" + cast + "\n");

    EXPECT_TRUE(importer_.CastTrueName.empty());
    EXPECT_TRUE(importer_.CastName.empty());
    EXPECT_EQ(importer_.LeadRole, " as ");
    const std::vector<std::string>& xml = AllLines(importer_.XmlLines);
    const auto open = std::find(xml.begin(), xml.end(), "<Cast_Members>");
    ASSERT_NE(open, xml.end());
    EXPECT_EQ(std::vector<std::string>(open, open + 6),
              (std::vector<std::string>{
                  "<Cast_Members>", "<Main_Cast_Member>", "    <True_Name></True_Name>",
                  "    <Cast_Name></Cast_Name>", " </Main_Cast_Member>", "</Cast_Members>"}));
}

struct CastCase {
    const char* name;
    std::size_t link_at;  // where the actor link starts in the line
    const char* after_dots;
    const char* true_name;
    const char* cast_name;
};

class CastEntryTest : public FilmPageTest, public ::testing::WithParamInterface<CastCase> {};

// The first 382 characters are dropped, then everything through the six characters after
// "....": a link that starts one character too early is lost, and the role cell must begin
// exactly where that cut ends.
TEST_P(CastEntryTest, ReadsActorAndRoleAfterTheFixedCuts) {
    std::string cast = "<table>Cast overview";
    cast.resize(GetParam().link_at, '-');
    cast += "<a href=\"/name/nm9/\">Far Along</a></td><td class=\"ddd\"> ....";
    cast += GetParam().after_dots;
    ParseText("<title>Long Cast (1990)</title>\n" + cast + "\n");
    EXPECT_EQ(importer_.CastTrueName, GetParam().true_name);
    EXPECT_EQ(importer_.CastName, GetParam().cast_name);
    EXPECT_EQ(importer_.LeadRole,
              std::string(GetParam().true_name) + " as " + GetParam().cast_name);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CastEntryTest,
    ::testing::Values(CastCase{"LinkAt382", 382, " </td><td valign=\"top\">The Stranger</td>",
                               "Far Along", "The Stranger"},
                      CastCase{"LinkAt381", 381, " </td><td valign=\"top\">The Stranger</td>", "",
                               "The Stranger"},
                      CastCase{
                          "CutEndsSixAfterTheDots", 400,
                          "12345<td valign=\"x\">Cut Cell</td><td valign=\"top\">Next Cell</td>",
                          "Far Along", "Next Cell"},
                      CastCase{"NoRoleCell", 382, "", "Far Along", ""}),
    [](const ::testing::TestParamInfo<CastCase>& info) { return std::string(info.param.name); });

// ---- A marker on the last line ----

struct LastLineCase {
    const char* name;
    const char* page;      // ends with the marker's line
    const char* last_xml;  // the last XML line added before the error
};

class MarkerOnLastLineTest : public FilmPageTest,
                             public ::testing::WithParamInterface<LastLineCase> {};

TEST_P(MarkerOnLastLineTest, RaisesListIndexErrorKeepingTheXmlSoFar) {
    importer_.PageLines.SetText(GetParam().page);
    const int line_count = importer_.PageLines.Count();
    try {
        importer_.ParseMoviePage();
        FAIL() << "no error raised";
    } catch (const ListIndexError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "List index out of bounds (" + std::to_string(line_count) + ")");
    }
    EXPECT_EQ(AllLines(importer_.XmlLines).back(), GetParam().last_xml);
    EXPECT_EQ(importer_.XmlLines[11], "<Movie_Title>Edge </Movie_Title>");
    EXPECT_THAT(AllLines(importer_.CsvLines), ElementsAreArray({std::string(CsvHeaderRow)}));
}

INSTANTIATE_TEST_SUITE_P(
    Steps, MarkerOnLastLineTest,
    ::testing::Values(
        // A poster line without an address: the cover download is refused before any request.
        LastLineCase{"Director", "<title>Edge (2020)</title>\n<a name=\"poster\">\nDirected by",
                     "<Poster_Image></Poster_Image>"},
        LastLineCase{"Genre", "<title>Edge (2020)</title>\n<b class=\"ch\">Genre:</b>",
                     "<Movie_Genre>"},
        LastLineCase{"RunningTime",
                     "<title>Edge (2020)</title>\n<b class=\"ch\">Genre:</b>\n\nTagline:\n"
                     "Plot Outline:\nRuntime:",
                     "</Additional_Info>"}),
    [](const ::testing::TestParamInfo<LastLineCase>& info) {
        return std::string(info.param.name);
    });

// ---- The CSV row ----

TEST_F(FilmPageTest, RowIsCutAt255Characters) {
    const std::string plot(200, 'p');
    importer_.MovieUrl = "http://127.0.0.1:1/title/tt7777777/";
    ParseText(
        "<title>Long Row (2015)</title>\n<b class=\"ch\">Genre:</b>\n<a>Drama</a>\n"
        "Tagline: b>tag<a\nPlot Outline: b>" +
        plot +
        "<a href=\"x\">more</a>\n"
        "<b>6.6/10</b>\n");
    const std::string full =
        "Long Row ~1~~6~" + plot + " Directed By : ~6.6/10~" + importer_.MovieUrl.str();
    ASSERT_GT(full.size(), 255u);
    EXPECT_EQ(importer_.CsvLines[1], full.substr(0, 255));
    EXPECT_EQ(importer_.CsvLines[1].find("tt7777777"), std::string::npos);
    // The XML document keeps the whole plot.
    const std::vector<std::string> xml = AllLines(importer_.XmlLines);
    EXPECT_NE(std::find(xml.begin(), xml.end(), "<Plot>" + plot + "</Plot>"), xml.end());
}

TEST_F(FilmPageTest, ApostrophesLeaveTheRowOnly) {
    ParseText("<title>Ma'am's 'Day' (1999)</title>\n<b>5.5/10</b>\n");
    EXPECT_EQ(importer_.CsvLines[1], "Maams Day ~1~~~~5.5/10~");
    EXPECT_EQ(importer_.XmlLines[11], "<Movie_Title>Ma'am's 'Day' </Movie_Title>");
    EXPECT_EQ(importer_.Title, "Ma'am's 'Day' ");
}

// ---- The texts whole ----

// The votes after the rating, for the film's texts (the NFO document's votes), in the forms
// film pages print them; a page without them gives none.
TEST_F(FilmPageTest, VotesOfTheRatingLineReachTheTexts) {
    const std::vector<std::pair<std::string, std::optional<std::int64_t>>> lines = {
        {"<b>7.9/10</b> <a href=\"ratings\" class=\"tn15more\">2,814 votes</a>", 2814},
        {"<b>6.8/10</b> (954 votes)", 954},
        {"<b>6.8/10</b> (1,234,567 votes)", 1234567},
        {"<b>6.8/10</b>", std::nullopt},
        {"<b>6.8/10</b> (no votes yet)", std::nullopt},
        {"12 votes <b>6.8/10</b>", std::nullopt},
    };
    for (const auto& [line, votes] : lines) {
        ParseText("<title>Voted (1990)</title>\n" + line + "\n");
        EXPECT_EQ(importer_.Texts().votes, votes) << line;
    }
    ParseText("<title>Unrated (1991)</title>\n");
    EXPECT_EQ(importer_.Texts().votes, std::nullopt) << "nothing of the film before survives";
}

TEST_F(FilmPageTest, TheCoverAddressReachesTheTexts) {
    ImportFilm("film-complete.html");
    EXPECT_EQ(importer_.Texts().cover_address,
              "http://" + server_.HostPort() + "/covers/silent-orchard.jpg");
    EXPECT_EQ(importer_.Texts().cover, app_dir_.Dir() + "The Silent Orchard .jpg");
}

// ---- The cover ----

TEST_F(FilmPageTest, PosterAddressIsReadFromTheWholeLine) {
    const std::string padding(300, 'x');
    ParseText("<title>Far Cover (1990)</title>\n<div \"poster\" " + padding + " src=\"http://" +
              server_.HostPort() + "/covers/far.jpg\" height=\"10\">\n");
    EXPECT_EQ(importer_.PosterUrl, "http://" + server_.HostPort() + "/covers/far.jpg");
    EXPECT_EQ(importer_.PosterFile, app_dir_.Dir() + "Far Cover .jpg");
    EXPECT_EQ(ReadFileBytes(app_dir_.Dir() + "Far Cover .jpg"), CoverBytes);
}

TEST_F(FilmPageTest, PosterLineWithoutSourceGivesNoAddress) {
    ParseText("<title>No Src (1990)</title>\n<img class=\"poster\" alt=\"x\" height=\"10\">\n");
    EXPECT_TRUE(importer_.PosterUrl.empty());
    EXPECT_TRUE(importer_.PosterFile.empty());
    EXPECT_EQ(importer_.XmlLines[13], "<Poster_Image></Poster_Image>");
    EXPECT_EQ(importer_.CsvLines[1], "No Src ~1~~~~~");
    EXPECT_TRUE(CoverRequests().empty());
    EXPECT_FALSE(FileExists(app_dir_.Dir() + "No Src .jpg"));
}

TEST_F(FilmPageTest, TitleWithPathDelimiterWritesNoCover) {
    // The program's folder two levels down, so an escape would still land in the test's folder.
    const std::filesystem::path program_dir = std::filesystem::path(app_dir_.Path()) / "a" / "b";
    std::filesystem::create_directories(program_dir);
    importer_.AppDir = program_dir.string() + "/";
    for (const std::string title : {"AC/DC Live", "..\\..\\escape", "../../escape"}) {
        SCOPED_TRACE(title);
        ParseText("<title>" + title + " (1991)</title>\n<a name=\"poster\"><img src=\"http://" +
                  server_.HostPort() + "/covers/x.jpg\" height=\"1\"></a>\n");
        EXPECT_TRUE(importer_.PosterFile.empty());
        EXPECT_EQ(importer_.XmlLines[13], "<Poster_Image></Poster_Image>");
        EXPECT_EQ(importer_.CsvLines[1], title + " ~1~~~~~");
    }
    EXPECT_TRUE(CoverRequests().empty());
    EXPECT_TRUE(prompts_.messages.empty());
    // Nothing was written in the program's folder or above it.
    EXPECT_TRUE(std::filesystem::is_empty(program_dir));
    EXPECT_FALSE(FileExists(app_dir_.File("escape .jpg")));
}

TEST_F(FilmPageTest, FailedCoverDownloadLeavesEmptyImageAndGoesOn) {
    importer_.AppDir = app_dir_.Dir() + "missing/";
    ParseText("<title>Lost (1990)</title>\n<a name=\"poster\"><img src=\"http://" +
              server_.HostPort() + "/covers/x.jpg\" height=\"1\"></a>\n<b>4.0/10</b>\n");
    EXPECT_TRUE(importer_.PosterFile.empty());
    EXPECT_EQ(importer_.XmlLines[13], "<Poster_Image></Poster_Image>");
    EXPECT_EQ(importer_.CsvLines[1], "Lost ~1~~~~4.0/10~");
    EXPECT_TRUE(prompts_.messages.empty());
}

}  // namespace
}  // namespace korvid
