#pragma once
// Which entry of a result list is the film a file name speaks of.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvid::cli {

// A result list entry as the importer lists it, "Title (Year)", split in two; the year is
// empty when the entry has none.
struct ListedFilm {
    std::string title;
    std::string year;
};
ListedFilm SplitListEntry(std::string_view entry);

// Two titles are the same when their letters and digits are, ignoring case (a to z and the
// Latin-1 letters): spaces and punctuation do not count, so "Salt & Pepper Diner" is
// "salt pepper diner".
bool SameTitle(std::string_view a, std::string_view b);

// The entry whose title is the same as title (Latin-1) and whose year is year; without a year,
// the one entry with the same title. No entry, or more than one, gives nothing.
std::optional<int> ChooseEntry(const std::vector<std::string>& entries, std::string_view title,
                               std::string_view year);

}  // namespace korvid::cli
