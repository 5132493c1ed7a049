// The movie NFO document: its fields for each source, the escaping of every text, the comment
// that marks Korvid's own files, and a real XML parser reading it back.

#include "client/nfo_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dataset/film_database.h"
#include "tests/support/temp_dir.h"
#include "tests/support/xml_check.h"

namespace korvid {
namespace {

using test_support::TempDir;
using test_support::XmlProblems;
using test_support::XmlValue;

// A table's rows are named by their name field.
constexpr auto ByName = [](const auto& info) { return info.param.name; };

// A film of the local film data, as LocalFilmTexts and a cover fetch leave it.
FilmTexts Amelie() {
    FilmTexts film;
    film.title = "Amélie ";
    film.original_title = "Le fabuleux destin d'Amélie Poulain";
    film.year = "2001";
    film.director = "Jean-Pierre Jeunet";
    film.cast_true_name = "Audrey Tautou";
    film.cast_name = "Amélie Poulain";
    film.rated = "8.3/10";
    film.genres = {"Comedy", "Romance"};
    film.running_time = "122 min";
    film.address = "http://www.imdb.com/title/tt0211915/";
    film.votes = 780000;
    return film;
}

TEST(NfoDocument, LocalFilmWholeWithBothComments) {
    EXPECT_EQ(
        NfoDocument(Amelie(), LookupSource::Local, "1.1.1.0"),
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<!-- Written by Korvid 1.1.1.0 -->\n"
        "<!-- Information courtesy of IMDb (https://www.imdb.com). Used with permission. -->\n"
        "<movie>\n"
        "  <title>Amélie</title>\n"
        "  <originaltitle>Le fabuleux destin d&apos;Amélie Poulain</originaltitle>\n"
        "  <year>2001</year>\n"
        "  <runtime>122</runtime>\n"
        "  <genre>Comedy</genre>\n"
        "  <genre>Romance</genre>\n"
        "  <director>Jean-Pierre Jeunet</director>\n"
        "  <actor>\n"
        "    <name>Audrey Tautou</name>\n"
        "    <role>Amélie Poulain</role>\n"
        "    <order>0</order>\n"
        "  </actor>\n"
        "  <ratings>\n"
        "    <rating name=\"imdb\" max=\"10\" default=\"true\">\n"
        "      <value>8.3</value>\n"
        "      <votes>780000</votes>\n"
        "    </rating>\n"
        "  </ratings>\n"
        "  <uniqueid type=\"imdb\" default=\"true\">tt0211915</uniqueid>\n"
        "</movie>\n");
}

// Each field as the document writes it, or leaves it out, from the film's text.
struct FieldCase {
    std::string name;
    void (*set)(FilmTexts&);
    std::string expected;  // a line the document holds; empty: the element is not there
    std::string element;   // the element looked for when it is not there
};

const std::vector<FieldCase> FieldCases = {
    {"OriginalTitleEqualIsLeftOut", [](FilmTexts& f) { f.original_title = "Amélie"; }, "",
     "<originaltitle>"},
    {"YearWithSuffix", [](FilmTexts& f) { f.year = "2001/I"; }, "  <year>2001</year>\n", ""},
    {"YearNotANumber", [](FilmTexts& f) { f.year = "????"; }, "", "<year>"},
    {"RuntimeWithCountry", [](FilmTexts& f) { f.running_time = "USA:117 min"; },
     "  <runtime>117</runtime>\n", ""},
    {"NoRuntime", [](FilmTexts& f) { f.running_time.clear(); }, "", "<runtime>"},
    {"NoGenres", [](FilmTexts& f) { f.genres.clear(); }, "", "<genre>"},
    {"NoDirector", [](FilmTexts& f) { f.director.clear(); }, "", "<director>"},
    {"NoLead", [](FilmTexts& f) { f.cast_true_name.clear(); }, "", "<actor>"},
    {"LeadWithoutRole", [](FilmTexts& f) { f.cast_name.clear(); },
     "    <name>Audrey Tautou</name>\n    <order>0</order>\n", ""},
    {"NoRating", [](FilmTexts& f) { f.rated.clear(); }, "", "<ratings>"},
    {"RatingNotANumber", [](FilmTexts& f) { f.rated = "n/a/10"; }, "", "<ratings>"},
    {"NoVotes", [](FilmTexts& f) { f.votes.reset(); }, "      <value>8.3</value>\n    </rating>\n",
     ""},
    {"NoFilmAddress", [](FilmTexts& f) { f.address = "http://www.imdb.com/find?q=x"; }, "",
     "<uniqueid"},
    {"TaglineAndPlot",
     [](FilmTexts& f) {
         f.tagline = "One girl.";
         f.plot = "Paris.";
     },
     "  <tagline>One girl.</tagline>\n  <plot>Paris.</plot>\n", ""},
    {"CoverAddressWins",
     [](FilmTexts& f) {
         f.cover = "/films/Amélie .jpg";
         f.cover_address = "http://img.example/a.jpg";
     },
     "  <thumb aspect=\"poster\">http://img.example/a.jpg</thumb>\n", ""},
    {"CoverFileWithoutAddress", [](FilmTexts& f) { f.cover = "/films/Amélie .jpg"; },
     "  <thumb aspect=\"poster\">/films/Amélie .jpg</thumb>\n", ""},
    {"NoCover", [](FilmTexts&) {}, "", "<thumb"},
};

class NfoField : public ::testing::TestWithParam<FieldCase> {};

TEST_P(NfoField, IsWrittenFromTheFilmsText) {
    FilmTexts film = Amelie();
    GetParam().set(film);
    const std::string nfo = NfoDocument(film, LookupSource::Local, "");
    if (GetParam().expected.empty()) {
        EXPECT_EQ(nfo.find(GetParam().element), std::string::npos) << nfo;
    } else {
        EXPECT_NE(nfo.find(GetParam().expected), std::string::npos) << nfo;
    }
}

INSTANTIATE_TEST_SUITE_P(Fields, NfoField, ::testing::ValuesIn(FieldCases), ByName);

struct EscapeCase {
    std::string name;
    std::string text;
    std::string escaped;
};

const std::vector<EscapeCase> EscapeCases = {
    {"Plain", "Amélie", "Amélie"},
    {"Ampersand", "Salt & Pepper", "Salt &amp; Pepper"},
    {"Markup", "<b>bold</b>", "&lt;b&gt;bold&lt;/b&gt;"},
    {"Quotes", "\"Joe's\"", "&quot;Joe&apos;s&quot;"},
    {"EntityStaysText", "&amp;", "&amp;amp;"},
    {"TabAndLineFeedKept", "a\tb\nc", "a\tb\nc"},
    {"CarriageReturnAsReference", "a\r\nb", "a&#13;\nb"},
    {"ForbiddenControlsRemoved",
     std::string("a\0b\x01\x08\x0B\x0C\x1F"
                 "c",
                 9),
     "abc"},
    {"NoncharactersRemoved",
     "a\xEF\xBF\xBE\xEF\xBF\xBF"
     "b",
     "ab"},
    {"ControlsOfC1Kept",
     "a\xC2\x85"
     "b",
     "a\xC2\x85"
     "b"},
    {"InvalidUtf8Replaced", "Caf\xE9!", "Caf\xEF\xBF\xBD!"},
    {"SurrogateReplaced",
     "a\xED\xA0\x80"
     "b",
     "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
     "b"},
    {"OtherScripts", "千と千尋の神隠し", "千と千尋の神隠し"},
};

class XmlEscape : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(XmlEscape, MakesTextThatXmlAllows) {
    EXPECT_EQ(XmlEscaped(GetParam().text), GetParam().escaped);
}

INSTANTIATE_TEST_SUITE_P(Texts, XmlEscape, ::testing::ValuesIn(EscapeCases), ByName);

// Every escape case in every text field at once: the parser takes the document and reads
// each field back as its text less what XML cannot hold.
TEST(NfoDocument, HostileTextsReadBackThroughARealParser) {
    std::string hostile;
    for (const EscapeCase& c : EscapeCases) {
        hostile += c.text + " ";
    }
    FilmTexts film = Amelie();
    film.title = hostile;
    film.director = hostile;
    film.plot = hostile + "-->";
    film.tagline = "]]> <!-- -->";
    film.genres = {hostile};
    film.cast_name = hostile;
    film.cover = hostile;
    TempDir dir;
    const std::string path = dir.File("film.nfo");
    test_support::WriteFileBytes(path, NfoDocument(film, LookupSource::Local, "1.0 -- x-"));
    ASSERT_EQ(XmlProblems(path), "");
    EXPECT_EQ(XmlValue(path, "/movie/director"),
              "Amélie Salt & Pepper <b>bold</b> \"Joe's\" "
              "&amp; a\tb\nc a\r\nb abc ab a\xC2\x85"
              "b "
              "Caf\xEF\xBF\xBD! a\xEF\xBF\xBD\xEF\xBF\xBD"
              "\xEF\xBF\xBD"
              "b 千と千尋の神隠し ");
    EXPECT_EQ(XmlValue(path, "/movie/tagline"), "]]> <!-- -->");
    EXPECT_EQ(XmlValue(path, "count(/movie/genre)"), "1");
}

TEST(NfoDocument, SiteFilmHasNoCreditButKorvidsComment) {
    const std::string nfo = NfoDocument(Amelie(), LookupSource::Site, "1.1.1.0");
    EXPECT_EQ(nfo.find("courtesy"), std::string::npos);
    EXPECT_TRUE(IsKorvidNfo(nfo));
}

struct HeadCase {
    std::string name;
    std::string head;
    bool korvids;
};

const std::vector<HeadCase> HeadCases = {
    {"OwnDocument", NfoDocument(Amelie(), LookupSource::Local, "9.9"), true},
    {"OwnWithoutVersion", NfoDocument(Amelie(), LookupSource::Local, ""), true},
    {"AnotherProgramsComment", "<?xml version=\"1.0\"?>\n<!-- Written by Kodi -->\n<movie/>",
     false},
    {"NoComment", "<?xml version=\"1.0\"?>\n<movie><title>x</title></movie>", false},
    {"MarkerInsideTheMovie",
     "<?xml version=\"1.0\"?>\n<movie>\n<!-- Written by Korvid -->\n</movie>", false},
    {"PlotQuotingTheMarker", "<movie><plot>&lt;!-- Written by Korvid --&gt;</plot></movie>", false},
    {"AnotherCommentFirst", "<!-- mine -->\n<!-- Written by Korvid -->\n<movie/>", false},
    {"EmptyFile", "", false},
    {"PlainText", "http://www.imdb.com/title/tt0211915/\n", false},
};

class KorvidNfo : public ::testing::TestWithParam<HeadCase> {};

TEST_P(KorvidNfo, IsToldByItsFirstComment) {
    EXPECT_EQ(IsKorvidNfo(GetParam().head), GetParam().korvids);
}

INSTANTIATE_TEST_SUITE_P(Heads, KorvidNfo, ::testing::ValuesIn(HeadCases), ByName);

}  // namespace
}  // namespace korvid
