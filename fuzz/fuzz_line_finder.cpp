// The line list loader, FindLine, the three extractors and the two strippers, each checked
// against a plain search written here from their contracts.
//
// Input: parameters separated by TAB up to the first NUL byte (the marker for FindLine, its
// start index, the start and end markers of the extractors, the text RemoveText takes out),
// then the page. Without a NUL byte the whole input is the page.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/IMDBImport.h"
#include "common/filter_kernel.h"
#include "common/text.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/all_lines.h"

namespace korvid::fuzz {
namespace {

using test_support::AllLines;

// The markers the page parsers look for.
constexpr std::array<std::string_view, 14> ParserMarkers = {
    "<TITLE>",       "\"poster\"", "Directed by",   "\"ch\">Genre:", "Tagline:",
    "Plot Outline:", "Runtime:",   "Cast overview", "/10</b>",       "<h2>Popular Results",
    "/TITLE",        "COMPANIES",  "<NAMES",        ">IMDB"};

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

// Split at CR LF, CR or LF after cutting at the first NUL; a break at the very end starts
// no further line.
std::vector<std::string> PlainLines(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::vector<std::string> lines;
    std::string line;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
        } else {
            line += c;
            ++i;
        }
    }
    if (!text.empty() && text.back() != '\r' && text.back() != '\n') {
        lines.push_back(line);
    }
    return lines;
}

std::int32_t PlainFindLine(const std::vector<std::string>& lines, std::string_view marker,
                           std::int32_t start) {
    const std::string upper = Upper(marker.substr(0, ShortString::MaxLength));
    if (upper.empty() || start < 0) {
        return -1;
    }
    for (std::size_t i = static_cast<std::size_t>(start); i < lines.size(); ++i) {
        if (Upper(lines[i]).find(upper) != std::string::npos) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

std::optional<std::string> PlainBetween(const std::string& source, const std::string& start,
                                        const std::string& end) {
    if (start.empty() || end.empty()) {
        return std::nullopt;
    }
    const std::size_t a = source.find(start);
    if (a == std::string::npos) {
        return std::nullopt;
    }
    const std::size_t b = source.find(end, a + start.size());
    if (b == std::string::npos) {
        return std::nullopt;
    }
    return source.substr(a + start.size(), b - a - start.size());
}

std::string PlainStrip(std::string text, char open, char close) {
    for (;;) {
        const std::size_t a = text.find(open);
        const std::size_t b = a == std::string::npos ? a : text.find(close, a + 1);
        if (b == std::string::npos) {
            return text;
        }
        text.erase(a, b - a + 1);
    }
}

std::string Cut(std::string_view text) {
    return std::string(text.substr(0, ShortString::MaxLength));
}

void CheckFindLine(TIMDBImport& import, const std::vector<std::string>& lines,
                   std::string_view marker, std::int32_t start, std::string_view what) {
    const std::int32_t expected = PlainFindLine(lines, marker, start);
    for (const FilterKernel kernel : {FilterKernel::Best, FilterKernel::Portable}) {
        SetFilterKernel(kernel);
        for (const bool plain : {false, true}) {
            import.UsePlainLineSearch(plain);
            import.FindLine(ShortString(marker), start);
            Check(import.LineIndex == expected, what, marker);
        }
    }
    SetFilterKernel(FilterKernel::Best);
    import.UsePlainLineSearch(false);
}

void CheckExtractors(const TIMDBImport& import, const std::string& source, const std::string& start,
                     const std::string& end, const std::string& remove) {
    const std::optional<std::string> between = PlainBetween(source, start, end);
    Check(import.ExtractBetween(source, start, end) == between.value_or(""), "ExtractBetween",
          source);

    std::string link = between.value_or("");
    if (const std::size_t close = link.find('>'); close != std::string::npos) {
        link.erase(0, close + 1);
    }
    Check(import.ExtractLinkText(source, start, end) == link, "ExtractLinkText", source);

    std::string removed = source;
    if (const std::size_t at = remove.empty() ? std::string::npos : source.find(remove);
        at != std::string::npos) {
        removed.erase(at, remove.size());
    }
    Check(import.RemoveText(source, remove) == removed, "RemoveText", source);

    const ShortString tags = StripTags(source);
    Check(tags == PlainStrip(source, '<', '>'), "StripTags", source);
    const std::size_t open = tags.str().find('<');
    Check(open == std::string::npos || tags.str().find('>', open) == std::string::npos,
          "StripTags leaves no <...> run", tags.str());
    Check(StripEntities(source) == PlainStrip(source, '&', ';'), "StripEntities", source);
}

}  // namespace
}  // namespace korvid::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvid;
    using namespace korvid::fuzz;
    const std::string_view input = AsText(data, size);
    const std::size_t nul = input.find('\0');
    std::vector<std::string_view> params;
    std::string_view page = input;
    if (nul != std::string_view::npos) {
        params = Split(input.substr(0, nul), "\t");
        page = input.substr(nul + 1);
    }
    params.resize(5);
    const std::string marker = Cut(params[0]);
    const std::int32_t start = SmallNumber(params[1], 0);
    const std::string start_marker = Cut(params[2]);
    const std::string end_marker = Cut(params[3]);
    const std::string remove = Cut(params[4]);

    test_support::ScriptedPrompts prompts;
    TIMDBImport import(prompts);

    // The loader against the plain split.
    import.PageLines.SetText(page);
    const std::vector<std::string> lines = PlainLines(page);
    Check(import.PageLines.Count() == static_cast<int>(lines.size()), "line count");
    Check(AllLines(import.PageLines) == lines, "lines");
    for (int i = 0; i < import.PageLines.Count(); ++i) {
        Check(std::string(import.PageLines[i]) == lines[static_cast<std::size_t>(i)],
              "line by index");
    }

    // FindLine: the given marker and start, then the parsers' markers from line 0 and from
    // the given start.
    CheckFindLine(import, lines, marker, start, "FindLine");
    for (const std::string_view parser_marker : ParserMarkers) {
        CheckFindLine(import, lines, parser_marker, 0, "FindLine from 0");
        CheckFindLine(import, lines, parser_marker, start, "FindLine from start");
    }

    // Lines added whole may hold line breaks; a marker must still lie inside one line.
    TIMDBImport added(prompts);
    std::vector<std::string> added_lines;
    for (const std::string_view param : params) {
        added.PageLines.Add(param);
        added_lines.emplace_back(param);
    }
    for (std::size_t i = 0; i < lines.size() && i < 8; ++i) {
        added.PageLines.Add(lines[i]);
        added_lines.push_back(lines[i]);
    }
    Check(AllLines(added.PageLines) == added_lines, "added lines");
    CheckFindLine(added, added_lines, marker, start, "FindLine on added lines");
    CheckFindLine(added, added_lines, remove, 0, "FindLine on added lines, second marker");

    // The extractors and strippers on the first lines of the page and on the parameters.
    for (std::size_t i = 0; i < lines.size() && i < 16; ++i) {
        CheckExtractors(import, Cut(lines[i]), start_marker, end_marker, remove);
    }
    CheckExtractors(import, marker, start_marker, end_marker, remove);
    return 0;
}
