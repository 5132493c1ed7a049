#pragma once
// Byte-wise text helpers shared by the page reader and the tag: Korvid's upper-casing changes
// only the letters a to z (accented letters are not folded), and its trimming removes every
// byte of value 32 or below (spaces and control characters) from both ends.

#include <cstddef>
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

// The folder or base address ending with one "/", for a file name to follow.
std::string WithSlash(std::string folder);

// The offset of the first occurrence of upper_needle (already upper-cased) in the text at or
// after from, ignoring a to z case; npos when there is none or the needle is empty.
// Candidates are found by a filter on the needle's rarest pair of adjacent bytes (as HTML
// goes), in both letter cases, and then compared whole.
std::size_t FindIgnoringCase(std::string_view text, std::string_view upper_needle,
                             std::size_t from = 0);

// The offset of the needle's rarest run of width adjacent bytes (as HTML goes: a fixed table
// of byte frequencies in web pages); with ascii_only, among the runs of bytes below 0x80
// alone. npos when there is no such run (a needle shorter than width).
std::size_t RarestRun(std::string_view needle, std::size_t width, bool ascii_only = false);

// True when the text at text begins with upper_needle (already upper-cased), ignoring a to z
// case. The caller makes sure upper_needle.size() bytes can be read there.
bool MatchesAt(const char* text, std::string_view upper_needle);

// The text with every byte for which must_escape is true written as "%XX" (upper-case hex
// digits); every other byte as it stands.
std::string PercentEncode(std::string_view text, bool (*must_escape)(unsigned char byte));

}  // namespace korvid
