#pragma once
// Korvid holds page text, fields and tag bytes as single bytes, shown as Latin-1. The terminal
// speaks UTF-8: what the user types is taken into Latin-1, and what Korvid prints goes out
// as UTF-8 with control bytes shown as "?" so that page or tag text cannot act on the terminal.

#include <string>

#include "common/latin1.h"

namespace korvid::cli {

using korvid::Latin1ToUtf8;
using korvid::Utf8ToLatin1;

// Latin-1 to UTF-8, with C0 and C1 control bytes and DEL replaced by "?".
std::string ForTerminal(const std::string& bytes);

}  // namespace korvid::cli
