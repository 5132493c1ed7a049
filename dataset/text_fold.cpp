#include "dataset/text_fold.h"

#include <cstdint>

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

}  // namespace korvid::dataset
