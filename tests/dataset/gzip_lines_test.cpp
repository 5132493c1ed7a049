// The gzip line reader across its block boundaries: lines of every length, one longer than
// a block, a last line without its line end, and two gzip members one after the other.

#include "dataset/gzip_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dataset/film_database.h"
#include "tests/dataset/dataset_files.h"
#include "tests/support/temp_dir.h"

namespace korvid::dataset {
namespace {

using test_support::TempDir;

std::vector<std::string> ReadLines(const std::string& path) {
    GzipLines lines(path, "test.tsv.gz");
    std::vector<std::string> read;
    std::string_view line;
    while (lines.Next(line)) {
        read.emplace_back(line);
    }
    EXPECT_EQ(lines.CompressedRead(), lines.CompressedSize());
    return read;
}

TEST(GzipLines, GivesEveryLineAcrossBlocks) {
    std::vector<std::string> lines;
    std::string text;
    for (int i = 0; i < 60000; ++i) {
        lines.push_back(
            std::string(static_cast<std::size_t>(i % 97), static_cast<char>('a' + i % 26)) +
            std::to_string(i));
    }
    lines.insert(lines.begin() + 30000, std::string(2'500'000, 'x'));  // over two blocks
    lines.push_back("");
    lines.push_back("last, without a line end");
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += lines[i];
        if (i + 1 < lines.size()) {
            text += '\n';
        }
    }
    TempDir dir;
    test_support::WriteGzipFile(dir.File("a.gz"), text);
    EXPECT_EQ(ReadLines(dir.File("a.gz")), lines);
}

TEST(GzipLines, ReadsMembersOneAfterTheOther) {
    TempDir dir;
    test_support::WriteFileBytes(dir.File("two.gz"),
                                 test_support::Gzip("one\ntw") + test_support::Gzip("o\nthree\n"));
    EXPECT_EQ(ReadLines(dir.File("two.gz")), (std::vector<std::string>{"one", "two", "three"}));
}

TEST(GzipLines, NamesTheFileOfAGarbageTail) {
    TempDir dir;
    test_support::WriteFileBytes(dir.File("tail.gz"), test_support::Gzip("one\n") + "garbage");
    try {
        ReadLines(dir.File("tail.gz"));
        ADD_FAILURE() << "a garbage tail was read";
    } catch (const DatasetError& error) {
        EXPECT_EQ(std::string(error.what()), "test.tsv.gz: the gzip data is corrupt");
    }
}

}  // namespace
}  // namespace korvid::dataset
