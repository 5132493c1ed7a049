#include "cli/title_match.h"

#include <algorithm>

namespace korvid::cli {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The letters and digits of a Latin-1 text, folded to lower case.
std::string TitleKey(std::string_view text) {
    std::string key;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || IsDigit(c) || (byte >= 0xDF && byte != 0xF7)) {
            key += c;
        } else if ((byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7)) {
            key += static_cast<char>(byte + 0x20);
        }
    }
    return key;
}

}  // namespace

ListedFilm SplitListEntry(std::string_view entry) {
    // "Title (2003)"; the site may add a roman numeral after the year, "(2003/I)", and the
    // kind of a title that is not a film after that: "(2003) (TV Series)".
    if (const std::size_t kind = entry.rfind(" (");
        kind != std::string_view::npos && entry.ends_with(')') &&
        std::none_of(entry.begin() + kind, entry.end(), IsDigit)) {
        const ListedFilm film = SplitListEntry(entry.substr(0, kind));
        if (!film.year.empty()) {
            return film;
        }
    }
    const std::size_t open = entry.rfind('(');
    if (open != std::string_view::npos && open + 5 < entry.size() &&
        std::all_of(entry.begin() + open + 1, entry.begin() + open + 5, IsDigit) &&
        (entry[open + 5] == ')' || entry[open + 5] == '/')) {
        std::string_view title = entry.substr(0, open);
        while (!title.empty() && title.back() == ' ') {
            title.remove_suffix(1);
        }
        return {std::string(title), std::string(entry.substr(open + 1, 4))};
    }
    return {std::string(entry), {}};
}

bool SameTitle(std::string_view a, std::string_view b) {
    const std::string key = TitleKey(a);
    return !key.empty() && key == TitleKey(b);
}

std::optional<int> ChooseEntry(const std::vector<std::string>& entries, std::string_view title,
                               std::string_view year) {
    std::optional<int> chosen;
    int matches = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ListedFilm film = SplitListEntry(entries[i]);
        if (SameTitle(film.title, title) && (year.empty() || film.year == year)) {
            chosen = static_cast<int>(i);
            ++matches;
        }
    }
    return matches == 1 ? chosen : std::nullopt;
}

}  // namespace korvid::cli
