// One row of each data-set file through its parser, the characters JSON and the search key.
// The first byte picks the file; the rest is the row.
//
// A parsed row: every field lies inside the row and holds no tab; the identifiers have the
// tt/nm form with 7 or 8 digits and their keys write back to the same text; numbers are not
// negative. A first character decoded from the characters, written back as JSON and decoded
// again, is the same text. The search keys hold no ASCII capital and no doubled, leading or
// trailing space. The schema-2 key is valid UTF-8 and the same when folded again; its pairs
// and query terms are made from it and from the raw bytes alike, a title always matches the
// search for its own key, and its pairs are whole words of their own.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "dataset/search_terms.h"
#include "dataset/text_fold.h"
#include "dataset/tsv_row.h"
#include "fuzz/fuzz_support.h"

namespace korvid::fuzz {
namespace {

using namespace korvid::dataset;

void CheckField(std::string_view row, std::string_view field, std::string_view what) {
    if (field.empty()) {
        return;
    }
    Check(field.data() >= row.data() && field.data() + field.size() <= row.data() + row.size(),
          "a field lies outside its row", what);
    Check(field.find('\t') == std::string_view::npos, "a field holds a tab", what);
}

void CheckId(std::string_view row, std::string_view id, std::uint32_t key,
             std::string_view prefix) {
    CheckField(row, id, prefix);
    Check(id.size() == prefix.size() + 7 || id.size() == prefix.size() + 8, "an id's length", id);
    Check(id.substr(0, prefix.size()) == prefix, "an id's prefix", id);
    Check(key < kIdKeyLimit, "an id's key is out of range", id);
    Check(IdKey(id, prefix) == key, "an id's key", id);
    Check(IdText(prefix, key) == id, "an id's key writes back another id", id);
}

// A string as a JSON string literal.
std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

void CheckCharacters(std::string_view characters) {
    const auto first = FirstCharacter(characters);
    if (!first) {
        return;
    }
    Check(first->find('\0') == std::string::npos, "a character holds a NUL", characters);
    const auto again = FirstCharacter("[" + JsonString(*first) + "]");
    Check(again.has_value() && *again == *first, "a character does not round-trip", characters);
}

void CheckKeyForm(const std::string& key) {
    for (const char c : key) {
        Check(c < 'A' || c > 'Z', "a capital in a search key", key);
    }
    Check(key.empty() || (key.front() != ' ' && key.back() != ' '), "a search key is not trimmed",
          key);
    Check(key.find("  ") == std::string::npos, "a doubled space in a search key", key);
}

bool IsUtf8(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size()) {
        char32_t c = 0;
        const std::size_t length = DecodeCodePoint(text, at, c);
        if (c == 0xFFFD && length == 1) {
            return false;
        }
        at += length;
    }
    return true;
}

void CheckSearchKey(std::string_view text) {
    CheckKeyForm(LegacyFold(text));

    const std::string key = FoldTitle(text);
    CheckKeyForm(key);
    Check(IsUtf8(key), "a schema-2 key that is not UTF-8", key);
    Check(FoldTitle(key) == key, "a schema-2 key that folds again to another", key);
    const std::string pairs = CjkPairs(key);
    Check(IsUtf8(pairs), "pairs that are not UTF-8", pairs);
    Check(CjkPairs(pairs) == pairs, "pairs that are not whole words of their own", pairs);
    const std::string terms = MatchTerms(key);
    Check(terms.empty() || (terms.front() == '(' && terms.back() == ')'),
          "terms out of their parentheses", terms);
    Check(terms.empty() != TextMatchesTerms(key, key), "a title that its own key does not find",
          key);
    // Raw bytes where folded text belongs: no crash, no undefined behaviour.
    Check(IsUtf8(MatchTerms(text)), "terms that are not UTF-8", text);
    Check(IsUtf8(CjkPairs(text)), "raw pairs that are not UTF-8", text);
    static_cast<void>(TextMatchesTerms(text, text));
}

void FuzzRow(std::uint8_t file, std::string_view row) {
    switch (file % 5) {
        case 0:
            if (const auto r = ParseBasicsRow(row)) {
                CheckId(row, r->tconst, r->key, "tt");
                for (const auto field : {r->type, r->primary_title, r->original_title, r->genres}) {
                    CheckField(row, field, "basics");
                }
                Check(!r->primary_title.empty(), "a title without its title");
                Check(r->year.value_or(0) >= 0 && r->minutes.value_or(0) >= 0, "a negative number");
                CheckSearchKey(r->primary_title);
            }
            break;
        case 1:
            if (const auto r = ParseRatingsRow(row)) {
                CheckId(row, r->tconst, r->key, "tt");
                CheckField(row, r->rating, "rating");
                Check(r->votes >= 0, "negative votes");
                Check(r->rating.empty() || (r->rating.front() >= '0' && r->rating.front() <= '9'),
                      "a rating that is no number", r->rating);
            }
            break;
        case 2:
            if (const auto r = ParseCrewRow(row)) {
                CheckId(row, r->tconst, r->key, "tt");
                if (!r->first_director.empty()) {
                    CheckId(row, r->first_director, r->director_key, "nm");
                }
            }
            break;
        case 3:
            if (const auto r = ParsePrincipalsRow(row)) {
                CheckId(row, r->tconst, r->key, "tt");
                CheckId(row, r->nconst, r->name_key, "nm");
                CheckField(row, r->category, "category");
                CheckField(row, r->characters, "characters");
                Check(r->ordering >= 0, "a negative ordering");
                CheckCharacters(r->characters);
            }
            break;
        default:
            if (const auto r = ParseNamesRow(row)) {
                CheckId(row, r->nconst, r->key, "nm");
                CheckField(row, r->name, "name");
            }
            break;
    }
}

}  // namespace
}  // namespace korvid::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view row = korvid::fuzz::AsText(data + 1, size - 1);
    korvid::fuzz::FuzzRow(data[0], row);
    // The characters and the search key alone, on the whole row.
    korvid::fuzz::CheckCharacters(row);
    korvid::fuzz::CheckSearchKey(row);
    return 0;
}
