// Typed text into Latin-1: composed first, so decomposed letters keep their accents.

#include <gtest/gtest.h>

#include <string>

#include "common/latin1.h"

namespace korvid {
namespace {

TEST(TypedTextTest, ComposedBeforeItBecomesLatin1) {
    const std::pair<std::string, std::string> cases[] = {
        {"harbo\xCC\x88ur", "harb\xF6ur"},             // o + U+0308
        {"E\xCC\x81t\xC3\xA9", "\xC9t\xE9"},           // E + U+0301, and a composed letter
        {"Jo\xC3\xABlle", "Jo\xEBlle"},                // already composed
        {"\xC5\x81" "ucja", "?ucja"},                  // outside Latin-1, as before
        {"q\xCC\x88", "q?"},                           // no composed form
        {"caf\xE9", "caf\xE9"},                        // not UTF-8: taken as it stands
        {std::string("a\0b", 3), std::string("a\0b", 3)},  // a NUL does not end it
    };
    for (const auto& [typed, latin1] : cases) {
        EXPECT_EQ(TypedToLatin1(typed), latin1) << typed;
    }
}

}  // namespace
}  // namespace korvid
