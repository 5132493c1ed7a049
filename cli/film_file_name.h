#pragma once
// The name scan --rename gives a movie file: a format of the film's fields ("{title}
// ({year})"), made a plain file name that stays in its folder and fits the file systems'
// limit of 255 bytes a name.

#include <cstddef>
#include <string>
#include <string_view>

namespace korvid::cli {

inline constexpr const char* DefaultNameFormat = "{title} ({year})";

// The longest file name, in bytes, that Linux file systems take.
inline constexpr std::size_t MaxNameBytes = 255;

// The fields a format may name.
struct NameFields {
    std::string title;  // the film's title in UTF-8, trimmed
    std::string year;
    std::string id;  // the title id, "tt0211915"
};

// Throws UsageError for a format that names a field other than {title}, {year} and {id},
// holds a brace that opens no field, a "/" or a NUL, or names no field at all.
void CheckNameFormat(std::string_view format);

// The format with its fields filled in, as a file name without its extension: a "/" becomes
// "-" and NUL and the other control characters are left out, so the name never leads into
// another folder; with portable, also the characters Windows file systems refuse: ":" becomes
// " -", "\" and "|" "-", "\"" "'", and "<", ">", "?", "*" are left out. Runs of spaces become
// one, and leading and trailing spaces and dots go (a name never becomes hidden). A field
// without a value takes the brackets around it with it ("Quiet Film ()" is "Quiet Film").
// Empty when nothing is left.
std::string FilmBaseName(std::string_view format, const NameFields& fields, bool portable);

// The base name cut so that it and the longest suffix after it (the extension, or what follows
// the name of a side file) fit in MaxNameBytes: at a UTF-8 character boundary, then without
// the spaces and dots the cut leaves at its end.
std::string FitBaseName(std::string base, std::size_t longest_suffix);

}  // namespace korvid::cli
