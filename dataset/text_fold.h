#pragma once
// The search keys of titles and of search words, and how the word index cuts text into words.
//
// LegacyFold is the key of the databases of schema 1: Latin letter case and the accents of
// U+00C0..U+017F folded away, everything else kept. Those databases were built with it, so
// they are searched with it as long as they are in use.
//
// FoldTitle is the key of schema 2, for building and for searching alike: every script's case
// folded, marks stripped, compatibility forms made plain ("Zoë's ÉTÉ" → "zoe's ete",
// "Ёлки" → "елки", "ｶﾞﾝﾀﾞﾑ" → "ガンダム"), runs of white space made one space, the ends trimmed.

#include <cstddef>
#include <string>
#include <string_view>

namespace korvid::dataset {

std::string LegacyFold(std::string_view utf8);

// Steps, on the text as code points:
// - bytes that are not UTF-8 become U+FFFD each (which separates words, as any symbol does);
// - NFKD with full case folding, default-ignorable code points (soft hyphen, zero-width
//   space, variation selectors) dropped: fullwidth Latin and digits become ASCII, halfwidth
//   katakana and Hangul become the ordinary ones, "ß" and "ẞ" become "ss", "Σ" and "ς" both
//   "σ", ligatures and Roman numerals their letters;
// - combining marks dropped ("Ё" → "е", "é" → "e", "Й" → "и"), except the kana voicing
//   marks, which compose back with their kana (NFC) so Japanese keeps "ガ" and "パ";
// - the Latin letters that have no decomposition spelled as the schema-1 fold spelled them:
//   æ → ae, œ → oe, ø → o, ł → l, đ → d, ð → d, þ → th, ħ → h, ı → i, ĸ → k, ŋ → n, ŧ → t,
//   ŀ → l, ŉ → n;
// - a middle dot (・ · ‧) between two CJK letters dropped: "ハリー・ポッター" and the
//   "ハリーポッター" that is as often typed give the same key;
// - white space (Unicode spaces, line breaks and control characters) run together into one
//   space, the ends trimmed;
// - one space put between a CJK letter (IsCjkLetter) and a letter or digit of another script
//   written against it ("ゴジラvsコング" → "ゴジラ vs コング"), so that each is a word of its
//   own for the word index.
// The result is valid UTF-8 without combining marks, and FoldTitle(FoldTitle(x)) equals
// FoldTitle(x).
std::string FoldTitle(std::string_view utf8);

// Whether SQLite's unicode61 tokenizer (default categories "L* N* Co") counts the code point
// as part of a word: letters, digits and numbers, private use below U+100000. Everything else
// (spaces, punctuation, symbols, marks, controls) separates words.
bool IsWordCharacter(char32_t c);

// Whether the code point is a letter of a script written without spaces between words: Han
// (CJK unified and compatibility ideographs with every extension, 々 〆 〇), Hiragana,
// Katakana (with the halfwidth forms, the phonetic extensions, the kana supplements and the
// prolonged sound mark ー) and Hangul (syllables, jamo, compatibility jamo). Only word
// characters count: the katakana middle dot ・, the spacing voicing marks ゛ ゜ and the
// double hyphen ゠ separate words for unicode61 and so end a run here too.
bool IsCjkLetter(char32_t c);

// The code point that starts at text[at] and its length in bytes. A byte that does not start
// a complete, shortest-form UTF-8 sequence of a scalar value gives U+FFFD and length 1.
std::size_t DecodeCodePoint(std::string_view text, std::size_t at, char32_t& c);

}  // namespace korvid::dataset
