// The part writer's gzip check: what it knows of a part at the end of a transfer comes from the
// bytes as they were written (and, for a part continued, the bytes held, read once first).

#include "client/part_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <stop_token>
#include <string>

#include "sample-site/sample_site.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using test_support::ReadFileBytes;
using test_support::TempDir;
using test_support::WriteFileBytes;

constexpr std::uint64_t Limit = std::uint64_t{1} << 30;

std::string Whole() {
    std::string rows = "tconst\tdirectors\twriters\n";
    for (int i = 0; i < 200; ++i) {
        rows +=
            "tt90" + std::to_string(10000 + i * 37) + "\tnm" + std::to_string(i * 7919) + "\t\\N\n";
    }
    return sample::GzipCompress(rows);
}

// The answer's header of a 206 that continues a part of `from` bytes of the whole.
ResponseHeaders RestOf(std::size_t from, std::size_t whole) {
    ResponseHeaders headers;
    headers.content_range = "bytes " + std::to_string(from) + "-" + std::to_string(whole - 1) +
                            "/" + std::to_string(whole);
    headers.content_length = static_cast<std::int64_t>(whole - from);
    return headers;
}

// A whole answer cut short, written and closed, then its part removed: the verdict needs no
// reading of the file.
TEST(PartWriterTest, TheVerdictOfAWholeAnswerComesFromTheBytesWritten) {
    const std::string cut = Whole().substr(0, 400);
    TempDir dir;
    PartWriter part(dir.File("f.part"), "http://127.0.0.1:1/", 0, Limit);
    part.Begin(200, {});
    EXPECT_TRUE(part.Write(cut.data(), cut.size()));
    part.Close();
    ASSERT_EQ(::unlink(dir.File("f.part").c_str()), 0);
    EXPECT_EQ(part.GzipVerdict(), "the file is cut short");
}

// A part continued: its held bytes are read before the first new byte is taken, so a spoilt
// part, or a stop while it is read, adds nothing to it. A sound part is resumed to the whole.
TEST(PartWriterTest, APartContinuedIsReadFirst) {
    const std::string whole = Whole();
    const std::size_t held = whole.size() / 2;
    std::string spoilt = whole.substr(0, held);
    spoilt[10] = '\xff';  // the first deflate block: of a type that does not exist
    struct Case {
        const char* what;
        std::string part;
        bool stop;
        std::string spoilt;
    };
    const Case cases[] = {
        {"resumed", whole.substr(0, held), false, ""},
        {"spoilt", spoilt, false, "the gzip data is corrupt"},
        {"stopped", whole.substr(0, held), true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        WriteFileBytes(dir.File("f.part"), c.part);
        std::stop_source stop;
        if (c.stop) {
            stop.request_stop();
        }
        PartWriter part(dir.File("f.part"), "http://127.0.0.1:1/", held, Limit, stop.get_token());
        part.Begin(206, RestOf(held, whole.size()));
        const bool resumed = c.spoilt.empty() && !c.stop;
        EXPECT_EQ(part.Write(whole.data() + held, whole.size() - held), resumed);
        part.Close();
        EXPECT_EQ(part.Spoilt(), c.spoilt);
        EXPECT_EQ(part.Stopped(), c.stop);
        EXPECT_EQ(ReadFileBytes(dir.File("f.part")), resumed ? whole : c.part);
        if (resumed) {
            EXPECT_EQ(part.GzipVerdict(), "");
        }
    }
}

}  // namespace
}  // namespace korvid
