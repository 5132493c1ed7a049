#include "common/line_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/errors.h"
#include "tests/support/temp_dir.h"
#include "tests/support/all_lines.h"

namespace korvid {
namespace {

using test_support::AllLines;
using test_support::ReadFileBytes;
using test_support::TempDir;
using test_support::WriteFileBytes;

struct SplitCase {
    const char* name;
    std::string text;
    std::vector<std::string> lines;
};

class LineListSplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(LineListSplitTest, LoadsTheSameLinesFromTextAndFile) {
    const SplitCase& c = GetParam();
    LineList from_text;
    from_text.SetText(c.text);
    EXPECT_EQ(AllLines(from_text), c.lines);

    TempDir dir;
    WriteFileBytes(dir.File("page.htm"), c.text);
    LineList from_file;
    from_file.Add("stale line");
    from_file.LoadFromFile(dir.File("page.htm"));
    EXPECT_EQ(AllLines(from_file), c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    LineEnds, LineListSplitTest,
    ::testing::Values(
        SplitCase{"empty", "", {}}, SplitCase{"one_line_no_break", "abc", {"abc"}},
        SplitCase{"crlf", "a\r\nb\r\n", {"a", "b"}}, SplitCase{"lf", "a\nb\n", {"a", "b"}},
        SplitCase{"cr", "a\rb\r", {"a", "b"}},
        SplitCase{"mixed", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        SplitCase{"lf_cr_is_two_breaks", "a\n\rb", {"a", "", "b"}},
        SplitCase{"blank_lines_kept", "\r\n\r\nx", {"", "", "x"}},
        SplitCase{"only_a_break", "\r\n", {""}},
        SplitCase{"nul_ends_the_text", std::string("ab\r\ncd\0ef\r\ngh", 13), {"ab", "cd"}},
        SplitCase{"nul_at_start", std::string("\0abc", 4), {}},
        SplitCase{"high_bytes_unchanged", "Am\xE9lie\r\n\xFF\x80", {"Am\xE9lie", "\xFF\x80"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineListTest, IndexOutsideTheListRaisesTheListIndexError) {
    LineList list;
    list.Add("only");
    EXPECT_EQ(list[0], "only");
    for (const int index : {-1, 1, 42}) {
        try {
            (void)list[index];
            FAIL() << "no error for index " << index;
        } catch (const ListIndexError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "List index out of bounds (" + std::to_string(index) + ")");
        }
    }
}

TEST(LineListTest, SavesEveryLineWithCrLfAndBytesUnchanged) {
    TempDir dir;
    const std::string path = dir.File("out.txt");
    WriteFileBytes(path, "an older, longer file that must be replaced entirely");
    LineList list;
    list.Add("first");
    list.Add("");
    list.Add("Am\xE9lie & <b>");
    list.SaveToFile(path);
    EXPECT_EQ(ReadFileBytes(path), "first\r\n\r\nAm\xE9lie & <b>\r\n");

    LineList empty;
    empty.SaveToFile(path);
    EXPECT_EQ(ReadFileBytes(path), "");
}

TEST(LineListTest, SaveIntoAMissingFolderRaisesCannotCreateFile) {
    TempDir dir;
    const std::string path = dir.File("no-such-folder/out.txt");
    LineList list;
    list.Add("x");
    try {
        list.SaveToFile(path);
        FAIL() << "no error";
    } catch (const FileCreateError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + path);
    }
}

TEST(LineListTest, LoadingAMissingFileRaisesCannotOpenFileAndKeepsTheLines) {
    TempDir dir;
    LineList list;
    list.Add("kept");
    EXPECT_THROW(list.LoadFromFile(dir.File("missing.htm")), FileOpenError);
    EXPECT_EQ(list.Count(), 1);
}

}  // namespace
}  // namespace korvid
