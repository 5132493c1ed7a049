// The line finder and the field extractors: all page reading is built from these. The
// finder ignores letter case (a to z only); the extractors compare bytes exactly.

#include <algorithm>
#include <cstring>
#include <optional>

#include "client/IMDBImport.h"

namespace korvid {
namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The next occurrence of byte c in [from, end), or end.
const char* Next(const char* from, const char* end, char c) {
    const void* found = std::memchr(from, c, static_cast<std::size_t>(end - from));
    return found != nullptr ? static_cast<const char*>(found) : end;
}

// True when the text holds the already upper-cased needle, ignoring a to z case. Candidates
// for the needle's first byte are found with memchr, in both cases of a letter. This is the
// plain search, one line at a time.
bool ContainsIgnoringCase(std::string_view text, std::string_view upper_needle) {
    if (upper_needle.size() > text.size()) {
        return false;
    }
    const char first_upper = upper_needle.front();
    const char first_lower = LowerAscii(first_upper);
    const std::string_view rest = upper_needle.substr(1);
    const char* end = text.data() + (text.size() - upper_needle.size() + 1);  // last start + 1
    const char* next_upper = Next(text.data(), end, first_upper);
    const char* next_lower = first_lower != first_upper ? Next(text.data(), end, first_lower) : end;
    while (next_upper != end || next_lower != end) {
        const char* candidate = std::min(next_upper, next_lower);
        if (std::equal(rest.begin(), rest.end(), candidate + 1,
                       [](char needle, char c) { return needle == UpperAscii(c); })) {
            return true;
        }
        if (candidate == next_upper) {
            next_upper = Next(candidate + 1, end, first_upper);
        } else {
            next_lower = Next(candidate + 1, end, first_lower);
        }
    }
    return false;
}

// Removes every run from an opening character to the next closing character after it.
ShortString StripRuns(const ShortString& text, char open, char close) {
    std::string s = text.str();
    for (;;) {
        const std::size_t start = s.find(open);
        if (start == std::string::npos) {
            break;
        }
        const std::size_t end = s.find(close, start + 1);
        if (end == std::string::npos) {
            break;
        }
        s.erase(start, end - start + 1);
    }
    return s;
}

// The text between the first start marker and the first end marker after it; no value
// when either is missing or empty.
std::optional<std::string_view> Between(std::string_view source, std::string_view start_marker,
                                        std::string_view end_marker) {
    if (start_marker.empty() || end_marker.empty()) {
        return std::nullopt;
    }
    const std::size_t start = source.find(start_marker);
    if (start == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view rest = source.substr(start + start_marker.size());
    const std::size_t end = rest.find(end_marker);
    if (end == std::string_view::npos) {
        return std::nullopt;
    }
    return rest.substr(0, end);
}

}  // namespace

void TIMDBImport::FindLine(const ShortString& marker, std::int32_t start_index) {
    const std::string upper_marker = UpperAsciiCopy(marker.str());
    LineIndex = -1;
    if (upper_marker.empty() || start_index < 0 || start_index >= PageLines.Count()) {
        return;
    }
    if (plain_line_search_) {
        for (std::int32_t i = start_index; i < PageLines.Count(); ++i) {
            if (ContainsIgnoringCase(PageLines[i], upper_marker)) {
                LineIndex = i;
                return;
            }
        }
        return;
    }
    // The table knows the first line holding the marker: that is the answer unless it lies
    // before the start.
    const std::int32_t first = FirstLineFromTable(upper_marker);
    if (first == -1 || first >= start_index) {
        LineIndex = first;
        return;
    }
    // Search the buffer from the start line on; an occurrence that runs on into the next
    // line (a marker holding a line break) does not count.
    const std::string_view page = PageLines.Buffer();
    std::size_t from = PageLines.LineBegin(start_index);
    for (;;) {
        const std::size_t at = FindIgnoringCase(page, upper_marker, from);
        if (at == std::string_view::npos) {
            return;
        }
        const int line = PageLines.LineAt(at);
        if (at + upper_marker.size() <= PageLines.LineEnd(line)) {
            LineIndex = line;
            return;
        }
        from = at + 1;
    }
}

std::int32_t TIMDBImport::FirstLineFromTable(std::string_view upper_marker) const {
    // A page changed since (emptied, or loaded anew) makes the table worthless.
    const std::string_view page = PageLines.Buffer();
    if (marker_table_.upper_markers == nullptr || page.data() != marker_table_.page.data() ||
        page.size() != marker_table_.page.size()) {
        return -2;
    }
    const std::vector<std::string>& markers = *marker_table_.upper_markers;
    for (std::size_t k = 0; k < markers.size(); ++k) {
        if (markers[k] == upper_marker) {
            return marker_table_.first_lines[k];
        }
    }
    return -2;
}

ShortString TIMDBImport::ExtractBetween(const ShortString& source, const ShortString& start_marker,
                                        const ShortString& end_marker) const {
    return Between(source.str(), start_marker.str(), end_marker.str()).value_or("");
}

ShortString TIMDBImport::ExtractLinkText(const ShortString& source, const ShortString& start_marker,
                                         const ShortString& end_marker) const {
    const std::string_view inner =
        Between(source.str(), start_marker.str(), end_marker.str()).value_or("");
    const std::size_t close = inner.find('>');
    return close == std::string_view::npos ? inner : inner.substr(close + 1);
}

ShortString TIMDBImport::RemoveText(const ShortString& source, const ShortString& text) const {
    // Leaves the source as it is when the text is empty or absent, so a title without a
    // year keeps its title.
    const std::size_t at = text.empty() ? std::string::npos : source.str().find(text.str());
    if (at == std::string::npos) {
        return source;
    }
    std::string result = source.str();
    result.erase(at, text.size());
    return result;
}

ShortString StripTags(const ShortString& text) {
    return StripRuns(text, '<', '>');
}

ShortString StripEntities(const ShortString& text) {
    return StripRuns(text, '&', ';');
}

}  // namespace korvid
