#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "client/IMDBImport.h"
#include "tests/support/all_lines.h"
#include "tests/support/scripted_prompts.h"

namespace korvid {
namespace {

using test_support::AllLines;

class LineFinderTest : public ::testing::Test {
  protected:
    test_support::ScriptedPrompts prompts;
    TIMDBImport importer{prompts};

    void Page(const std::vector<std::string>& lines) {
        importer.PageLines.Clear();
        for (const std::string& line : lines) {
            importer.PageLines.Add(line);
        }
    }
};

TEST_F(LineFinderTest, FindLine) {
    struct Case {
        const char* what;
        std::string marker;
        int start;
        int expected;
    };
    Page({"<html>", "<Title>Alien (1979)</Title>", "Directed by", "<a href=x>Someone</a>",
          "Runtime:", "Am\xE9lie", std::string(300, ' ') + "Plot Outline:", "directed BY again"});
    const std::vector<Case> cases = {
        {"found at the start line", "Directed by", 2, 2},
        {"case ignored", "<TITLE>", 0, 1},
        {"lower-case marker, mixed-case line", "<title>", 0, 1},
        {"first match from the start", "directed by", 3, 7},
        {"only before the start", "<html>", 1, -1},
        {"start -1 does not restart at 0", "<html>", -1, -1},
        {"start far negative", "<html>", -100, -1},
        {"start at the end", "<html>", 8, -1},
        {"start past the end", "<html>", 50, -1},
        {"empty marker matches nothing", "", 0, -1},
        {"marker past character 255", "plot outline:", 0, 6},
        {"accented letters are not folded", "AM\xC9LIE", 0, -1},
        {"accented bytes compare exactly", "am\xE9lie", 0, 5},
        {"absent marker", "Tagline:", 0, -1},
    };
    for (const Case& c : cases) {
        importer.LineIndex = 99;
        importer.FindLine(c.marker, c.start);
        EXPECT_EQ(importer.LineIndex, c.expected) << c.what;
    }
}

TEST_F(LineFinderTest, FindLineOnAnEmptyPageGivesMinusOne) {
    Page({});
    importer.FindLine("<TITLE>", 0);
    EXPECT_EQ(importer.LineIndex, -1);
}

TEST_F(LineFinderTest, AMarkerPastCharacter255IsLostWhenTheLineIsCutForAnExtractor) {
    Page({std::string(300, '.') + "<title>Far</title>"});
    importer.FindLine("<title>", 0);
    ASSERT_EQ(importer.LineIndex, 0);
    const ShortString cut = importer.PageLines[importer.LineIndex];
    EXPECT_EQ(importer.ExtractLinkText(cut, "<title>", "</title>"), "");
}

struct ExtractCase {
    const char* source;
    const char* start;
    const char* end;
    const char* expected;
};

TEST_F(LineFinderTest, ExtractBetween) {
    const std::vector<ExtractCase> cases = {
        {"Runtime: 136 min / USA", "Runtime:", "/", " 136 min "},
        {"Alien (1979)", "(", ")", "1979"},
        {"Alien (1979", "(", ")", ""},
        {"a) Alien (1979)", "(", ")", "1979"},
        {"a|b|c", "|", "|", "b"},
        {"PLOT OUTLINE: x<a", "Plot Outline:", "<a", ""},
        {"abc", "", "c", ""},
        {"abc", "a", "", ""},
        {"()", "(", ")", ""},
        {"no markers", "(", ")", ""},
    };
    for (const ExtractCase& c : cases) {
        EXPECT_EQ(importer.ExtractBetween(c.source, c.start, c.end), c.expected) << c.source;
    }
}

TEST_F(LineFinderTest, ExtractLinkText) {
    const std::vector<ExtractCase> cases = {
        {"<td><a href=/name/nm0000000/>Some Actor</a></td>", "<a", "</a>", "Some Actor"},
        {"<title>Alien (1979)</title>", "<title>", "</title>", "Alien (1979)"},
        {"<a href=x>A</a> / <a href=y>B</a>", "<a", "</a>", "A"},
        {"<a href=x>1 > 2</a>", "<a", "</a>", "1 > 2"},
        {"<a href=x>", "<a", "</a>", ""},
        {"<TITLE>Alien</TITLE>", "<title>", "</title>", ""},
    };
    for (const ExtractCase& c : cases) {
        EXPECT_EQ(importer.ExtractLinkText(c.source, c.start, c.end), c.expected) << c.source;
    }
}

TEST_F(LineFinderTest, RemoveText) {
    struct Case {
        const char* source;
        const char* text;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"Alien (1979)", "(1979)", "Alien "},
        {"(1979) x (1979)", "(1979)", " x (1979)"},
        {"A (B) (2001)", "(B)", "A  (2001)"},
        // An absent or empty text leaves the source as it is, so a title without a year stays.
        {"Alien", "()", "Alien"},
        {"Alien", "", "Alien"},
        {"", "x", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(importer.RemoveText(c.source, c.text), c.expected) << c.source;
    }
}

TEST(StripTest, StripTagsAndStripEntities) {
    struct Case {
        const char* text;
        const char* tags_stripped;
        const char* entities_stripped;
    };
    const std::vector<Case> cases = {
        {"Alien</a> (1979) <small>(TV)</small>", "Alien (1979) (TV)",
         "Alien</a> (1979) <small>(TV)</small>"},
        {"5 > 3 <b>x</b>", "5 > 3 x", "5 > 3 <b>x</b>"},
        {"Alien <i", "Alien <i", "Alien <i"},
        {"<a><b></b></a>", "", "<a><b></b></a>"},
        {"x>y<z>w", "x>yw", "x>y<z>w"},
        {"Salt &amp; Pepper", "Salt &amp; Pepper", "Salt  Pepper"},
        {"Q&A", "Q&A", "Q&A"},
        {"Up; Down &amp; Out", "Up; Down &amp; Out", "Up; Down  Out"},
        {"A;B&C;D", "A;B&C;D", "A;BD"},
        {"<<>>", ">", "<<>>"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StripTags(c.text), c.tags_stripped) << c.text;
        EXPECT_EQ(StripEntities(c.text), c.entities_stripped) << c.text;
    }
}

TEST(StripTest, AnyBytesAreHandledWithoutHarm) {
    std::string all_bytes;
    for (int i = 0; i < 256; ++i) {
        all_bytes += static_cast<char>(i);
    }
    const ShortString text(all_bytes);
    // Every byte from "<" (60) to ">" (62) goes, and from "&" (38) to ";" (59).
    std::string expected_tags = all_bytes.substr(0, 255);
    expected_tags.erase(60, 3);
    EXPECT_EQ(StripTags(text), expected_tags);
    std::string expected_entities = all_bytes.substr(0, 255);
    expected_entities.erase(38, 22);
    EXPECT_EQ(StripEntities(text), expected_entities);
}

// Random pages of any bytes (NUL, CR, LF, 0x80 to 0xFF, long lines) through the loader, the
// finder and the extractors: results stay inside the source and inside 255 bytes.
TEST(LineFinderRobustnessTest, RandomPagesKeepEveryResultInsideItsSource) {
    std::mt19937 generator(20261207);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 3000);
    const char alphabet[] = "<>&;()/\"\r\n aT";
    std::uniform_int_distribution<std::size_t> pick(0, sizeof alphabet - 2);
    test_support::ScriptedPrompts prompts;
    TIMDBImport importer(prompts);
    for (int round = 0; round < 300; ++round) {
        std::string page(static_cast<std::size_t>(length(generator)), '\0');
        for (char& c : page) {
            // Mostly the characters the extractors look for, so that they find something.
            c = byte(generator) < 160 ? alphabet[pick(generator)]
                                      : static_cast<char>(byte(generator));
        }
        importer.PageLines.SetText(page);
        for (const char* marker : {"<", "(", "a>", "\xE9", "T"}) {
            importer.FindLine(marker, round % 3 - 1);
            ASSERT_GE(importer.LineIndex, -1);
            ASSERT_LT(importer.LineIndex, importer.PageLines.Count());
        }
        for (const std::string& line : AllLines(importer.PageLines)) {
            ASSERT_EQ(line.find_first_of(std::string("\r\n\0", 3)), std::string::npos);
            const ShortString source(line);
            for (const auto& [start, end] :
                 {std::pair{"(", ")"}, std::pair{"<a", "</a>"}, std::pair{"<", ">"}}) {
                const ShortString between = importer.ExtractBetween(source, start, end);
                EXPECT_NE(source.str().find(between.str()), std::string::npos);
                const ShortString link = importer.ExtractLinkText(source, start, end);
                EXPECT_NE(between.str().find(link.str()), std::string::npos);
            }
            EXPECT_LE(StripTags(source).size(), source.size());
            EXPECT_LE(StripEntities(source).size(), source.size());
            EXPECT_EQ(importer.RemoveText(source, "(").size() +
                          (source.str().find('(') != std::string::npos),
                      source.size());
        }
    }
}

}  // namespace
}  // namespace korvid
