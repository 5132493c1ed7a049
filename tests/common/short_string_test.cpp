#include "common/short_string.h"

#include <gtest/gtest.h>

#include <string>

namespace korvid {
namespace {

TEST(ShortStringTest, CutsEveryStoreAt255Bytes) {
    struct Case {
        std::size_t length;
        std::size_t kept;
    };
    for (const Case c : {Case{0, 0}, Case{1, 1}, Case{254, 254}, Case{255, 255}, Case{256, 255},
                         Case{10000, 255}}) {
        const std::string text(c.length, 'x');
        ShortString constructed(text);
        EXPECT_EQ(constructed.size(), c.kept) << c.length;
        ShortString assigned;
        assigned = text + "tail";
        EXPECT_EQ(assigned.size(), std::min<std::size_t>(c.length + 4, 255)) << c.length;
    }
}

TEST(ShortStringTest, KeepsEveryByteValueIncludingNulAndHighBytes) {
    const std::string bytes(
        "a\0\xE9\xFF"
        "b",
        5);
    const ShortString s(bytes);
    EXPECT_EQ(s.str(), bytes);
}

TEST(ShortStringTest, ConcatenationIsCutWhenStoredAgain) {
    const ShortString left(std::string(200, 'a'));
    const ShortString joined = left + std::string(100, 'b');
    EXPECT_EQ(joined.str(), std::string(200, 'a') + std::string(55, 'b'));
}

}  // namespace
}  // namespace korvid
