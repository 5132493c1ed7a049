// The gzip check of a download: its verdict on bytes fed in pieces of any size is the one the
// build's reader (dataset::GzipLines) comes to on the same bytes as a file.

#include "client/gzip_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>

#include "dataset/film_database.h"
#include "dataset/gzip_lines.h"
#include "sample-site/sample_site.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using test_support::TempDir;
using test_support::WriteFileBytes;

// The build's verdict: empty when every line reads, else the cause after "name: ".
std::string BuildVerdict(const std::string& path) {
    try {
        dataset::GzipLines lines(path, "f");
        std::string_view line;
        while (lines.Next(line)) {
        }
        return {};
    } catch (const dataset::DatasetError& error) {
        return std::string(error.what()).substr(3);
    }
}

std::string CheckVerdict(const std::string& bytes, std::size_t piece) {
    GzipCheck check;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        check.Feed(bytes.data() + at, std::min(piece, bytes.size() - at));
    }
    return check.Verdict();
}

TEST(GzipCheckTest, GivesTheBuildsVerdictHoweverTheBytesArrive) {
    const std::string one = sample::GzipCompress("tconst\tdirectors\nt1\tn1\n");
    const std::string header = one.substr(0, 10);
    struct Case {
        const char* what;
        std::string bytes;
        std::string verdict;
    };
    const Case cases[] = {
        {"two members, as gzip -d reads them", one + sample::GzipCompress("t2\tn2\n"), ""},
        {"cut short", one.substr(0, one.size() - 3), "the file is cut short"},
        {"a member then the start of another", one + "\x1f", "the file is cut short"},
        {"a member then garbage", one + "garbage", "the gzip data is corrupt"},
        {"a block type that does not exist", header + "\xff\xff\xff", "the gzip data is corrupt"},
        {"a changed check sum", one.substr(0, one.size() - 5) + "\x01" + one.substr(one.size() - 4),
         "the gzip data is corrupt"},
        {"no bytes", "", "the file is empty"},
        {"plain text", "tconst\tdirectors\n", "not a gzip file"},
        {"the header alone", header, "the file is cut short"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFileBytes(dir.File("f"), c.bytes);
        EXPECT_EQ(BuildVerdict(dir.File("f")), c.verdict);
        for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{1} << 20}) {
            EXPECT_EQ(CheckVerdict(c.bytes, piece), c.verdict) << "in pieces of " << piece;
        }
    }
}

}  // namespace
}  // namespace korvid
