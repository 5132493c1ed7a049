#pragma once
// Korvid's fields are Latin-1 bytes, one byte a character; the terminal, the JSON output and
// the local film data speak UTF-8. These convert between the two.

#include <string>

namespace korvid {

// A character outside Latin-1 becomes "?", as typed text does in the window; text that is
// not valid UTF-8 is taken as it stands.
std::string Utf8ToLatin1(const std::string& text);

std::string Latin1ToUtf8(const std::string& bytes);

// Text the user typed, composed (Unicode NFC): a letter typed as a base letter and combining
// marks becomes the one composed letter. Text that is not valid UTF-8 comes back as it stands.
std::string ComposeTyped(const std::string& text);

// Text the user typed (UTF-8) as Korvid's Latin-1: composed first (Unicode NFC), so that a
// letter typed as a base letter and a combining mark ("o" + U+0308) becomes the one
// Latin-1 letter ("\xF6") rather than "o?"; then as Utf8ToLatin1. Both programs take typed
// text through this.
std::string TypedToLatin1(const std::string& text);

}  // namespace korvid
