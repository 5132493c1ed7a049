// The names scan --rename gives: the format's fields, the characters a name cannot or should
// not hold, the limit of 255 bytes a name, and the formats refused.

#include "cli/film_file_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli_common.h"

namespace korvid::cli {
namespace {

TEST(FilmBaseName, MakesAPlainFileName) {
    struct Case {
        std::string format;
        NameFields fields;
        bool portable;
        std::string expected;
    };
    const std::string windows = "What? <Why> \"Me\" a|b c*d e\\f";
    const std::vector<Case> cases = {
        {DefaultNameFormat, {"Amélie", "2001", "tt0211915"}, false, "Amélie (2001)"},
        {"{title} ({year}) [imdbid-{id}]",
         {"Amélie", "2001", "tt0211915"},
         false,
         "Amélie (2001) [imdbid-tt0211915]"},
        // A field with no value takes its brackets with it.
        {"{title} [{year}] ({year}) {id}",
         {"Quiet Film", "", "tt9100006"},
         false,
         "Quiet Film tt9100006"},
        {DefaultNameFormat, {"AC/DC: Live", "1992", ""}, false, "AC-DC: Live (1992)"},
        {"{title}", {"../..", "", ""}, false, "-"},
        {"{title}", {std::string("A\0B\tC\nD\x7F", 9), "", ""}, false, "ABCD"},
        {"{title}", {windows, "", ""}, false, windows},
        {"{title}", {windows, "", ""}, true, "What Why 'Me' a-b cd e-f"},
        {DefaultNameFormat,
         {"Star Wars: Episode IV", "1977", ""},
         true,
         "Star Wars - Episode IV (1977)"},
        {"{title}", {" . Se7en... ", "", ""}, false, "Se7en"},
        {"{title}  ({year})", {"A   B", "2000", ""}, false, "A B (2000)"},
        {"{title}", {"...", "", ""}, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields.title + " / " + c.format);
        EXPECT_EQ(FilmBaseName(c.format, c.fields, c.portable), c.expected);
    }
}

TEST(FitBaseName, FitsIn255BytesWithTheSuffix) {
    std::string accents;
    for (int i = 0; i < 150; ++i) {
        accents += "é";
    }
    struct Case {
        std::string base;
        std::size_t suffix;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"Amélie (2001)", 4, "Amélie (2001)"},
        {std::string(251, 'a'), 4, std::string(251, 'a')},
        {std::string(300, 'a'), 4, std::string(251, 'a')},
        // "é" is two bytes: a cut inside one leaves it out whole.
        {"x" + accents, 5, "x" + accents.substr(0, 248)},
        {std::string(249, 'a') + " .bbbb", 4, std::string(249, 'a')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.base);
        const std::string fitted = FitBaseName(c.base, c.suffix);
        EXPECT_EQ(fitted, c.expected);
        EXPECT_LE(fitted.size() + c.suffix, MaxNameBytes);
    }
}

TEST(CheckNameFormat, RefusesAFormatThatCannotMakeAName) {
    EXPECT_NO_THROW(CheckNameFormat("{title} ({year}) [imdbid-{id}]"));
    for (const char* format : {"{title} {director}", "{title", "{year}/{title}", "film", ""}) {
        SCOPED_TRACE(format);
        EXPECT_THROW(CheckNameFormat(format), UsageError);
    }
}

}  // namespace
}  // namespace korvid::cli
