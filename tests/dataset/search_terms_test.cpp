// The schema-2 search keys, pairs and query terms on titles in each script, and the terms on
// a real FTS5 table made with the word index's tokenizer.

#include "dataset/search_terms.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <utf8proc.h>

#include <cstdint>
#include <initializer_list>
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
    const char* text;
    const char* expected;
};

template <typename Function>
void ExpectEach(std::initializer_list<TextCase> cases, Function function) {
    for (const auto& c : cases) {
        EXPECT_EQ(function(c.text), c.expected) << c.text;
    }
}

TEST(FoldTitle, FoldsTitlesOfEveryScriptToTheirKeys) {
    const auto cases = {
        // Case and marks.
        TextCase{"Zoë's ÉTÉ", "zoe's ete"},
        {"Die bittere Straße", "die bittere strasse"},
        {"Le Fabuleux Destin d'Ame\xCC\x81lie Poulain", "le fabuleux destin d'amelie poulain"},
        {"Œdipe Roi, Æon Flux, Ørnen", "oedipe roi, aeon flux, ornen"},
        {"Łódź, Đorđe, Þrymskviða", "lodz, dorde, thrymskvida"},
        {"Амели", "амели"},
        {"Ёлки, ёлки", "елки, елки"},
        {"Ελληνική Ταινία", "ελληνικη ταινια"},
        {"Ο Θίασος, ΘΊΑΣΟΣ", "ο θιασοσ, θιασοσ"},  // a final ς folds as Σ does
        {"千と千尋の神隠し", "千と千尋の神隠し"},
        {"機動戦士ガンダム", "機動戦士ガンダム"},  // kana keep their voicing marks
        {"卧虎藏龙", "卧虎藏龙"},
        {"기생충", "기생충"},
        // Width and compatibility forms.
        {"ｶﾞﾝﾀﾞﾑ", "ガンダム"},
        {"ＡＫＩＲＡ　２０１９", "akira 2019"},
        {"Rocky Ⅱ", "rocky ii"},
        {"Ex\u00ADMachina", "exmachina"},  // a soft hyphen
        // Words set apart by one space.
        {"  Les\t Misérables\n", "les miserables"},
        {"ゴジラvsコング", "ゴジラ vs コング"},
        {"2001年宇宙の旅", "2001 年宇宙の旅"},
        {"ハリー・ポッターと賢者の石", "ハリーポッターと賢者の石"},
        {"哈利·波特与魔法石", "哈利波特与魔法石"},
        // Bytes that are not UTF-8.
        {"Caf\xE9 noir", "caf\xEF\xBF\xBD noir"},                              // Latin-1
        {"\xED\xA0\x80 Alien", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD alien"},  // a surrogate
        {"Alien \xE6\x97", "alien \xEF\xBF\xBD\xEF\xBF\xBD"},                  // cut short
    };
    ExpectEach(cases, FoldTitle);
    for (const auto& c : cases) {
        EXPECT_EQ(FoldTitle(c.expected), c.expected) << c.text;
    }
}

TEST(CjkPairs, PairsEachRunOfHanKanaAndHangul) {
    ExpectEach({{"千と千尋の神隠し", "千と と千 千尋 尋の の神 神隠 隠し"},
                {"ハウルの動く城", "ハウ ウル ルの の動 動く く城"},
                {"올드보이", "올드 드보 보이"},
                {"ゴジラ vs コング", "ゴジ ジラ コン ング"},
                {"ハリー・ポッター", "ハリ リー ポッ ッタ ター"},  // ・ separates for unicode61
                {"母", "母"},
                {"le fabuleux destin d'amelie poulain", ""}},
               CjkPairs);
}

TEST(MatchTerms, QuotesEveryWordAndPhrasesEachRun) {
    ExpectEach({{"die bittere strasse", R"(("die" AND "bittere" AND "strasse"))"},
                {"near(dark) and not*", R"(("near" AND "dark" AND "and" AND "not"))"},
                {"神隠し", R"(("神隠 隠し"))"},
                {"千", R"(("千"*))"},
                {"amelie千と千尋", R"(("amelie" AND "千と と千 千尋"))"},
                {"\" * : ( ^", ""}},
               MatchTerms);
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
    db.Exec(("CREATE VIRTUAL TABLE letters USING fts5(letter, tokenize='" +
             std::string(kWordIndexTokenizer) + "')")
                .c_str());
    db.Exec("CREATE VIRTUAL TABLE tokens USING fts5vocab(letters, 'instance')");
    db.Exec("BEGIN");
    SqliteStatement insert(db.Get(), "INSERT INTO letters(rowid, letter) VALUES(?1, ?2)");
    std::vector<char32_t> letters;
    for (const auto& [first, last] : blocks) {
        for (char32_t c = first; c <= last; ++c) {
            if (utf8proc_category(static_cast<utf8proc_int32_t>(c)) == UTF8PROC_CATEGORY_CN) {
                continue;
            }
            utf8proc_uint8_t bytes[4];
            const auto length = utf8proc_encode_char(static_cast<utf8proc_int32_t>(c), bytes);
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
    while (tokens.Step()) {
        in_words.insert(static_cast<char32_t>(tokens.Int(0)));
    }
    for (const char32_t c : letters) {
        EXPECT_EQ(IsCjkLetter(c), in_words.count(c) == 1)
            << std::hex << static_cast<std::uint32_t>(c);
    }
}

// Titles in a table like the word index, searched with the terms in a column filter.
class WordIndexTest : public ::testing::Test {
  protected:
    struct QueryCase {
        const char* query;
        std::set<std::string> found;
    };

    static constexpr const char* kTitles[] = {"Амели",
                                              "Ελληνική Ταινία",
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

    void SetUp() override {
        db_.Exec(("CREATE VIRTUAL TABLE title_words USING fts5(titles, pairs, tokenize='" +
                  std::string(kWordIndexTokenizer) + "')")
                     .c_str());
        SqliteStatement insert(db_.Get(),
                               "INSERT INTO title_words(rowid, titles, pairs) VALUES(?1, ?2, ?3)");
        for (std::size_t i = 0; i < std::size(kTitles); ++i) {
            const std::string key = FoldTitle(kTitles[i]);
            const std::string pairs = CjkPairs(key);
            insert.Bind(1, static_cast<std::int64_t>(i));
            insert.Bind(2, key);
            insert.Bind(3, pairs);
            insert.Run();
        }
    }

    // Each query through the index, and each title through TextMatchesTerms: the same titles.
    void ExpectFound(const std::vector<QueryCase>& cases) {
        SqliteStatement search(db_.Get(),
                               "SELECT rowid FROM title_words WHERE title_words MATCH ?1");
        for (const auto& c : cases) {
            const std::string folded = FoldTitle(c.query);
            const std::string terms = MatchTerms(folded);
            std::set<std::string> found;
            if (!terms.empty()) {
                const std::string match = "{titles pairs} : " + terms;
                search.Bind(1, match);
                while (search.Step()) {
                    found.insert(kTitles[search.Int(0)]);
                }
                sqlite3_reset(search.Handle());
            }
            EXPECT_EQ(found, c.found) << c.query << " as " << terms;
            for (const char* title : kTitles) {
                EXPECT_EQ(TextMatchesTerms(FoldTitle(title), folded), found.count(title) == 1)
                    << c.query << " in " << title;
            }
        }
    }

    SqliteConnection db_{":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE};
};

TEST_F(WordIndexTest, FindsTitlesByWordsAndRuns) {
    ExpectFound({
        {"амели", {"Амели"}},
        {"ελληνικη ταινια", {"Ελληνική Ταινία"}},
        {"bittere strasse", {"Die bittere Straße"}},
        {"Bittere Straße", {"Die bittere Straße"}},
        {"amelie poulain", {"Le Fabuleux Destin d'Amélie Poulain"}},
        {"amel", {}},  // whole words only
        {"千尋", {"千と千尋の神隠し"}},
        {"神隠し", {"千と千尋の神隠し"}},
        {"千", {"千と千尋の神隠し"}},
        {"隠千", {}},
        {"の", {"千と千尋の神隠し", "ハウルの動く城", "ハリー・ポッターと賢者の石"}},
        {"し", {}},  // a letter alone is found at the start of a pair only
        {"母", {"母"}},
        {"ﾊｳﾙ", {"ハウルの動く城"}},
        {"ガンダム", {"機動戦士ガンダム"}},
        {"カンタム", {}},
        {"기생", {"기생충"}},
        {"vs", {"ゴジラvsコング"}},
        {"ハリーポッター", {"ハリー・ポッターと賢者の石"}},
    });
}

TEST_F(WordIndexTest, TakesQuerySyntaxAsPlainText) {
    ExpectFound({
        {"NEAR(dark)", {"Near Dark"}},
        {"AND", {"And Then There Were None"}},
        {"amelie\" OR \"dark", {}},
        {"poulain*", {"Le Fabuleux Destin d'Amélie Poulain"}},
        {"titles : amelie", {}},
        {"(amelie", {"Le Fabuleux Destin d'Amélie Poulain"}},
        {"^dark", {"Near Dark"}},
    });
}

}  // namespace
}  // namespace korvid::dataset

namespace korvid::dataset {
namespace {

// Plain ASCII takes a shorter way to its key: the same key as the full passes give, which a
// letter outside ASCII after it makes the text take.
TEST(FoldTitle, PlainAsciiFoldsAsTheFullPassesDo) {
    for (const std::string& text : std::vector<std::string>{
             "Alien", "  The  LORD of the\tRings ", "Don't Look Now!", "M*A*S*H", "Se7en",
             std::string("a\x01"
                         "b\x7F"
                         "c\nd\r\n"),
             std::string(), std::string("\x1F \x7F"), "O'Brien & Co. (1999)",
             "{curly} [square] <angle> ~tilde~ `tick` ^caret^"}) {
        SCOPED_TRACE(text);
        const std::string ascii = FoldTitle(text);
        EXPECT_EQ(FoldTitle(text + " \xC3\xA9"), ascii.empty() ? "e" : ascii + " e");
    }
}

}  // namespace
}  // namespace korvid::dataset
