// The schema-2 search keys, pairs and query terms on titles in each script, and the terms on
// a real FTS5 table made with the word index's tokenizer.

#include "dataset/search_terms.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <utf8proc.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "dataset/sqlite_db.h"
#include "dataset/text_fold.h"

namespace korvid::dataset {
namespace {

struct TextCase {
    std::string text;
    std::string expected;
};

// Each key is its own key; plain ASCII takes a shorter way to it, which must give what the
// full passes give once a letter outside ASCII follows.
TEST(FoldTitle, FoldsTitlesOfEveryScriptToTheirKeys) {
    const std::vector<TextCase> cases = {
        {"Zoë's ÉTÉ", "zoe's ete"},
        {"Die bittere Straße", "die bittere strasse"},
        {"d'Ame\xCC\x81lie", "d'amelie"},
        {"Œdipe, Æon, Ørnen, Łódź, Đorđe, Þrymskviða",
         "oedipe, aeon, ornen, lodz, dorde, thrymskvida"},
        {"Ёлки, ёлки", "елки, елки"},
        {"Ο Θίασος, ΘΊΑΣΟΣ", "ο θιασοσ, θιασοσ"},  // a final ς folds as Σ does
        {"千と千尋の神隠し", "千と千尋の神隠し"},
        {"機動戦士ガンダム", "機動戦士ガンダム"},  // kana keep their voicing marks
        {"기생충", "기생충"},
        {"ｶﾞﾝﾀﾞﾑ", "ガンダム"},
        {"ＡＫＩＲＡ　２０１９", "akira 2019"},
        {"Rocky Ⅱ", "rocky ii"},
        {"Ex\u00ADMachina", "exmachina"},  // a soft hyphen
        {"  Les\t Misérables\n", "les miserables"},
        {"ゴジラvsコング", "ゴジラ vs コング"},
        {"2001年宇宙の旅", "2001 年宇宙の旅"},
        {"ハリー・ポッターと賢者の石", "ハリーポッターと賢者の石"},
        {"哈利·波特与魔法石", "哈利波特与魔法石"},
        {"Caf\xE9 noir", "caf\xEF\xBF\xBD noir"},                              // Latin-1
        {"\xED\xA0\x80 Alien", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD alien"},  // a surrogate
        {"Alien \xE6\x97", "alien \xEF\xBF\xBD\xEF\xBF\xBD"},                  // cut short
        {"  The  LORD of the\tRings ", "the lord of the rings"},
        {"O'Brien & Co. {1999} [M*A*S*H] <~`^>", "o'brien & co. {1999} [m*a*s*h] <~`^>"},
        {"", ""},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FoldTitle(c.text), c.expected);
        EXPECT_EQ(FoldTitle(c.expected), c.expected);
        const bool ascii = std::all_of(c.text.begin(), c.text.end(), [](char ch) {
            return static_cast<unsigned char>(ch) < 0x80;
        });
        if (ascii) {
            EXPECT_EQ(FoldTitle(c.text + " \xC3\xA9"),
                      c.expected.empty() ? "e" : c.expected + " e");
        }
    }
}

TEST(CjkPairs, PairsEachRunOfHanKanaAndHangul) {
    const std::vector<TextCase> cases = {
        {"千と千尋の神隠し", "千と と千 千尋 尋の の神 神隠 隠し"},
        {"올드보이", "올드 드보 보이"},
        {"ゴジラ vs コング", "ゴジ ジラ コン ング"},
        {"ハリー・ポッター", "ハリ リー ポッ ッタ ター"},  // ・ separates for unicode61
        {"母", "母"},
        {"le fabuleux destin d'amelie poulain", ""},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(CjkPairs(c.text), c.expected);
    }
}

TEST(MatchTerms, QuotesEveryWordAndPhrasesEachRun) {
    const std::vector<TextCase> cases = {
        {"die bittere strasse", R"(("die" AND "bittere" AND "strasse"))"},
        {"near(dark) and not*", R"(("near" AND "dark" AND "and" AND "not"))"},
        {"神隠し", R"(("神隠 隠し"))"},
        {"千", R"(("千"*))"},
        {"amelie千と千尋", R"(("amelie" AND "千と と千 千尋"))"},
        {"\" * : ( ^", ""},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(MatchTerms(c.text), c.expected);
    }
}

// An FTS5 table made with the word index's tokenizer.
void CreateTable(SqliteConnection& db, const std::string& table) {
    db.Exec(
        ("CREATE VIRTUAL TABLE " + table + ", tokenize='" + std::string(kWordIndexTokenizer) + "')")
            .c_str());
}

// Every letter of the Han, kana and Hangul blocks that unicode61 takes into a word is a CJK
// letter and the other way round, so that a run ends where unicode61 ends a word and every
// pair is one token. Code points unassigned in utf8proc's tables are left out.
TEST(IsCjkLetter, AgreesWithUnicode61OnTheBlocks) {
    const std::pair<char32_t, char32_t> blocks[] = {
        {0x1100, 0x11FF},   {0x3000, 0x30FF}, {0x3130, 0x318F},   {0x31F0, 0x31FF},
        {0x3400, 0x4DBF},   {0x4E00, 0x9FFF}, {0xA960, 0xA97F},   {0xAC00, 0xD7FF},
        {0xF900, 0xFAFF},   {0xFF65, 0xFFDC}, {0x1AFF0, 0x1B16F}, {0x20000, 0x2FA1F},
        {0x30000, 0x323AF},
    };
    SqliteConnection db(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    CreateTable(db, "letters USING fts5(letter");
    db.Exec("CREATE VIRTUAL TABLE tokens USING fts5vocab(letters, 'instance')");
    db.Exec("BEGIN");
    SqliteStatement insert(db.Get(), "INSERT INTO letters(rowid, letter) VALUES(?1, ?2)");
    std::vector<char32_t> letters;
    for (const auto& [first, last] : blocks) {
        for (char32_t c = first; c <= last; ++c) {
            const auto code = static_cast<utf8proc_int32_t>(c);
            if (utf8proc_category(code) == UTF8PROC_CATEGORY_CN)
                continue;
            utf8proc_uint8_t bytes[4];
            const auto length = utf8proc_encode_char(code, bytes);
            insert.Bind(1, static_cast<std::int64_t>(c));
            insert.Bind(2, std::string_view(reinterpret_cast<const char*>(bytes),
                                            static_cast<std::size_t>(length)));
            insert.Run();
            letters.push_back(c);
        }
    }
    db.Exec("COMMIT");
    std::set<char32_t> in_words;
    SqliteStatement tokens(db.Get(), "SELECT DISTINCT doc FROM tokens");
    while (tokens.Step()) in_words.insert(static_cast<char32_t>(tokens.Int(0)));
    for (const char32_t c : letters) {
        EXPECT_EQ(IsCjkLetter(c), in_words.count(c) == 1)
            << std::hex << static_cast<std::uint32_t>(c);
    }
}

// Titles in a table like the word index, searched with the terms in a column filter; each
// title through TextMatchesTerms gives the same titles. Query syntax is plain text.
TEST(WordIndex, FindsTitlesByWordsAndRunsWithQuerySyntaxAsPlainText) {
    const char* const titles[] = {"Амели",
                                  "Die bittere Straße",
                                  "Le Fabuleux Destin d'Amélie Poulain",
                                  "千と千尋の神隠し",
                                  "ハウルの動く城",
                                  "機動戦士ガンダム",
                                  "기생충",
                                  "ゴジラvsコング",
                                  "ハリー・ポッターと賢者の石",
                                  "母",
                                  "Near Dark",
                                  "And Then There Were None"};
    SqliteConnection db(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    CreateTable(db, "title_words USING fts5(titles, pairs");
    SqliteStatement insert(db.Get(),
                           "INSERT INTO title_words(rowid, titles, pairs) VALUES(?1, ?2, ?3)");
    for (std::size_t i = 0; i < std::size(titles); ++i) {
        insert.Bind(1, static_cast<std::int64_t>(i));
        const std::string key = FoldTitle(titles[i]);  // bound, not copied
        const std::string pairs = CjkPairs(key);
        insert.Bind(2, key);
        insert.Bind(3, pairs);
        insert.Run();
    }
    const struct {
        const char* query;
        std::set<std::string> found;
    } cases[] = {
        {"амели", {"Амели"}},
        {"Bittere Straße", {"Die bittere Straße"}},
        {"amelie poulain", {"Le Fabuleux Destin d'Amélie Poulain"}},
        {"amel", {}},  // whole words only
        {"神隠し", {"千と千尋の神隠し"}},
        {"千", {"千と千尋の神隠し"}},
        {"隠千", {}},
        {"の", {"千と千尋の神隠し", "ハウルの動く城", "ハリー・ポッターと賢者の石"}},
        {"し", {}},  // a letter alone is found at the start of a pair only
        {"母", {"母"}},
        {"ﾊｳﾙ", {"ハウルの動く城"}},
        {"カンタム", {}},
        {"기생", {"기생충"}},
        {"vs", {"ゴジラvsコング"}},
        {"ハリーポッター", {"ハリー・ポッターと賢者の石"}},
        {"NEAR(dark)", {"Near Dark"}},
        {"AND", {"And Then There Were None"}},
        {"amelie\" OR \"dark", {}},
        {"poulain*", {"Le Fabuleux Destin d'Amélie Poulain"}},
        {"titles : amelie", {}},
        {"^dark", {"Near Dark"}},
    };
    SqliteStatement search(db.Get(), "SELECT rowid FROM title_words WHERE title_words MATCH ?1");
    for (const auto& c : cases) {
        const std::string folded = FoldTitle(c.query);
        const std::string terms = MatchTerms(folded);
        SCOPED_TRACE(std::string(c.query) + " as " + terms);
        std::set<std::string> found;
        if (!terms.empty()) {
            const std::string match = "{titles pairs} : " + terms;
            search.Bind(1, match);
            while (search.Step()) found.insert(titles[search.Int(0)]);
            sqlite3_reset(search.Handle());
        }
        EXPECT_EQ(found, c.found);
        for (const char* title : titles) {
            EXPECT_EQ(TextMatchesTerms(FoldTitle(title), folded), found.count(title) == 1) << title;
        }
    }
}

}  // namespace
}  // namespace korvid::dataset
