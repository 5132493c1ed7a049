#include "dataset/search_terms.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "dataset/text_fold.h"

namespace korvid::dataset {

namespace {

// A word as the word index cuts it: a run of word characters, cut again where CJK letters
// meet other letters or digits (FoldTitle puts a space there, so the index cuts there too).
struct Word {
    std::string_view text;
    bool cjk = false;
};

std::vector<Word> Words(std::string_view text) {
    std::vector<Word> words;
    std::size_t start = 0;
    bool in_word = false;
    bool in_cjk = false;
    std::size_t at = 0;
    while (at < text.size()) {
        char32_t c = 0;
        const std::size_t length = DecodeCodePoint(text, at, c);
        const bool word = IsWordCharacter(c);
        const bool cjk = word && IsCjkLetter(c);
        if (in_word && (!word || cjk != in_cjk)) {
            words.push_back({text.substr(start, at - start), in_cjk});
            in_word = false;
        }
        if (word && !in_word) {
            start = at;
            in_word = true;
            in_cjk = cjk;
        }
        at += length;
    }
    if (in_word) {
        words.push_back({text.substr(start), in_cjk});
    }
    return words;
}

// Adds the overlapping pairs of a CJK run, or the run itself when it is one letter; returns
// the number of letters. The run is valid UTF-8: Words only gives decoded letters.
std::size_t AddPairs(std::string_view run, std::vector<std::string_view>& pairs) {
    std::vector<std::size_t> starts;
    std::size_t at = 0;
    while (at < run.size()) {
        starts.push_back(at);
        char32_t c = 0;
        at += DecodeCodePoint(run, at, c);
    }
    starts.push_back(run.size());
    const std::size_t letters = starts.size() - 1;
    if (letters == 1) {
        pairs.push_back(run);
    }
    for (std::size_t i = 0; i + 2 < starts.size(); ++i) {
        pairs.push_back(run.substr(starts[i], starts[i + 2] - starts[i]));
    }
    return letters;
}

std::string Joined(const std::vector<std::string_view>& parts) {
    std::string text;
    for (const std::string_view part : parts) {
        if (!text.empty()) {
            text += ' ';
        }
        text.append(part);
    }
    return text;
}

// An FTS5 string: in double quotes, a double quote inside doubled.
std::string Quoted(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') {
            quoted += '"';
        }
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

// Separates words the way the schema-1 word index does: ASCII that is not a letter or digit,
// and the common punctuation and spaces beyond it.
bool LegacyIsWordSeparator(std::uint32_t c) {
    if (c < 0x80) {
        return !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'));
    }
    return c <= 0xBF || c == 0xD7 || c == 0xF7 || (c >= 0x2000 && c <= 0x206F) ||
           (c >= 0x3000 && c <= 0x303F);
}

// The code point at text[at] and its length in bytes; a byte that does not start a UTF-8
// sequence counts as a letter of its own.
std::size_t LegacyNextCodePoint(std::string_view text, std::size_t at, std::uint32_t& c) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = lead < 0x80    ? 1
                         : lead >= 0xF0 ? 4
                         : lead >= 0xE0 ? 3
                         : lead >= 0xC0 ? 2
                                        : 0;
    if (length == 0 || text.size() - at < length) {
        c = 0xFFFD;
        return 1;
    }
    c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            c = 0xFFFD;
            return 1;
        }
        c = (c << 6) | (next & 0x3F);
    }
    return length;
}

}  // namespace

std::string CjkPairs(std::string_view folded) {
    std::vector<std::string_view> pairs;
    for (const Word& word : Words(folded)) {
        if (word.cjk) {
            AddPairs(word.text, pairs);
        }
    }
    return Joined(pairs);
}

std::string MatchTerms(std::string_view folded_query) {
    std::string terms;
    for (const Word& word : Words(folded_query)) {
        terms += terms.empty() ? "(" : " AND ";
        if (!word.cjk) {
            terms += Quoted(word.text);
            continue;
        }
        std::vector<std::string_view> pairs;
        const std::size_t letters = AddPairs(word.text, pairs);
        terms += Quoted(Joined(pairs));
        if (letters == 1) {
            terms += '*';
        }
    }
    if (!terms.empty()) {
        terms += ')';
    }
    return terms;
}

bool TextMatchesTerms(std::string_view folded_text, std::string_view folded_query) {
    const std::vector<Word> query = Words(folded_query);
    if (query.empty()) {
        return false;
    }
    std::vector<std::string_view> words;
    std::vector<std::string_view> pairs;
    for (const Word& word : Words(folded_text)) {
        if (word.cjk) {
            AddPairs(word.text, pairs);
        } else {
            words.push_back(word.text);
        }
    }
    for (const Word& word : query) {
        if (!word.cjk) {
            if (std::find(words.begin(), words.end(), word.text) == words.end()) {
                return false;
            }
            continue;
        }
        std::vector<std::string_view> run_pairs;
        if (AddPairs(word.text, run_pairs) == 1) {
            // The prefix token: a pair that starts with the letter, or the letter alone.
            const auto starts_with = [&](std::string_view pair) {
                return pair.substr(0, word.text.size()) == word.text;
            };
            if (std::none_of(pairs.begin(), pairs.end(), starts_with)) {
                return false;
            }
        } else if (std::search(pairs.begin(), pairs.end(), run_pairs.begin(), run_pairs.end()) ==
                   pairs.end()) {
            return false;
        }
    }
    return true;
}

std::string LegacyMatchExpression(std::string_view folded) {
    std::string words;
    std::size_t at = 0;
    bool in_word = false;
    while (at < folded.size()) {
        std::uint32_t c = 0;
        const std::size_t length = LegacyNextCodePoint(folded, at, c);
        if (LegacyIsWordSeparator(c)) {
            if (in_word) {
                words += '"';
                in_word = false;
            }
        } else {
            if (!in_word) {
                words += words.empty() ? "\"" : " \"";
                in_word = true;
            }
            words.append(folded.substr(at, length));
        }
        at += length;
    }
    if (in_word) {
        words += '"';
    }
    if (words.empty()) {
        return words;
    }
    return "primary_title : (" + words + ") OR original_title : (" + words + ")";
}

}  // namespace korvid::dataset
