// The line list: how text and files split into lines, the one buffer and where its lines
// begin (random pages against a plain splitter, lines of every length), lines added whole,
// saving, and the errors.

#include "common/line_list.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/errors.h"
#include "common/filter_kernel.h"
#include "tests/support/all_lines.h"
#include "tests/support/temp_dir.h"

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

TEST(LineListTest, AFileThatCannotBeOpenedKeepsTheLinesOneThatCannotBeReadEmptiesThem) {
    TempDir dir;
    LineList list;
    list.Add("kept");
    EXPECT_THROW(list.LoadFromFile(dir.File("missing.htm")), FileOpenError);
    EXPECT_EQ(list.Count(), 1);
    // A file that opens but cannot be read (a folder) empties the list: the page it held
    // gave its memory to the read.
    EXPECT_THROW(list.LoadFromFile(dir.Path()), IoError);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(list.Buffer().empty());
}

// One string per line, the straightforward way.
std::vector<std::string> PlainSplit(std::string_view text) {
    std::vector<std::string> lines;
    text = text.substr(0, text.find('\0'));
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
        if (end < text.size() && text[end] == '\r' && start < text.size() && text[start] == '\n') {
            ++start;
        }
    }
    return lines;
}

// Every split kernel the processor may run (AVX2, SSE2, portable) splits as the plain splitter.
TEST(LineBufferTest, RandomPagesSplitAsThePlainSplitterSplits) {
    for (const FilterKernel kernel :
         {FilterKernel::Best, FilterKernel::Vector128, FilterKernel::Portable}) {
        SetFilterKernel(kernel);
        std::mt19937 random(15);
        const std::string alphabet("ab \r\n\r\n\t\xE9", 9);
        TempDir dir;
        for (int round = 0; round < 400; ++round) {
            std::string text(random() % (round % 50 == 0 ? 70000 : 200), ' ');
            for (char& c : text) {
                c = alphabet[random() % alphabet.size()];
            }
            if (round % 7 == 0 && !text.empty()) {
                text[random() % text.size()] = '\0';
            }
            const std::vector<std::string> expected = PlainSplit(text);
            LineList list;
            list.SetText(text);
            ASSERT_EQ(AllLines(list), expected)
                << "round " << round << ", kernel " << static_cast<int>(kernel);
            for (int i = 0; i < list.Count(); ++i) {
                ASSERT_EQ(list.LineAt(list.LineBegin(i)), i);
                const char break_byte = list.Buffer()[list.LineEnd(i)];
                ASSERT_TRUE(break_byte == '\n' || break_byte == '\r') << "round " << round;
            }
            if (round % 10 == 0) {
                WriteFileBytes(dir.File("page.htm"), text);
                LineList from_file;
                from_file.LoadFromFile(dir.File("page.htm"));
                ASSERT_EQ(AllLines(from_file), expected) << "round " << round;
            }
        }
    }
    SetFilterKernel(FilterKernel::Best);
}

TEST(LineBufferTest, LinesAddedWholeKeepBreaksAndNulAndSaveUnchanged) {
    const std::vector<std::string> lines = {
        "a\r\nb", std::string("x\0y", 3), "", "\n", "cr\r", "\r", "", "last"};
    LineList list;
    list.SetText("page line\r\n");
    for (const std::string& line : lines) {
        list.Add(line);
    }
    ASSERT_EQ(list.Count(), 9);
    std::string saved = "page line\r\n";
    for (int i = 1; i < list.Count(); ++i) {
        EXPECT_EQ(std::string(list[i]), lines[static_cast<std::size_t>(i) - 1]);
        saved += lines[static_cast<std::size_t>(i) - 1] + "\r\n";
    }
    TempDir dir;
    list.SaveToFile(dir.File("out.txt"));
    EXPECT_EQ(ReadFileBytes(dir.File("out.txt")), saved);

    list.Clear();
    EXPECT_TRUE(list.Empty());
    EXPECT_TRUE(list.Buffer().empty());

    // A page ending in a lone CR: the lines added after it keep their own bytes.
    list.SetText("a\r");
    list.Add("");
    list.Add("b\r");
    EXPECT_EQ(AllLines(list), (std::vector<std::string>{"a", "", "b\r"}));
}

// A line joined from pieces is the pieces in order; a list cleared and filled again, small or
// large, holds only its new lines.
TEST(LineBufferTest, PiecesJoinIntoOneLineAndClearedListsStartAfresh) {
    LineList list;
    for (const std::size_t size : {std::size_t{10}, LineList::SmallBuffer * 2, std::size_t{10}}) {
        list.SetText(std::string(size, 'p') + "\r\nq");
        list.Clear();
        EXPECT_TRUE(list.Empty());
        EXPECT_TRUE(list.Buffer().empty());
        list.Add({"<a>", std::string_view("x\ny", 3), "", "</a>"});
        list.Add({"", ""});
        list.Add({"cr\r", ""});
        EXPECT_EQ(AllLines(list), (std::vector<std::string>{"<a>x\ny</a>", "", "cr\r"}));
    }
}

// Lines of every length, so that groups of 64 line starts span under 256 bytes, under 64 KiB
// and more, one after the other. Each line begins where it should, LineAt finds it from its
// first and last byte, and a list filled by Add agrees with one loaded from text.
TEST(LineBufferTest, LinesOfEveryLengthKeepTheirStarts) {
    std::mt19937 random(21);
    std::vector<std::string> expected;
    std::string text;
    for (int i = 0; i < 64 * 12 + 5; ++i) {
        const std::size_t group = static_cast<std::size_t>(i) / 64;
        const std::size_t length = group % 4 == 0   ? random() % 3
                                   : group % 4 == 1 ? 200 + random() % 100
                                   : group % 4 == 2 ? random() % 2000
                                                    : (i % 64 == 10 ? 70000 : random() % 50);
        expected.emplace_back(length, static_cast<char>('a' + i % 26));
        text += expected.back() + "\n";
    }
    LineList loaded;
    loaded.SetText(text);
    LineList added;
    for (const std::string& line : expected) {
        added.Add(line);
    }
    for (const LineList* list : {&loaded, &added}) {
        ASSERT_EQ(AllLines(*list), expected);
        std::size_t begin = 0;
        for (int i = 0; i < list->Count(); ++i) {
            ASSERT_EQ(list->LineBegin(i), begin) << i;
            ASSERT_EQ(list->LineEnd(i), begin + expected[static_cast<std::size_t>(i)].size());
            ASSERT_EQ(list->LineAt(begin), i);
            ASSERT_EQ(list->LineAt(list->LineEnd(i)), i);
            begin = list->LineEnd(i) + 1;
        }
    }
}

}  // namespace
}  // namespace korvid
