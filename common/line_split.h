#pragma once
// Finds where the lines of a text begin, in one pass over it. A line ends at CR LF, at CR
// alone or at LF alone; the text ends at its first NUL byte; a line break at the very end
// starts no further line. The text is not changed: each line keeps its break where it
// stands.

#include <cstddef>

#include "common/line_starts.h"

namespace korvid {

// Adds the start of every line of text[0 .. size) to starts (the first at 0 when the text
// is not empty) and returns the text's length up to its first NUL (size when it has none).
std::size_t SplitLines(const char* text, std::size_t size, LineStarts& starts);

}  // namespace korvid
