// The names scan --rename gives: the format's fields, the characters a name cannot or should
// not hold, the limit of 255 bytes a name, and the formats refused.

#include "cli/film_file_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli_common.h"

namespace korvid::cli {
namespace {

constexpr auto ByName = [](const auto& info) { return info.param.name; };

struct NameCase {
    std::string name;
    std::string format;
    NameFields fields;
    bool portable;
    std::string expected;
};

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

const NameFields Amelie{"Amélie", "2001", "tt0211915"};

const std::vector<NameCase> NameCases = {
    {"Default", DefaultNameFormat, Amelie, false, "Amélie (2001)"},
    {"WithId", "{title} ({year}) [imdbid-{id}]", Amelie, false, "Amélie (2001) [imdbid-tt0211915]"},
    {"YearFirst", "{year} - {title}", Amelie, false, "2001 - Amélie"},
    {"NoYearDropsItsBrackets",
     DefaultNameFormat,
     {"Quiet Film", "", "tt9100006"},
     false,
     "Quiet Film"},
    {"NoYearInSquareBrackets",
     "{title} [{year}] {id}",
     {"Quiet Film", "", "tt9100006"},
     false,
     "Quiet Film tt9100006"},
    {"SlashNeverLeadsIntoAFolder",
     DefaultNameFormat,
     {"AC/DC: Live", "1992", ""},
     false,
     "AC-DC: Live (1992)"},
    {"DotDotIsNoFolder", "{title}", {"../..", "", ""}, false, "-"},
    {"NulAndControlsLeftOut", "{title}", {std::string("A\0B\tC\nD\x7F", 9), "", ""}, false, "ABCD"},
    {"WindowsCharactersKeptOnLinux",
     "{title}",
     {"What? <Why> \"Me\" a|b c*d e\\f", "", ""},
     false,
     "What? <Why> \"Me\" a|b c*d e\\f"},
    {"PortableCharacters",
     "{title}",
     {"What? <Why> \"Me\" a|b c*d e\\f", "", ""},
     true,
     "What Why 'Me' a-b cd e-f"},
    {"PortableColon",
     DefaultNameFormat,
     {"Star Wars: Episode IV", "1977", ""},
     true,
     "Star Wars - Episode IV (1977)"},
    {"LeadingAndTrailingSpacesAndDots", "{title}", {" . Se7en... ", "", ""}, false, "Se7en"},
    {"SpacesRunsBecomeOne", "{title}  ({year})", {"A   B", "2000", ""}, false, "A B (2000)"},
    {"NothingLeft", "{title}", {"...", "", ""}, false, ""},
    {"OtherScripts",
     DefaultNameFormat,
     {"千と千尋の神隠し", "2001", ""},
     false,
     "千と千尋の神隠し (2001)"},
};

class FilmBaseNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(FilmBaseNameTest, MakesAPlainFileName) {
    const NameCase& c = GetParam();
    EXPECT_EQ(FilmBaseName(c.format, c.fields, c.portable), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Names, FilmBaseNameTest, ::testing::ValuesIn(NameCases), ByName);

struct FitCase {
    std::string name;
    std::string base;
    std::size_t suffix;
    std::string expected;
};

const std::vector<FitCase> FitCases = {
    {"ShortNameStays", "Amélie (2001)", 4, "Amélie (2001)"},
    {"ExactlyFits", std::string(251, 'a'), 4, std::string(251, 'a')},
    {"CutToFit", std::string(300, 'a'), 4, std::string(251, 'a')},
    // "é" is two bytes: a cut inside one leaves it out whole.
    {"CutAtACharacterBoundary", "x" + Repeat("é", 150), 5, "x" + Repeat("é", 124)},
    {"LongSideFileSuffix", std::string(200, 'a'), 100, std::string(155, 'a')},
    {"CutLeavesNoTrailingSpaceOrDot", std::string(249, 'a') + " .bbbb", 4, std::string(249, 'a')},
};

class FitBaseNameTest : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitBaseNameTest, FitsIn255BytesWithTheSuffix) {
    const FitCase& c = GetParam();
    const std::string fitted = FitBaseName(c.base, c.suffix);
    EXPECT_EQ(fitted, c.expected);
    EXPECT_LE(fitted.size() + c.suffix, MaxNameBytes);
}

INSTANTIATE_TEST_SUITE_P(Lengths, FitBaseNameTest, ::testing::ValuesIn(FitCases), ByName);

struct FormatCase {
    std::string name;
    std::string format;
    bool valid;
};

const std::vector<FormatCase> FormatCases = {
    {"Default", DefaultNameFormat, true},
    {"AllFields", "{title} ({year}) [imdbid-{id}]", true},
    {"UnknownField", "{title} {director}", false},
    {"UnclosedBrace", "{title", false},
    {"Slash", "{year}/{title}", false},
    {"NoField", "film", false},
    {"Empty", "", false},
};

class NameFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(NameFormatTest, IsCheckedBeforeTheScan) {
    if (GetParam().valid) {
        EXPECT_NO_THROW(CheckNameFormat(GetParam().format));
    } else {
        EXPECT_THROW(CheckNameFormat(GetParam().format), UsageError);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, NameFormatTest, ::testing::ValuesIn(FormatCases), ByName);

}  // namespace
}  // namespace korvid::cli
