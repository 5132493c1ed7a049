#include "dataset/text_fold.h"

#include <algorithm>

#include <utf8proc.h>

#include <cstdint>
#include <vector>

namespace korvid::dataset {

namespace {

// U+00C0 to U+017F in lower case without accents; nullptr keeps the character.
constexpr const char* kLatinFold[0x180 - 0xC0] = {
    "a", "a", "a",  "a",  "a", "a", "ae", "c",     "e", "e", "e", "e", "i", "i", "i",  "i",
    "d", "n", "o",  "o",  "o", "o", "o",  nullptr, "o", "u", "u", "u", "u", "y", "th", "ss",
    "a", "a", "a",  "a",  "a", "a", "ae", "c",     "e", "e", "e", "e", "i", "i", "i",  "i",
    "d", "n", "o",  "o",  "o", "o", "o",  nullptr, "o", "u", "u", "u", "u", "y", "th", "y",
    "a", "a", "a",  "a",  "a", "a", "c",  "c",     "c", "c", "c", "c", "c", "c", "d",  "d",
    "d", "d", "e",  "e",  "e", "e", "e",  "e",     "e", "e", "e", "e", "g", "g", "g",  "g",
    "g", "g", "g",  "g",  "h", "h", "h",  "h",     "i", "i", "i", "i", "i", "i", "i",  "i",
    "i", "i", "ij", "ij", "j", "j", "k",  "k",     "k", "l", "l", "l", "l", "l", "l",  "l",
    "l", "l", "l",  "n",  "n", "n", "n",  "n",     "n", "n", "n", "n", "o", "o", "o",  "o",
    "o", "o", "oe", "oe", "r", "r", "r",  "r",     "r", "r", "s", "s", "s", "s", "s",  "s",
    "s", "s", "t",  "t",  "t", "t", "t",  "t",     "u", "u", "u", "u", "u", "u", "u",  "u",
    "u", "u", "u",  "u",  "w", "w", "y",  "y",     "y", "z", "z", "z", "z", "z", "z",  "s",
};

// Decodes one UTF-8 sequence at text[at]; 0 when the bytes there are not one.
std::size_t DecodeUtf8(std::string_view text, std::size_t at, std::uint32_t& code_point) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code_point = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code_point = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code_point = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() - at < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        code_point = (code_point << 6) | (next & 0x3F);
    }
    return length;
}

bool IsSpace(std::uint32_t c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == 0xA0;
}

// The blocks of the scripts written without spaces between words; IsCjkLetter keeps only the
// word characters in them.
struct Block {
    char32_t first;
    char32_t last;
};
constexpr Block kCjkBlocks[] = {
    {0x1100, 0x11FF},    // Hangul jamo
    {0x3000, 0x303F},    // 々 〆 〇, the Suzhou numerals, the kana repeat marks
    {0x3040, 0x30FF},    // Hiragana, Katakana
    {0x3130, 0x318F},    // Hangul compatibility jamo
    {0x31F0, 0x31FF},    // Katakana phonetic extensions
    {0x3400, 0x4DBF},    // CJK extension A
    {0x4E00, 0x9FFF},    // CJK unified ideographs
    {0xA960, 0xA97F},    // Hangul jamo extended A
    {0xAC00, 0xD7FF},    // Hangul syllables, jamo extended B
    {0xF900, 0xFAFF},    // CJK compatibility ideographs
    {0xFF65, 0xFFDC},    // halfwidth katakana and Hangul
    {0x1AFF0, 0x1B16F},  // the kana extensions and supplement
    {0x20000, 0x2FA1F},  // CJK extensions B to F and I, compatibility supplement
    {0x30000, 0x323AF},  // CJK extensions G and H
};

bool IsMark(char32_t c) {
    const auto category = utf8proc_category(static_cast<utf8proc_int32_t>(c));
    return category == UTF8PROC_CATEGORY_MN || category == UTF8PROC_CATEGORY_MC ||
           category == UTF8PROC_CATEGORY_ME;
}

// The combining kana voicing marks (゙ ゚): they make か into が, so they are kept for NFC.
bool IsKanaVoicing(char32_t c) {
    return c == 0x3099 || c == 0x309A;
}

// The dots that join the parts of a foreign name in CJK text ("ハリー・ポッター", "哈利·波特",
// "哈利‧波特"). Between CJK letters they are dropped: a search is as often typed without
// them, and the run then stays one run, so both find the title.
bool IsMiddleDot(char32_t c) {
    return c == 0xB7 || c == 0x2027 || c == 0x30FB;
}

// Spaces, line and paragraph separators, and the control characters (tab and newline among
// them).
bool IsFoldSpace(char32_t c) {
    const auto category = utf8proc_category(static_cast<utf8proc_int32_t>(c));
    return category == UTF8PROC_CATEGORY_ZS || category == UTF8PROC_CATEGORY_ZL ||
           category == UTF8PROC_CATEGORY_ZP || category == UTF8PROC_CATEGORY_CC;
}

// The case-folded Latin letters without a decomposition, as the schema-1 fold spelled them.
const char* LatinSpelling(char32_t c) {
    switch (c) {
        case 0xE6:  // æ
            return "ae";
        case 0xF0:   // ð
        case 0x111:  // đ
            return "d";
        case 0xF8:  // ø
            return "o";
        case 0xFE:  // þ
            return "th";
        case 0x127:  // ħ
            return "h";
        case 0x131:  // ı
            return "i";
        case 0x138:  // ĸ
            return "k";
        case 0x142:  // ł
            return "l";
        case 0x14B:  // ŋ
            return "n";
        case 0x153:  // œ
            return "oe";
        case 0x167:  // ŧ
            return "t";
        default:
            return nullptr;
    }
}

// Applied before decomposition: NFKD makes ŀ "l·" and ŉ "ʼn", where the schema-1 fold had
// the bare letter.
utf8proc_int32_t BareLetter(utf8proc_int32_t c, void* /*unused*/) {
    switch (c) {
        case 0x13F:  // Ŀ
        case 0x140:  // ŀ
            return 'l';
        case 0x149:  // ŉ
            return 'n';
        default:
            return c;
    }
}

// NFKD with full case folding and without the default-ignorable code points. COMPAT is there
// for the forms East Asian input methods and old data produce: fullwidth Latin letters and
// digits, halfwidth katakana, compatibility jamo, squared words such as ㍿. The cost is that
// a few symbols become letters (™ → tm, ² → 2), which a search can live with.
constexpr auto kDecompose = static_cast<utf8proc_option_t>(
    UTF8PROC_DECOMPOSE | UTF8PROC_COMPAT | UTF8PROC_CASEFOLD | UTF8PROC_IGNORE | UTF8PROC_STABLE);
constexpr auto kCompose = static_cast<utf8proc_option_t>(UTF8PROC_COMPOSE | UTF8PROC_STABLE);

// The text with each byte that is not part of a UTF-8 sequence replaced by U+FFFD; utf8proc
// refuses a text with any such byte as a whole.
std::string ValidUtf8(std::string_view text) {
    std::string valid;
    valid.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        char32_t c = 0;
        const std::size_t length = DecodeCodePoint(text, at, c);
        if (c == 0xFFFD && length == 1) {
            valid += "\xEF\xBF\xBD";
        } else {
            valid.append(text.substr(at, length));
        }
        at += length;
    }
    return valid;
}

void AppendUtf8(std::string& out, char32_t c) {
    utf8proc_uint8_t bytes[4];
    const auto length = utf8proc_encode_char(static_cast<utf8proc_int32_t>(c), bytes);
    out.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
}

}  // namespace

std::string LegacyFold(std::string_view utf8) {
    std::string key;
    key.reserve(utf8.size());
    bool space_pending = false;
    std::size_t at = 0;
    while (at < utf8.size()) {
        const auto byte = static_cast<unsigned char>(utf8[at]);
        std::uint32_t code_point = byte;
        std::size_t length = 1;
        if (byte >= 0x80) {
            length = DecodeUtf8(utf8, at, code_point);
            if (length == 0) {
                // Not UTF-8: the byte as it is.
                length = 1;
                code_point = 0xFFFFFFFF;
            }
        }
        if (code_point != 0xFFFFFFFF && IsSpace(code_point)) {
            space_pending = !key.empty();
            at += length;
            continue;
        }
        if (code_point >= 0x300 && code_point <= 0x36F) {
            // A combining accent of decomposed text.
            at += length;
            continue;
        }
        if (space_pending) {
            key += ' ';
            space_pending = false;
        }
        if (code_point >= 'A' && code_point <= 'Z') {
            key += static_cast<char>(code_point - 'A' + 'a');
        } else if (code_point >= 0xC0 && code_point < 0x180 && kLatinFold[code_point - 0xC0]) {
            key += kLatinFold[code_point - 0xC0];
        } else {
            key.append(utf8.data() + at, length);
        }
        at += length;
    }
    return key;
}

std::size_t DecodeCodePoint(std::string_view text, std::size_t at, char32_t& c) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        c = lead;
        return 1;
    }
    std::size_t length = 0;
    char32_t smallest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        smallest = 0x80;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        smallest = 0x800;
        c = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        smallest = 0x10000;
        c = lead & 0x07;
    } else {
        c = 0xFFFD;
        return 1;
    }
    if (text.size() - at < length) {
        c = 0xFFFD;
        return 1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            c = 0xFFFD;
            return 1;
        }
        c = (c << 6) | (next & 0x3F);
    }
    if (c < smallest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        c = 0xFFFD;
        return 1;
    }
    return length;
}

bool IsWordCharacter(char32_t c) {
    if (c < 0x80) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    }
    if (c > 0x10FFFF) {
        return false;
    }
    switch (utf8proc_category(static_cast<utf8proc_int32_t>(c))) {
        case UTF8PROC_CATEGORY_LU:
        case UTF8PROC_CATEGORY_LL:
        case UTF8PROC_CATEGORY_LT:
        case UTF8PROC_CATEGORY_LM:
        case UTF8PROC_CATEGORY_LO:
        case UTF8PROC_CATEGORY_ND:
        case UTF8PROC_CATEGORY_NL:
        case UTF8PROC_CATEGORY_NO:
            return true;
        case UTF8PROC_CATEGORY_CO:
            // unicode61 knows no categories past U+FFFFF: plane 16 separates.
            return c < 0x100000;
        default:
            return false;
    }
}

bool IsCjkLetter(char32_t c) {
    for (const Block& block : kCjkBlocks) {
        if (c < block.first) {
            return false;
        }
        if (c <= block.last) {
            return IsWordCharacter(c);
        }
    }
    return false;
}

namespace {

// FoldTitle of plain ASCII, most titles: letters in lower case, control characters and
// spaces run together into one space, the ends trimmed; the same key as the full passes give.
std::string FoldAscii(std::string_view text) {
    std::string key;
    key.reserve(text.size());
    bool space_pending = false;
    for (const char c : text) {
        if (c <= ' ' || c == 0x7F) {
            space_pending = !key.empty();
            continue;
        }
        if (space_pending) {
            key += ' ';
            space_pending = false;
        }
        key += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return key;
}

}  // namespace

std::string FoldTitle(std::string_view utf8) {
    if (std::all_of(utf8.begin(), utf8.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        return FoldAscii(utf8);
    }
    // ё, ß and ς need no rule of their own: case folding gives е with a mark, ss and σ.
    const std::string text = ValidUtf8(utf8);
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
    const auto byte_count = static_cast<utf8proc_ssize_t>(text.size());
    // Mostly one code point a byte at most; a longer decomposition (㍿, ﷺ) asks again.
    std::vector<utf8proc_int32_t> points(text.size() + 16);
    utf8proc_ssize_t count = 0;
    for (;;) {
        count = utf8proc_decompose_custom(bytes, byte_count, points.data(),
                                          static_cast<utf8proc_ssize_t>(points.size()), kDecompose,
                                          BareLetter, nullptr);
        if (count < 0) {
            // Only for text that is not UTF-8, and the text is by now.
            return {};
        }
        if (static_cast<std::size_t>(count) <= points.size()) {
            break;
        }
        points.resize(static_cast<std::size_t>(count));
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
        const auto c = static_cast<char32_t>(points[i]);
        if (!IsMark(c) || IsKanaVoicing(c)) {
            points[kept++] = points[i];
        }
    }
    const utf8proc_ssize_t composed =
        utf8proc_normalize_utf32(points.data(), static_cast<utf8proc_ssize_t>(kept), kCompose);
    if (composed < 0) {
        return {};
    }
    // A voicing mark that no kana took in composing goes like the other marks.
    kept = 0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(composed); ++i) {
        if (!IsKanaVoicing(static_cast<char32_t>(points[i]))) {
            points[kept++] = points[i];
        }
    }

    std::string key;
    key.reserve(text.size());
    bool space_pending = false;
    bool after_word = false;
    bool after_cjk = false;
    for (std::size_t i = 0; i < kept; ++i) {
        const auto c = static_cast<char32_t>(points[i]);
        if (IsFoldSpace(c)) {
            space_pending = !key.empty();
            after_word = false;
            continue;
        }
        if (IsMiddleDot(c) && after_cjk && after_word && i + 1 < kept &&
            IsCjkLetter(static_cast<char32_t>(points[i + 1]))) {
            continue;
        }
        const bool word = IsWordCharacter(c);
        const bool cjk = word && IsCjkLetter(c);
        if (word && after_word && cjk != after_cjk) {
            space_pending = true;
        }
        if (space_pending) {
            key += ' ';
            space_pending = false;
        }
        if (const char* spelling = LatinSpelling(c)) {
            key += spelling;
        } else {
            AppendUtf8(key, c);
        }
        after_word = word;
        after_cjk = cjk;
    }
    return key;
}

}  // namespace korvid::dataset
