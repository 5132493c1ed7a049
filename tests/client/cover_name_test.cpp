// The cover's file name made from the name the film page parser gives (title and ".jpg"): no
// control characters, always ending in ".jpg" within the room beside the folder, and none
// for an empty title.

#include "client/cover_name.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/case_name.h"

namespace korvid {
namespace {

struct CoverNameCase {
    std::string given;
    std::size_t room;
    std::string name;

    friend void PrintTo(const CoverNameCase& c, std::ostream* os) {
        *os << c.name.size() << " " << c.name;
    }
};

class CoverNameTest : public ::testing::TestWithParam<CoverNameCase> {};

TEST_P(CoverNameTest, IsMadeSafe) {
    const std::string name = CoverFileName(GetParam().given, GetParam().room);
    EXPECT_EQ(name, GetParam().name);
    EXPECT_LE(name.size(), GetParam().room);
}

const std::string Long(300, 'n');

INSTANTIATE_TEST_SUITE_P(
    Names, CoverNameTest,
    ::testing::Values(
        CoverNameCase{"Winter Orchard .jpg", 200, "Winter Orchard .jpg"},
        CoverNameCase{" \t Some Film .jpg \r\n", 200, "Some Film .jpg"},
        // Escape sequences, bells and tabs inside the title are dropped, not kept in the name.
        CoverNameCase{"A\x1b]0;x\x07 B\tC\x7F.jpg", 200, "A]0;x BC.jpg"},
        // Latin-1 letters are written in UTF-8; the C1 controls are dropped like the others.
        CoverNameCase{"Caf\xE9 Nocturne .jpg", 200, "Caf\xC3\xA9 Nocturne .jpg"},
        CoverNameCase{"\xC6on \x85\x9B\xFF.jpg", 200, "\xC3\x86on \xC3\xBF.jpg"},
        // A cut falls before a letter that would not fit whole.
        CoverNameCase{"abc\xE9.jpg", 8, "abc.jpg"},
        CoverNameCase{"abc\xE9.jpg", 9, "abc\xC3\xA9.jpg"},
        // A title cut to fit keeps ".jpg" at the end, however the room falls.
        CoverNameCase{std::string(212, 't') + ".jpg", 200, std::string(196, 't') + ".jpg"},
        CoverNameCase{"abcdef.jpg", 9, "abcde.jpg"}, CoverNameCase{"abcdef.jpg", 5, "a.jpg"},
        // A name the parser's 255-byte string already cut lost part of ".jpg": the title only.
        CoverNameCase{std::string(253, 't') + ".j", 251, std::string(247, 't') + ".jpg"},
        CoverNameCase{Long, 255, std::string(251, 'n') + ".jpg"},
        // No title, or no room for one: no cover.
        CoverNameCase{".jpg", 200, ""}, CoverNameCase{"", 200, ""},
        CoverNameCase{"\x1b\x07\t.jpg", 200, ""}, CoverNameCase{"  .jpg", 200, ""},
        CoverNameCase{"abc.jpg", 4, ""}, CoverNameCase{"abc.jpg", 0, ""}),
    test_support::PrintedCaseName());

}  // namespace
}  // namespace korvid
