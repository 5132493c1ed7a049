#pragma once
// Korvid holds page text, fields and tag bytes as single bytes, shown as Latin-1. The terminal
// speaks UTF-8: what the user types is taken into Latin-1, and what Korvid prints goes out
// as UTF-8 with control bytes shown as "?" so that page or tag text cannot act on the terminal.

#include <optional>
#include <string>
#include <string_view>

#include "common/latin1.h"

namespace korvid::cli {

using korvid::Latin1ToUtf8;
using korvid::TypedToLatin1;
using korvid::Utf8ToLatin1;

// Latin-1 to UTF-8, with C0 and C1 control bytes and DEL replaced by "?".
std::string ForTerminal(const std::string& bytes);

// UTF-8 text from a file Korvid did not write (the film database's fields) as ForTerminal
// shows page text: C0 and C1 control characters and DEL, and each byte that is not part of
// valid UTF-8, replaced by "?"; every other character kept.
std::string Utf8ForTerminal(const std::string& text);

// A file name (its own bytes, usually UTF-8) as "ls -b" shows it, so that it can neither act
// on the terminal nor forge a line: "\\" for a backslash, C escapes ("\n", "\t", "\a", ...)
// for the control characters that have one, three octal digits ("\033", "\302\233") for the
// other control characters (C0, DEL, C1) and for each byte that is not part of valid UTF-8.
std::string EscapedFileName(const std::string& name);

// A file name (its own bytes) for a JSON text, losslessly: valid UTF-8 as it stands, each
// byte that is not part of valid UTF-8 as "\xHH" (two upper-case hex digits), and each
// backslash doubled, so that the name's bytes can be read back exactly.
std::string FileNameForJson(const std::string& name);

// The file name's bytes back from FileNameForJson's form; nothing when the text is not one
// ("\\" and "\xHH" are its only escapes, and an escaped byte is never part of valid UTF-8).
std::optional<std::string> FileNameFromJson(std::string_view text);

}  // namespace korvid::cli
