#pragma once
// Korvid holds page text, fields and tag bytes as single bytes, shown as Latin-1. The terminal
// speaks UTF-8: what the user types is taken into Latin-1, and what Korvid prints goes out
// as UTF-8 with control bytes shown as "?" so that page or tag text cannot act on the terminal.

#include <string>

namespace korvid::cli {

// A character outside Latin-1 becomes "?", as in the window; text that is not valid UTF-8 is
// taken as it stands.
std::string Utf8ToLatin1(const std::string& text);

std::string Latin1ToUtf8(const std::string& bytes);

// Latin-1 to UTF-8, with C0 and C1 control bytes and DEL replaced by "?".
std::string ForTerminal(const std::string& bytes);

}  // namespace korvid::cli
