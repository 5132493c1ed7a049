#pragma once
// The full-text side of a search: what the word index holds of a title, and the query terms
// for the search words.
//
// Schema 2. Titles and search words are folded with FoldTitle (dataset/text_fold.h). The word
// index is an FTS5 table with
//     tokenize='unicode61 remove_diacritics 0'            (kWordIndexTokenizer)
// and, for each group of titles, two columns: one with the folded titles (their words), one
// with CjkPairs of them (the pairs). The fold has already removed the marks, so the tokenizer
// must not remove anything else: its words are then exactly the fold's words, which is what
// TextMatchesTerms compares. A search is
//     {words_column pairs_column} : MatchTerms(folded_query)
// for each group, joined with OR.
//
// Han, kana and Hangul are written without spaces, so unicode61 takes a whole run of them
// ("千と千尋の神隠し") as one word. The pairs column holds the run's overlapping pairs
// ("千と と千 千尋 …"), and a query's run is looked up as the phrase of its own pairs: "千尋"
// and "神隠し" find the title, "隠千" does not.
//
// Schema 1: LegacyMatchExpression, for the word index of those databases (unicode61 with
// remove_diacritics 2 over primary_title and original_title, searched with LegacyFold keys).

#include <string>
#include <string_view>

namespace korvid::dataset {

inline constexpr const char* kWordIndexTokenizer = "unicode61 remove_diacritics 0";

// The overlapping pairs of each run of CJK letters (IsCjkLetter) in folded text, all runs'
// pairs joined by single spaces: "千と千尋の神隠し" → "千と と千 千尋 尋の の神 神隠 隠し". A
// run of one letter gives that letter alone; text without CJK letters gives "". A run ends
// where unicode61 would end a word (・ ゛ ゠ punctuation, spaces), so every pair is one token.
std::string CjkPairs(std::string_view folded);

// The FTS5 query terms for a folded search, in parentheses, for a column filter to go in
// front of; "" when the search has no words. Words are cut where unicode61 cuts them and where
// CJK letters meet other letters or digits, then every one must be there (AND):
// - a word of other letters or digits as one quoted token, so that nothing of FTS5's syntax
//   in a search (" * : ( ) ^ NEAR AND OR NOT) works as syntax;
// - a CJK run of two or more letters as the quoted phrase of its pairs;
// - a CJK run of one letter as a prefix token ("千"*): the pairs that start with it, or the
//   letter standing alone.
// "amelie 千と千尋" → ("amelie" AND "千と と千 千尋"). A word of other letters never equals a
// pair; a pair equals a word of the words column only where a title's run is two letters
// long, and a one-letter prefix finds there only the runs that start with it: what the pairs
// column finds anyway. So under the column filter the words column answers for the words and
// the pairs column for the runs. Bytes that are not UTF-8 separate words.
std::string MatchTerms(std::string_view folded_query);

// Whether one title, folded, matches the folded search as its row in the word index does:
// its folded text in the words column and CjkPairs of it in the pairs column, searched with
// MatchTerms. Every word of the search is a word of the title; every CJK run of the search
// is in a run of the title; a run of one letter starts a pair of the title or is a run of its
// own (so "충" is not found in "기생충", as the index does not find it). As in the index, the
// pairs of a title's runs follow one another, so a search run can reach across two runs
// where the second starts with the letter the first ends with. Used to tell which of a
// film's titles matched.
bool TextMatchesTerms(std::string_view folded_text, std::string_view folded_query);

// The full-text query of a schema-1 database for titles that hold every word of the folded
// (LegacyFold) search, in the primary or in the original title; empty when the search has no
// words.
std::string LegacyMatchExpression(std::string_view folded);

}  // namespace korvid::dataset
