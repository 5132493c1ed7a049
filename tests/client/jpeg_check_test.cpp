// The check that a downloaded picture is a whole JPEG picture before it replaces a cover: from
// its start marker through a frame header with a size and a scan to its end marker.

#include "client/jpeg_check.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

const std::string Whole =
    test_support::ReadFileBytes(KORVID_SOURCE_DIR "/sample-site/pages/covers/tt9000001.jpg");

// A picture of the markers given, each segment with its length.
std::string Segment(unsigned char code, const std::string& body) {
    const std::size_t length = body.size() + 2;
    return std::string{'\xFF', static_cast<char>(code), static_cast<char>(length >> 8),
                       static_cast<char>(length & 0xFF)} +
           body;
}

const std::string Soi("\xFF\xD8", 2);
const std::string Eoi("\xFF\xD9", 2);
// A frame of 16 x 8 pixels, one component.
const std::string Frame = Segment(0xC0, std::string("\x08\x00\x08\x00\x10\x01\x01\x11\x00", 9));
const std::string Scan = Segment(0xDA, std::string("\x01\x01\x00\x00\x3F\x00", 6));

// A picture is whole only when walked from its start marker to its end marker.
TEST(JpegStructureTest, TellsAWholePictureFromAnyOther) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string problem;  // empty: a whole picture
    };
    const Case cases[] = {
        {"whole", Whole, ""},
        {"smallest whole",
         Soi + Frame + Scan + std::string("\x12\xFF\x00\x34\xFF\xD0\x56", 7) + Eoi, ""},
        {"fill bytes before a marker", Soi + "\xFF" + Frame + Scan + "\x12\xFF" + Eoi, ""},
        {"empty", "", "not a JPEG picture"},
        {"start and zeros", std::string("\xFF\xD8\xFF", 3) + std::string(100, '\0'),
         "a damaged JPEG picture"},
        {"cut in a segment", Whole.substr(0, 30), "a JPEG picture cut short"},
        {"cut before the end", Whole.substr(0, Whole.size() - 2), "a JPEG picture cut short"},
        {"no scan", Soi + Frame + Eoi, "a JPEG picture without image data"},
        {"scan before frame", Soi + Scan + "\x12" + Eoi, "a damaged JPEG picture"},
        {"width zero",
         Soi + Segment(0xC2, std::string("\x08\x00\x08\x00\x00\x01\x01\x11\x00", 9)) + Scan + Eoi,
         "a JPEG picture without a size"},
        {"length below two", Soi + std::string("\xFF\xE0\x00\x01", 4) + Eoi,
         "a damaged JPEG picture"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(JpegStructureProblem(c.bytes), c.problem);
    }
}

}  // namespace
}  // namespace korvid
