// The row parsers' edge cases that a build cannot show one by one: identifier forms, the
// characters JSON, and the rows that count as malformed.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "dataset/text_fold.h"
#include "dataset/tsv_row.h"

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

TEST(FoldForSearch, FoldsCaseAccentsAndSpaces) {
    EXPECT_EQ(FoldForSearch("  Zo\xC3\xAB's   \xC3\x89T\xC3\x89 \xC5\x92uvre\t"), "zoe's ete oeuvre");
    EXPECT_EQ(FoldForSearch("Stra\xC3\x9F" "e"), "strasse");
    EXPECT_EQ(FoldForSearch("e\xCC\x81t\xC3\xA9"), "ete");  // a combining accent
    EXPECT_EQ(FoldForSearch("\xFF" "A"), "\xFF" "a");     // not UTF-8: kept
    EXPECT_EQ(FoldForSearch("\xE6\x97\xA5\xE6\x9C\xAC"), "\xE6\x97\xA5\xE6\x9C\xAC");
}

}  // namespace
}  // namespace korvid::dataset
