// The line list's one buffer: random pages split as a plain splitter splits them, from text
// and from a file, and lines added whole keep every byte.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/line_list.h"
#include "tests/support/temp_dir.h"
#include "tests/support/all_lines.h"

namespace korvid {
namespace {

using test_support::AllLines;
using test_support::ReadFileBytes;
using test_support::TempDir;
using test_support::WriteFileBytes;

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

TEST(LineBufferTest, RandomPagesSplitAsThePlainSplitterSplits) {
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
        ASSERT_EQ(AllLines(list), expected) << "round " << round;
        for (int i = 0; i < list.Count(); ++i) {
            ASSERT_EQ(list.LineAt(list.LineBegin(i)), i);
            ASSERT_EQ(list.Buffer()[list.LineEnd(i)], '\n');
        }
        if (round % 10 == 0) {
            WriteFileBytes(dir.File("page.htm"), text);
            LineList from_file;
            from_file.LoadFromFile(dir.File("page.htm"));
            ASSERT_EQ(AllLines(from_file), expected) << "round " << round;
        }
    }
}

TEST(LineBufferTest, LinesAddedWholeKeepBreaksAndNulAndSaveUnchanged) {
    const std::vector<std::string> lines = {"a\r\nb", std::string("x\0y", 3), "", "\n", "last"};
    LineList list;
    list.SetText("page line\r\n");
    for (const std::string& line : lines) {
        list.Add(line);
    }
    ASSERT_EQ(list.Count(), 6);
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
        EXPECT_EQ(AllLines(list), (std::vector<std::string>{"<a>x\ny</a>", ""}));
    }
}

}  // namespace
}  // namespace korvid
