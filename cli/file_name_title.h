#pragma once
// The title and year of a film read from its file name, the way people name their films:
// "The.Glass.Orchard.2004.720p.x264.avi", "Glass Orchard, The (2004).avi", "glass_orchard.mpg".

#include <string>
#include <string_view>

namespace korvid::cli {

struct FileNameTitle {
    std::string title;  // in the file name's own bytes; empty when the name holds none
    std::string year;   // four digits, or empty when the name gives no year
};

// Reads the last part of path: the extension dropped, dots and underscores read as spaces.
// A year in brackets or parentheses, or a four-digit word of 1888 to current_year, is taken as
// the year and cut off with all that follows it (resolution, source and codec words); a
// bracketed year wins over a bare one, and the last one wins among its kind, so a title that
// holds a year ("Death Race 2000 (2008)") keeps it. A year at the very start is part of the
// title. Without a year the name is cut at the first release word (720p, x264, BluRay ...).
// "Title, The" is read as "The Title".
FileNameTitle ReadFileNameTitle(std::string_view path, int current_year);

// The current year from the system clock, in local time.
int CurrentYear();

}  // namespace korvid::cli
