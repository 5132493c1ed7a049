#include "common/text.h"

#include <gtest/gtest.h>

#include <string>

namespace korvid {
namespace {

TEST(TextTest, UpperCasingChangesOnlyAToZ) {
    EXPECT_EQ(UpperAsciiCopy("abz AZ {`} 09 \xE9\xFF"), "ABZ AZ {`} 09 \xE9\xFF");
    EXPECT_TRUE(EqualIgnoringAsciiCase("Sci-Fi", "sCI-fI"));
    EXPECT_FALSE(EqualIgnoringAsciiCase("Sci-Fi", "Sci-Fi "));
    EXPECT_FALSE(EqualIgnoringAsciiCase("\xC9", "\xE9"));  // accented letters are not folded
}

TEST(TextTest, TrimmingRemovesBytesUpTo32AtBothEndsOnly) {
    EXPECT_EQ(TrimControls(" \t\r\n\x01 117 min \x1F "), "117 min");
    EXPECT_EQ(TrimControls(std::string("\0a b\0", 5)), "a b");
    EXPECT_EQ(TrimControls("\x7F x \xA0"), "\x7F x \xA0");  // DEL and high bytes stay
    EXPECT_EQ(TrimControls("   "), "");
    EXPECT_EQ(TrimControls(""), "");
}

}  // namespace
}  // namespace korvid
