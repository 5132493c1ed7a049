// The movie NFO document: its fields, the escaping of every text, the comment that marks
// Korvid's own files, and a real XML parser reading it back.

#include "client/nfo_document.h"

#include <gtest/gtest.h>

#include <string>

#include "dataset/film_database.h"
#include "tests/support/temp_dir.h"
#include "tests/support/xml_check.h"

namespace korvid {
namespace {

using test_support::TempDir;
using test_support::XmlProblems;
using test_support::XmlValue;

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
    const std::string site = NfoDocument(Amelie(), LookupSource::Site, "1.1.1.0");
    EXPECT_EQ(site.find("courtesy"), std::string::npos);
}

// A field the document writes from the film's text, or leaves out when the text gives nothing.
TEST(NfoDocument, FieldsFromTheFilmsText) {
    struct Case {
        void (*set)(FilmTexts&);
        std::string held;    // a line the document holds; empty: `absent` is not there
        std::string absent;
    };
    const Case cases[] = {
        {[](FilmTexts& f) { f.original_title = "Amélie"; }, "", "<originaltitle>"},
        {[](FilmTexts& f) { f.year = "2001/I"; }, "  <year>2001</year>\n", ""},
        {[](FilmTexts& f) { f.running_time = "USA:117 min"; }, "  <runtime>117</runtime>\n", ""},
        {[](FilmTexts& f) { f.cast_name.clear(); }, "<name>Audrey Tautou</name>\n    <order>", ""},
        {[](FilmTexts& f) { f.rated = "n/a/10"; }, "", "<ratings>"},
        {[](FilmTexts& f) { f.address = "http://www.imdb.com/find?q=x"; }, "", "<uniqueid"},
        {[](FilmTexts& f) { f.cover = "/films/a.jpg", f.cover_address = "http://img.example/a"; },
         "  <thumb aspect=\"poster\">http://img.example/a</thumb>\n", ""},
        {[](FilmTexts& f) { f.cover = "/films/a.jpg"; },
         "  <thumb aspect=\"poster\">/films/a.jpg</thumb>\n", ""},
    };
    for (const Case& c : cases) {
        FilmTexts film = Amelie();
        c.set(film);
        const std::string nfo = NfoDocument(film, LookupSource::Local, "");
        SCOPED_TRACE(nfo);
        if (c.held.empty()) {
            EXPECT_EQ(nfo.find(c.absent), std::string::npos) << c.absent;
        } else {
            EXPECT_NE(nfo.find(c.held), std::string::npos) << c.held;
        }
    }
}

// Texts XML must escape, cannot hold (controls, noncharacters) or that are not UTF-8 (a byte
// of Latin-1, a surrogate): each field is read back through a real XML parser as its text less
// what XML cannot hold, so the document stays well formed whatever the film's texts are.
TEST(NfoDocument, HostileTextsReadBackThroughARealParser) {
    const std::string hostile =
        "<a b=\"Joe's\">&amp; a\tb\r\nc " + std::string("a\0\x01\x0B\x1F\xEF\xBF\xBE", 8) +
        " Caf\xE9 \xED\xA0\x80 ";
    FilmTexts film = Amelie();
    film.title = film.director = film.cast_name = film.cover = hostile;
    film.plot = hostile + "-->";
    film.tagline = "]]> <!-- -->";
    film.genres = {hostile};
    TempDir dir;
    const std::string path = dir.File("film.nfo");
    test_support::WriteFileBytes(path, NfoDocument(film, LookupSource::Local, "1.0 -- x-"));
    ASSERT_EQ(XmlProblems(path), "");
    EXPECT_EQ(XmlValue(path, "/movie/director"),
              "<a b=\"Joe's\">&amp; a\tb\r\nc a Caf\xEF\xBF\xBD "
              "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD ");
    EXPECT_EQ(XmlValue(path, "/movie/tagline"), "]]> <!-- -->");
    EXPECT_EQ(XmlValue(path, "count(/movie/genre)"), "1");
}

// Korvid's own NFO is told by its first comment, and only there.
TEST(NfoDocument, KorvidsOwnIsToldByItsFirstComment) {
    struct Case {
        std::string head;
        bool korvids;
    };
    const Case cases[] = {
        {NfoDocument(Amelie(), LookupSource::Local, ""), true},
        {NfoDocument(Amelie(), LookupSource::Site, "9.9"), true},
        {"<?xml version=\"1.0\"?>\n<!-- Written by Kodi -->\n<movie/>", false},
        {"<?xml version=\"1.0\"?>\n<movie>\n<!-- Written by Korvid -->\n</movie>", false},
        {"<movie><plot>&lt;!-- Written by Korvid --&gt;</plot></movie>", false},
        {"<!-- mine -->\n<!-- Written by Korvid -->\n<movie/>", false},
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.head);
        EXPECT_EQ(IsKorvidNfo(c.head), c.korvids);
    }
}

}  // namespace
}  // namespace korvid
