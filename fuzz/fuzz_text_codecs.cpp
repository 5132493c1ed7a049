// The request-target encoder and the terminal text conversions, by their round trips.
//
// EncodeRequestTarget: only bytes that may stand in a request target come out, every other
// byte becomes its %XX form, "%" stays, so percent-decoding the result gives what
// percent-decoding the input gives; encoding twice changes nothing more.
// Terminal text: Latin-1 to UTF-8 and back gives the bytes again; the terminal form holds no
// control character and reads back as the bytes with the controls as "?"; UTF-8 text whose
// characters all lie in Latin-1 comes back unchanged from Latin-1. File names: escaped for the
// terminal as "ls -b" does, and written for JSON so that their bytes read back exactly.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cli/terminal_text.h"
#include "client/http.h"
#include "fuzz/fuzz_support.h"

namespace korvid::fuzz {
namespace {

bool MayStandInTarget(unsigned char byte) {
    return byte > 32 && byte < 127 &&
           std::string_view("\"#<>\\^`{|}").find(static_cast<char>(byte)) == std::string_view::npos;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

std::string PercentDecode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

void CheckEncoder(std::string_view input) {
    const std::string encoded = EncodeRequestTarget(input);
    std::size_t escaped = 0;
    for (const char c : input) {
        escaped += MayStandInTarget(static_cast<unsigned char>(c)) ? 0 : 1;
    }
    Check(encoded.size() == input.size() + 2 * escaped, "encoded length");
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const auto byte = static_cast<unsigned char>(encoded[i]);
        Check(MayStandInTarget(byte), "a byte that cannot stand in a request target", encoded);
    }
    Check(PercentDecode(encoded) == PercentDecode(input), "percent-decoding differs", encoded);
    Check(EncodeRequestTarget(encoded) == encoded, "encoding twice changes more");
}

// The code points of valid shortest-form UTF-8, or none.
std::optional<std::u32string> DecodeUtf8(std::string_view text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        char32_t code = 0;
        if (lead < 0x80) {
            length = 1;
            code = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
        } else {
            return std::nullopt;
        }
        if (i + length > text.size()) {
            return std::nullopt;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return std::nullopt;
            }
            code = (code << 6) | (next & 0x3F);
        }
        const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return std::nullopt;
        }
        out += code;
        i += length;
    }
    return out;
}

void CheckTerminalText(const std::string& bytes) {
    const std::string utf8 = cli::Latin1ToUtf8(bytes);
    const std::optional<std::u32string> codes = DecodeUtf8(utf8);
    Check(codes.has_value() && codes->size() == bytes.size(), "Latin1ToUtf8 is not UTF-8");
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        Check((*codes)[i] == static_cast<unsigned char>(bytes[i]), "Latin1ToUtf8 changed a byte");
    }
    Check(cli::Utf8ToLatin1(utf8) == bytes, "Latin-1 round trip");

    const std::string shown = cli::ForTerminal(bytes);
    const std::optional<std::u32string> shown_codes = DecodeUtf8(shown);
    Check(shown_codes.has_value(), "ForTerminal is not UTF-8");
    for (const char32_t code : *shown_codes) {
        Check(code >= 0x20 && code != 0x7F && !(code >= 0x80 && code < 0xA0),
              "a control character reaches the terminal");
    }
    std::string expected = bytes;
    for (char& c : expected) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && byte < 0xA0)) {
            c = '?';
        }
    }
    Check(cli::Utf8ToLatin1(shown) == expected, "terminal text round trip");

    // The same bytes read as typed UTF-8: text in Latin-1's range comes back unchanged,
    // anything else comes out as it stands or with "?" for each character beyond Latin-1.
    const std::string typed = cli::Utf8ToLatin1(bytes);
    if (const std::optional<std::u32string> typed_codes = DecodeUtf8(bytes)) {
        std::string latin1;
        for (const char32_t code : *typed_codes) {
            latin1 += code <= 0xFF ? static_cast<char>(code) : '?';
        }
        Check(typed == latin1, "Utf8ToLatin1 of valid UTF-8", bytes);
        bool in_latin1 = true;
        for (const char32_t code : *typed_codes) {
            in_latin1 = in_latin1 && code <= 0xFF;
        }
        if (in_latin1) {
            Check(cli::Latin1ToUtf8(typed) == bytes, "UTF-8 round trip through Latin-1");
        }
    }
}

// File names: the "ls -b" form is UTF-8 without a control character; the JSON form is UTF-8
// and reads back as the name's bytes ("\\" one backslash, "\xHH" one byte), and holds valid
// UTF-8 names unchanged but for the doubled backslashes.
void CheckFileNames(const std::string& bytes) {
    const std::optional<std::u32string> escaped = DecodeUtf8(cli::EscapedFileName(bytes));
    Check(escaped.has_value(), "EscapedFileName is not UTF-8");
    for (const char32_t code : *escaped) {
        Check(code >= 0x20 && code != 0x7F && !(code >= 0x80 && code < 0xA0),
              "a control character of a file name reaches the terminal");
    }

    const std::string json = cli::FileNameForJson(bytes);
    Check(DecodeUtf8(json).has_value(), "FileNameForJson is not UTF-8", json);
    std::string read_back;
    for (std::size_t i = 0; i < json.size(); ++i) {
        if (json[i] != '\\') {
            read_back += json[i];
            continue;
        }
        Check(i + 1 < json.size(), "a lone backslash at the end", json);
        if (json[i + 1] == '\\') {
            read_back += '\\';
            i += 1;
            continue;
        }
        Check(json[i + 1] == 'x' && i + 3 < json.size() && HexValue(json[i + 2]) >= 0 &&
                  HexValue(json[i + 3]) >= 0,
              "a backslash that is no escape", json);
        read_back += static_cast<char>(HexValue(json[i + 2]) * 16 + HexValue(json[i + 3]));
        i += 3;
    }
    Check(read_back == bytes, "a JSON file name does not read back as its bytes", json);
    if (DecodeUtf8(bytes).has_value()) {
        std::string doubled;
        for (const char c : bytes) {
            doubled += c == '\\' ? std::string(2, c) : std::string(1, c);
        }
        Check(json == doubled, "a valid UTF-8 name changed more than its backslashes", json);
    }
}

}  // namespace
}  // namespace korvid::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvid::fuzz;
    const std::string_view input = AsText(data, size);
    CheckEncoder(input);
    CheckTerminalText(std::string(input));
    CheckFileNames(std::string(input));
    return 0;
}
