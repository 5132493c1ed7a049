// File names shown in reports: escaped for the terminal as "ls -b" does, and written into JSON
// so that their bytes can be read back exactly.

#include "cli/terminal_text.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/case_name.h"

namespace korvid::cli {
namespace {

struct NameCase {
    std::string name;
    std::string terminal;  // EscapedFileName
    std::string json;      // FileNameForJson

    friend void PrintTo(const NameCase& c, std::ostream* os) { *os << c.terminal; }
};

class FileNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(FileNameTest, IsEscapedForTheTerminalAndKeptExactForJson) {
    EXPECT_EQ(EscapedFileName(GetParam().name), GetParam().terminal);
    EXPECT_EQ(FileNameForJson(GetParam().name), GetParam().json);
}

INSTANTIATE_TEST_SUITE_P(
    Names, FileNameTest,
    ::testing::Values(
        NameCase{"films/Canyon (1990).avi", "films/Canyon (1990).avi", "films/Canyon (1990).avi"},
        NameCase{"Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xAC.mkv",
                 "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xAC.mkv",
                 "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xAC.mkv"},
        // A line break would forge a report line; escape sequences act on the terminal.
        NameCase{"a\nfilms/forged: tagged.avi", "a\\nfilms/forged: tagged.avi",
                 "a\nfilms/forged: tagged.avi"},
        NameCase{"\x1b]0;title\x07\x1b[2J.avi", "\\033]0;title\\a\\033[2J.avi",
                 "\x1b]0;title\x07\x1b[2J.avi"},
        NameCase{std::string("\t\r\b\f\v\x01\x7F", 7), "\\t\\r\\b\\f\\v\\001\\177",
                 std::string("\t\r\b\f\v\x01\x7F", 7)},
        // U+009B is a C1 control (CSI on some terminals): valid UTF-8, still escaped.
        NameCase{std::string("x\xC2\x9B") + "31m", "x\\302\\23331m",
                 std::string("x\xC2\x9B") + "31m"},
        // Bytes that are not UTF-8: a Latin-1 name, a lone continuation byte, a cut character,
        // an overlong form, a surrogate.
        NameCase{"Bad\xFF\xFEUtf8.mp4", "Bad\\377\\376Utf8.mp4", "Bad\\xFF\\xFEUtf8.mp4"},
        NameCase{"Caf\xE9.avi", "Caf\\351.avi", "Caf\\xE9.avi"},
        NameCase{"\x80 \xE2\x82", "\\200 \\342\\202", "\\x80 \\xE2\\x82"},
        NameCase{"\xC0\xAF \xED\xA0\x80", "\\300\\257 \\355\\240\\200",
                 "\\xC0\\xAF \\xED\\xA0\\x80"},
        // A backslash is doubled, so that an escape in the name cannot pass for one made here.
        NameCase{"a\\xFF\\n.avi", "a\\\\xFF\\\\n.avi", "a\\\\xFF\\\\n.avi"}),
    test_support::PrintedCaseName());

// The JSON form read back: "\\" is one backslash, "\xHH" the byte.
std::string ReadBack(const std::string& json) {
    std::string bytes;
    for (std::size_t i = 0; i < json.size(); ++i) {
        if (json[i] == '\\' && json[i + 1] == '\\') {
            bytes += '\\';
            ++i;
        } else if (json[i] == '\\' && json[i + 1] == 'x') {
            bytes += static_cast<char>(std::stoi(json.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            bytes += json[i];
        }
    }
    return bytes;
}

TEST(FileNameForJson, EveryByteSequenceReadsBackExactly) {
    for (int first = 0; first < 256; ++first) {
        for (const std::string tail : {"", "\x80", "\xA0\x80", "\\x41", "\xBF\xBF\xBF"}) {
            const std::string name = std::string(1, static_cast<char>(first)) + tail;
            EXPECT_EQ(ReadBack(FileNameForJson(name)), name) << first;
        }
    }
}

}  // namespace
}  // namespace korvid::cli
