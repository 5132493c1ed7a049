// The row parsers' edge cases that a build cannot show one by one: identifier forms, the
// characters JSON, and the rows that count as malformed.

#include "dataset/tsv_row.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "dataset/text_fold.h"

namespace korvid::dataset {
namespace {

TEST(IdKey, AcceptsSevenAndEightDigitsAndWritesThemBack) {
    for (const char* id : {"tt0000001", "tt9999999", "tt10000000", "tt01234567", "tt99999999"}) {
        const auto key = IdKey(id, "tt");
        ASSERT_TRUE(key) << id;
        EXPECT_LT(*key, kIdKeyLimit);
        EXPECT_EQ(IdText("tt", *key), id);
    }
    EXPECT_NE(IdKey("tt1234567", "tt"), IdKey("tt01234567", "tt"));
    for (const char* id : {"tt123456", "tt123456789", "nm1234567", "tt12345a7", "tt-123456",
                           "TT1234567", "", "tt", "\\N", "tt+1234567"}) {
        EXPECT_FALSE(IdKey(id, "tt")) << id;
    }
}

struct CharacterCase {
    const char* json;
    std::optional<std::string> first;
};

TEST(FirstCharacter, DecodesTheFirstEntry) {
    const CharacterCase cases[] = {
        {"[\"Neo\",\"Thomas\"]", "Neo"},
        {"", ""},
        {"[]", ""},
        {" [ \"Neo\" ] ", "Neo"},
        {"[\"Thomas \\\"Neo\\\" Anderson\"]", "Thomas \"Neo\" Anderson"},
        {"[\"Zo\xC3\xAB\"]", "Zo\xC3\xAB"},
        {"[\"Zo\\u00eb \\/ \\\\ \\ud83c\\udfac\"]", "Zo\xC3\xAB / \\ \xF0\x9F\x8E\xAC"},
        {"[\"\"]", ""},
        {"[\"Neo\"", std::nullopt},
        {"[\"Neo\",]", std::nullopt},
        {"[\"Neo\"] x", std::nullopt},
        {"[Neo]", std::nullopt},
        {"\"Neo\"", std::nullopt},
        {"[\"a\\x\"]", std::nullopt},
        {"[\"\\ud83c\"]", std::nullopt},
        {"[\"\\u0000\"]", std::nullopt},
        {"[\"\\u12\"]", std::nullopt},
        {"[\"tab\there\"]", std::nullopt},
        {"[\"a\",1]", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FirstCharacter(c.json), c.first) << c.json;
    }
}

TEST(ParseRows, RefuseRowsOutOfForm) {
    EXPECT_TRUE(ParseRatingsRow("tt0000001\t10.0\t5"));
    EXPECT_TRUE(ParseRatingsRow("tt0000001\t\\N\t\\N"));
    for (const char* row : {"tt0000001\t8.\t5", "tt0000001\t.5\t5", "tt0000001\t8.5\t-5",
                            "tt0000001\t8.5\t5\t", "tt0000001\t8.5.1\t5", "tt0000001\t8.5"}) {
        EXPECT_FALSE(ParseRatingsRow(row)) << row;
    }
    const auto crew = ParseCrewRow("tt0000001\tnm0000002,nm0000003\tnm0000004");
    ASSERT_TRUE(crew);
    EXPECT_EQ(crew->first_director, "nm0000002");
    EXPECT_FALSE(ParseCrewRow("tt0000001\t,nm0000003\t\\N"));
    const auto principal = ParsePrincipalsRow("tt0000001\t10\tnm0000002\tself\t\\N\t\\N");
    ASSERT_TRUE(principal);
    EXPECT_EQ(principal->ordering, 10);
    EXPECT_EQ(principal->characters, "");
    EXPECT_TRUE(IsLeadCategory(principal->category));
    EXPECT_FALSE(IsLeadCategory("director"));
    EXPECT_FALSE(ParsePrincipalsRow("tt0000001\t1\t\\N\tactor\t\\N\t\\N"));
    EXPECT_FALSE(ParsePrincipalsRow("tt0000001\t1\tnm0000002\tactor\t\\N"));
    EXPECT_EQ(TrimLineEnd("a\tb\r"), "a\tb");
}

struct RangeCase {
    const char* row;
    std::optional<int> year;
    std::optional<int> minutes;
    bool out_of_range;
};

TEST(ParseRows, DropNumbersOutOfRange) {
    const RangeCase basics[] = {
        {"tt0000001\tmovie\tA\tA\t0\t1870\t\\N\t99999\tDrama", 1870, 99999, false},
        {"tt0000001\tmovie\tA\tA\t0\t2100\t\\N\t0\tDrama", 2100, 0, false},
        {"tt0000001\tmovie\tA\tA\t0\t1869\t\\N\t90\tDrama", std::nullopt, 90, true},
        {"tt0000001\tmovie\tA\tA\t0\t2101\t\\N\t90\tDrama", std::nullopt, 90, true},
        {"tt0000001\tmovie\tA\tA\t0\t999999999\t\\N\t100000\tDrama", std::nullopt,
         std::nullopt, true},
        {"tt0000001\tmovie\tA\tA\t0\t1999\t\\N\t999999999\tDrama", 1999, std::nullopt,
         true},
    };
    for (const auto& c : basics) {
        const auto row = ParseBasicsRow(c.row);
        ASSERT_TRUE(row) << c.row;
        EXPECT_EQ(row->year, c.year) << c.row;
        EXPECT_EQ(row->minutes, c.minutes) << c.row;
        EXPECT_EQ(row->out_of_range, c.out_of_range) << c.row;
    }
    struct {
        const char* rating;
        const char* kept;
    } const ratings[] = {{"1.0", "1.0"}, {"1", "1"},      {"8.5", "8.5"}, {"10", "10"},
                         {"10.0", "10.0"}, {"0.9", ""},   {"0", ""},      {"10.1", ""},
                         {"11.5", ""},   {"99", ""}};
    for (const auto& c : ratings) {
        const std::string line = std::string("tt0000001\t") + c.rating + "\t5";
        const auto row = ParseRatingsRow(line);  // points into the line
        ASSERT_TRUE(row) << c.rating;
        EXPECT_EQ(row->rating, c.kept) << c.rating;
        EXPECT_EQ(row->out_of_range, std::string_view(c.kept).empty()) << c.rating;
        EXPECT_EQ(row->votes, 5);
    }
    // Not a rating's form at all: a malformed row.
    EXPECT_FALSE(ParseRatingsRow("tt0000001\t9.999\t5"));
}

TEST(LegacyFold, FoldsCaseAccentsAndSpaces) {
    EXPECT_EQ(LegacyFold("  Zo\xC3\xAB's   \xC3\x89T\xC3\x89 \xC5\x92uvre\t"), "zoe's ete oeuvre");
    EXPECT_EQ(LegacyFold("Stra\xC3\x9F"
                         "e"),
              "strasse");
    EXPECT_EQ(LegacyFold("e\xCC\x81t\xC3\xA9"), "ete");  // a combining accent
    EXPECT_EQ(LegacyFold("\xFF"
                         "A"),
              "\xFF"
              "a");  // not UTF-8: kept
    EXPECT_EQ(LegacyFold("\xE6\x97\xA5\xE6\x9C\xAC"), "\xE6\x97\xA5\xE6\x9C\xAC");
}

}  // namespace
}  // namespace korvid::dataset
