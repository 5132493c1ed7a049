#include "cli/file_name_title.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <ctime>
#include <optional>
#include <vector>

namespace korvid::cli {
namespace {

constexpr int FirstFilmYear = 1888;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), LowerAscii);
    return lower;
}

bool IsFourDigits(std::string_view text) {
    return text.size() == 4 && std::all_of(text.begin(), text.end(), IsDigit);
}

// Words that release names put after the title: resolutions, sources, codecs.
bool IsReleaseWord(std::string_view word) {
    static constexpr std::array<std::string_view, 22> Words = {
        "x264",   "x265",  "h264",   "h265",   "hevc",   "xvid", "divx",  "bluray",
        "brrip",  "bdrip", "dvdrip", "webrip", "web-dl", "hdtv", "hdrip", "remux",
        "dvdscr", "10bit", "aac",    "ac3",    "dts",    "4k"};
    const std::string lower = Lower(word);
    if (std::find(Words.begin(), Words.end(), lower) != Words.end()) {
        return true;
    }
    // 480p, 720p, 1080p, 1080i, 2160p
    return lower.size() >= 4 && lower.size() <= 5 && (lower.back() == 'p' || lower.back() == 'i') &&
           std::all_of(lower.begin(), lower.end() - 1, IsDigit);
}

// Trims spaces and the separators a cut leaves behind ("Title - ", "Title (").
std::string TrimTitle(std::string_view text) {
    constexpr std::string_view Loose = " -([{";
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(Loose);
    if (last == std::string_view::npos || last < first) {
        return {};
    }
    return std::string(text.substr(first, last - first + 1));
}

std::string CollapseSpaces(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c != ' ' || (!out.empty() && out.back() != ' ')) {
            out += c;
        }
    }
    while (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return out;
}

struct YearAt {
    std::size_t start;  // where the cut begins
    std::string year;
};

// The year of the name and where to cut: the last bracketed year, else the last bare one;
// none that would leave no title before it.
std::optional<YearAt> FindYear(std::string_view name, int current_year) {
    std::optional<YearAt> bracketed;
    std::optional<YearAt> bare;
    for (std::size_t i = 0; i + 6 <= name.size(); ++i) {
        const char open = name[i];
        const char close = name[i + 5];
        if (((open == '(' && close == ')') || (open == '[' && close == ']')) &&
            IsFourDigits(name.substr(i + 1, 4)) && !TrimTitle(name.substr(0, i)).empty()) {
            bracketed = YearAt{i, std::string(name.substr(i + 1, 4))};
        }
    }
    if (bracketed) {
        return bracketed;
    }
    std::size_t at = 0;
    while (at < name.size()) {
        const std::size_t end = std::min(name.find(' ', at), name.size());
        const std::string_view word = name.substr(at, end - at);
        if (IsFourDigits(word)) {
            const int year = std::stoi(std::string(word));
            if (year >= FirstFilmYear && year <= current_year &&
                !TrimTitle(name.substr(0, at)).empty()) {
                bare = YearAt{at, std::string(word)};
            }
        }
        at = end + 1;
    }
    return bare;
}

// The name up to its first release word, when a title is left before it.
std::string_view CutAtReleaseWord(std::string_view name) {
    std::size_t at = 0;
    while (at < name.size()) {
        const std::size_t end = std::min(name.find(' ', at), name.size());
        if (IsReleaseWord(name.substr(at, end - at)) && !TrimTitle(name.substr(0, at)).empty()) {
            return name.substr(0, at);
        }
        at = end + 1;
    }
    return name;
}

// "Glass Orchard, The" -> "The Glass Orchard".
std::string MoveArticleToFront(const std::string& title) {
    constexpr std::string_view Suffix = ", the";
    if (title.size() > Suffix.size() &&
        Lower(title.substr(title.size() - Suffix.size())) == Suffix) {
        const std::string article = title.substr(title.size() - 3);
        return article + " " + TrimTitle(title.substr(0, title.size() - Suffix.size()));
    }
    return title;
}

}  // namespace

FileNameTitle ReadFileNameTitle(std::string_view path, int current_year) {
    std::string_view name = path.substr(path.find_last_of('/') + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string_view::npos && dot > 0) {
        name = name.substr(0, dot);
    }
    std::string spaced(name);
    std::replace_if(
        spaced.begin(), spaced.end(), [](char c) { return c == '.' || c == '_'; }, ' ');

    FileNameTitle result;
    std::string_view title = spaced;
    if (const auto year = FindYear(spaced, current_year)) {
        result.year = year->year;
        title = title.substr(0, year->start);
    } else {
        title = CutAtReleaseWord(title);
    }
    result.title = MoveArticleToFront(CollapseSpaces(TrimTitle(title)));
    return result;
}

int CurrentYear() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
}

}  // namespace korvid::cli
