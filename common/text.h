#pragma once
// Byte-wise text helpers shared by the page reader and the tag: Korvid's upper-casing changes
// only the letters a to z (accented letters are not folded), and its trimming removes every
// byte of value 32 or below (spaces and control characters) from both ends.

#include <string>
#include <string_view>

namespace korvid {

constexpr char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string UpperAsciiCopy(std::string_view text);

// True when both texts are equal, ignoring the case of a to z.
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

// The text without its leading and trailing bytes of value 32 and below.
std::string TrimControls(std::string_view text);

}  // namespace korvid
