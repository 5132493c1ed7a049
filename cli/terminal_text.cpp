#include "cli/terminal_text.h"

#include <algorithm>
#include <string_view>

namespace korvid::cli {
namespace {

// The length of the valid UTF-8 character at the start of text (shortest form, no
// surrogates, at most U+10FFFF), or 0 when its bytes are not one.
std::size_t Utf8CharLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;   // the bounds of the second byte, to refuse overlong forms,
    unsigned char high = 0xBF;  // surrogates and code points past U+10FFFF
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

// Calls visit with each valid UTF-8 character of the text in turn, and with each byte that
// is not part of one on its own (valid false).
template <typename Visit>
void ForEachUtf8Piece(std::string_view text, Visit visit) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8CharLength(text.substr(i));
        visit(text.substr(i, std::max<std::size_t>(length, 1)), length != 0);
        i += std::max<std::size_t>(length, 1);
    }
}

void AppendOctal(std::string& out, char c) {
    const auto byte = static_cast<unsigned char>(c);
    out += '\\';
    out += static_cast<char>('0' + (byte >> 6));
    out += static_cast<char>('0' + ((byte >> 3) & 7));
    out += static_cast<char>('0' + (byte & 7));
}

}  // namespace

std::string EscapedFileName(const std::string& name) {
    static constexpr std::string_view CEscapes = "abtnvfr";  // for the bytes 7 to 13
    std::string out;
    out.reserve(name.size());
    ForEachUtf8Piece(name, [&](std::string_view piece, bool valid) {
        const auto byte = static_cast<unsigned char>(piece[0]);
        // U+0080 to U+009F, the C1 controls, are C2 80 to C2 9F.
        const bool c1 =
            piece.size() == 2 && byte == 0xC2 && static_cast<unsigned char>(piece[1]) < 0xA0;
        if (byte == '\\') {
            out += "\\\\";
        } else if (byte >= 7 && byte <= 13) {
            out += '\\';
            out += CEscapes[byte - 7];
        } else if (!valid || byte < 0x20 || byte == 0x7F || c1) {
            for (const char c : piece) {
                AppendOctal(out, c);
            }
        } else {
            out += piece;
        }
    });
    return out;
}

std::string FileNameForJson(const std::string& name) {
    static constexpr std::string_view Hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(name.size());
    ForEachUtf8Piece(name, [&](std::string_view piece, bool valid) {
        const auto byte = static_cast<unsigned char>(piece[0]);
        if (!valid) {
            out += "\\x";
            out += Hex[byte >> 4];
            out += Hex[byte & 0xF];
            return;
        }
        if (byte == '\\') {
            out += '\\';
        }
        out += piece;
    });
    return out;
}

std::optional<std::string> FileNameFromJson(std::string_view text) {
    const auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    std::string name;
    name.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            name += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\\') {
            name += '\\';
            ++i;
            continue;
        }
        if (i + 3 >= text.size() || text[i + 1] != 'x' || hex(text[i + 2]) < 0 ||
            hex(text[i + 3]) < 0) {
            return std::nullopt;
        }
        name += static_cast<char>(hex(text[i + 2]) * 16 + hex(text[i + 3]));
        i += 3;
    }
    // The escapes stand only for bytes that are not part of valid UTF-8: any other form is
    // not what FileNameForJson writes.
    if (FileNameForJson(name) != text) {
        return std::nullopt;
    }
    return name;
}

std::string Utf8ForTerminal(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    ForEachUtf8Piece(text, [&](std::string_view piece, bool valid) {
        const auto byte = static_cast<unsigned char>(piece[0]);
        const bool c1 =
            piece.size() == 2 && byte == 0xC2 && static_cast<unsigned char>(piece[1]) < 0xA0;
        if (!valid || byte < 0x20 || byte == 0x7F || c1) {
            out += '?';
        } else {
            out += piece;
        }
    });
    return out;
}

std::string ForTerminal(const std::string& bytes) {
    std::string shown = bytes;
    for (char& c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte < 0xA0)) {
            c = '?';
        }
    }
    return Latin1ToUtf8(shown);
}

}  // namespace korvid::cli
