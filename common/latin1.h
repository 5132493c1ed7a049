#pragma once
// Korvid's fields are Latin-1 bytes, one byte a character; the terminal, the JSON output and
// the local film data speak UTF-8. These convert between the two.

#include <string>

namespace korvid {

// A character outside Latin-1 becomes "?", as typed text does in the window; text that is
// not valid UTF-8 is taken as it stands.
std::string Utf8ToLatin1(const std::string& text);

std::string Latin1ToUtf8(const std::string& bytes);

}  // namespace korvid
