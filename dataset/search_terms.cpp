#include "dataset/search_terms.h"

#include <cstdint>

namespace korvid::dataset {

namespace {

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
