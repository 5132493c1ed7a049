// The record itself: building the 128 bytes from six values and decoding them again, the
// genre list and its lookup. No files here.

#include "tag/movie_tag.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>

namespace korvid {
namespace {

std::string Field(const MovieTag& tag, std::size_t offset, std::size_t width) {
    return std::string(tag.View().substr(offset, width));
}

std::string Spaces(std::size_t count) {
    return std::string(count, ' ');
}

TEST(MovieTagRender, EmptyValuesGiveMarkerSpacesAndGenre255) {
    const MovieTag tag = MovieTag::Render({});
    const std::string expected = "TAG" + Spaces(124) + std::string(1, '\xff');
    EXPECT_EQ(tag.View(), expected);
    EXPECT_TRUE(tag.HasMarker());
    EXPECT_EQ(tag.GenreNumber(), 255);
}

TEST(MovieTagRender, EveryFieldAtItsOffsetPaddedWithSpaces) {
    MovieTagValues values;
    values.title = "Alien";
    values.director = "Ridley Scott";
    values.comment = "Sigourney Weaver .... Ripley";
    values.imdb = "imdb.com/title/tt0078748/";
    values.year = "1979";
    values.genre_index = 13;
    const MovieTag tag = MovieTag::Render(values);

    ASSERT_EQ(tag.bytes().size(), 128u);
    EXPECT_EQ(Field(tag, 0, 3), "TAG");
    EXPECT_EQ(Field(tag, 3, 30), "Alien" + Spaces(25));
    EXPECT_EQ(Field(tag, 33, 30), "Ridley Scott" + Spaces(18));
    EXPECT_EQ(Field(tag, 63, 30), "Sigourney Weaver .... Ripley" + Spaces(2));
    EXPECT_EQ(Field(tag, 93, 30), "imdb.com/title/tt0078748/" + Spaces(5));
    EXPECT_EQ(Field(tag, 123, 4), "1979");
    EXPECT_EQ(static_cast<unsigned char>(tag.bytes()[127]), 13);
}

struct CutCase {
    std::string text;
    std::string stored_title;  // the title field's 30 bytes
    std::string year;
    std::string stored_year;  // the year field's 4 bytes
};

void PrintTo(const CutCase& c, std::ostream* out) {
    *out << c.text.size() << " title bytes, year \"" << c.year << '"';
}

class MovieTagCut : public ::testing::TestWithParam<CutCase> {};

TEST_P(MovieTagCut, TextsAreCutToTheFieldWidth) {
    const CutCase& c = GetParam();
    MovieTagValues values;
    values.title = c.text;
    values.year = c.year;
    const MovieTag tag = MovieTag::Render(values);
    EXPECT_EQ(Field(tag, 3, 30), c.stored_title);
    EXPECT_EQ(Field(tag, 123, 4), c.stored_year);
    // Nothing spills into the neighbouring fields.
    EXPECT_EQ(Field(tag, 33, 30), Spaces(30));
    EXPECT_EQ(static_cast<unsigned char>(tag.bytes()[127]), 255);
}

INSTANTIATE_TEST_SUITE_P(
    Widths, MovieTagCut,
    ::testing::Values(CutCase{"", Spaces(30), "", Spaces(4)},
                      CutCase{std::string(29, 'a'), std::string(29, 'a') + " ", "199", "199 "},
                      CutCase{std::string(30, 'b'), std::string(30, 'b'), "2001", "2001"},
                      CutCase{std::string(31, 'c') + "XYZ", std::string(30, 'c'), "20011", "2001"},
                      CutCase{std::string(300, 'd'), std::string(30, 'd'), "1999-2004", "1999"}),
    [](const ::testing::TestParamInfo<CutCase>& info) {
        return "title" + std::to_string(info.param.text.size()) + "_year" +
               std::to_string(info.param.year.size());
    });

TEST(MovieTagRender, GenreIndexIsStoredAsItsLowEightBits) {
    for (const auto& [index, stored] :
         {std::pair{0, 0}, std::pair{26, 26}, std::pair{-1, 255}, std::pair{7, 7}}) {
        MovieTagValues values;
        values.genre_index = index;
        EXPECT_EQ(MovieTag::Render(values).GenreNumber(), stored) << "index " << index;
    }
}

TEST(MovieTagRender, BytesAreCopiedWithoutConversion) {
    MovieTagValues values;
    values.title = "Am\xe9lie \x01\xff";
    const MovieTag tag = MovieTag::Render(values);
    EXPECT_EQ(Field(tag, 3, 9), "Am\xe9lie \x01\xff");
    EXPECT_EQ(tag.Title(), "Am\xe9lie \x01\xff");
}

TEST(MovieTagMarker, OnlyTheExactUpperCaseBytesCount) {
    EXPECT_TRUE(MovieTag::FromBytes("TAG").HasMarker());
    EXPECT_TRUE(MovieTag::FromBytes("TAGxyz").HasMarker());
    EXPECT_FALSE(MovieTag::FromBytes("tag").HasMarker());
    EXPECT_FALSE(MovieTag::FromBytes("TAg").HasMarker());
    EXPECT_FALSE(MovieTag::FromBytes(" TAG").HasMarker());
    EXPECT_FALSE(MovieTag().HasMarker());
}

TEST(MovieTagDecode, RoundTripsRenderedValues) {
    MovieTagValues values{"The Third Man",
                          "Carol Reed",
                          "Joseph Cotten .... Holly Martins",
                          "imdb.com/title/tt0041959/",
                          "1949",
                          10};
    const MovieTag tag = MovieTag::Render(values);
    EXPECT_EQ(tag.Title(), "The Third Man");
    EXPECT_EQ(tag.Director(), "Carol Reed");
    EXPECT_EQ(tag.Comment(), "Joseph Cotten .... Holly Marti");  // cut at 30
    EXPECT_EQ(tag.Imdb(), "imdb.com/title/tt0041959/");
    EXPECT_EQ(tag.Year(), "1949");
    EXPECT_EQ(tag.GenreNumber(), 10);
}

TEST(MovieTagDecode, ZeroByteEndsTheFieldAndEdgesAreTrimmed) {
    std::string raw = "TAG" + Spaces(125);
    const auto put = [&raw](std::size_t offset, std::string_view bytes) {
        raw.replace(offset, bytes.size(), bytes);
    };
    put(3, std::string_view("  Heat\0Junk   ", 14));  // zero byte inside the title
    put(33, "\t\x01 Michael ");                       // control bytes at the start
    put(63, std::string(30, '\0'));                   // only zero bytes
    put(93, "   tt0113277" + std::string(18, '\x1f'));
    put(123, std::string_view("19\0"
                              "5",
                              4));
    raw[127] = 5;
    const MovieTag tag = MovieTag::FromBytes(raw);
    EXPECT_EQ(tag.Title(), "Heat");
    EXPECT_EQ(tag.Director(), "Michael");
    EXPECT_EQ(tag.Comment(), "");
    EXPECT_EQ(tag.Imdb(), "tt0113277");
    EXPECT_EQ(tag.Year(), "19");
    EXPECT_EQ(tag.GenreNumber(), 5);
}

TEST(MovieTagDecode, BytesAbove7fAreKeptAtTheEdges) {
    std::string raw = "TAG" + Spaces(125);
    raw.replace(3, 5, "\xa0x\xe9 \x80");
    const MovieTag tag = MovieTag::FromBytes(raw);
    EXPECT_EQ(tag.Title(), "\xa0x\xe9 \x80");
}

TEST(MovieTagDecode, FieldsDoNotReadAcrossTheirBoundaries) {
    // A title filling all 30 bytes is followed directly by the director.
    MovieTagValues values;
    values.title = std::string(30, 'T');
    values.director = std::string(30, 'D');
    values.comment = std::string(30, 'C');
    values.imdb = std::string(30, 'I');
    values.year = "YYYY";
    values.genre_index = 'G';
    const MovieTag tag = MovieTag::Render(values);
    EXPECT_EQ(tag.Title(), std::string(30, 'T'));
    EXPECT_EQ(tag.Director(), std::string(30, 'D'));
    EXPECT_EQ(tag.Comment(), std::string(30, 'C'));
    EXPECT_EQ(tag.Imdb(), std::string(30, 'I'));
    EXPECT_EQ(tag.Year(), "YYYY");
    EXPECT_EQ(tag.GenreNumber(), 'G');
}

TEST(MovieTagFromBytes, ShortInputLeavesSpacesAfterIt) {
    const MovieTag tag = MovieTag::FromBytes("abc");
    EXPECT_EQ(tag.View(), "abc" + Spaces(125));
    EXPECT_EQ(MovieTag().View(), Spaces(128));
}

TEST(GenreList, HasTheTwentySevenNamesInTagOrder) {
    ASSERT_EQ(GenreNames.size(), 27u);
    EXPECT_EQ(GenreNames[0], "Action");
    EXPECT_EQ(GenreNames[6], "Documentary");
    EXPECT_EQ(GenreNames[10], "Film-Noir");
    EXPECT_EQ(GenreNames[18], "Reality-TV");
    EXPECT_EQ(GenreNames[20], "Sci-Fi");
    EXPECT_EQ(GenreNames[23], "Talk-Show");
    EXPECT_EQ(GenreNames[26], "Western");
}

TEST(GenreList, FindIgnoresLetterCaseOfWholeNames) {
    EXPECT_EQ(FindGenre("Sci-Fi"), 20);
    EXPECT_EQ(FindGenre("sci-fi"), 20);
    EXPECT_EQ(FindGenre("SCI-FI"), 20);
    EXPECT_EQ(FindGenre("western"), 26);
    EXPECT_EQ(FindGenre("Action"), 0);
    EXPECT_EQ(FindGenre("Music"), 14);
    EXPECT_EQ(FindGenre("Musical"), 15);
    EXPECT_EQ(FindGenre("Musi"), -1);
    EXPECT_EQ(FindGenre("Sci-Fi "), -1);
    EXPECT_EQ(FindGenre(""), -1);
    EXPECT_EQ(FindGenre("Kung-Fu"), -1);
    // Only a to z fold: a byte above 7f is no letter for the comparison.
    EXPECT_EQ(FindGenre("Dr\xc1ma"), -1);
    for (std::size_t i = 0; i < GenreNames.size(); ++i) {
        EXPECT_EQ(FindGenre(GenreNames[i]), static_cast<int>(i));
    }
}

TEST(GenreList, DisplayTextIsTheNameOrTheNumber) {
    EXPECT_EQ(GenreDisplayText(0), "Action");
    EXPECT_EQ(GenreDisplayText(26), "Western");
    EXPECT_EQ(GenreDisplayText(27), "27");
    EXPECT_EQ(GenreDisplayText(100), "100");
    EXPECT_EQ(GenreDisplayText(255), "255");
}

}  // namespace
}  // namespace korvid
