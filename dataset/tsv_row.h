#pragma once
// One row of each data-set file, parsed in place: the line is split on tabs only (fields are
// never quoted), "\N" is a missing value, and a row that does not have the file's columns in
// their forms is malformed (nothing is returned). A number in its form but outside what the
// files can hold is dropped and the row marked. The parsed rows point into the line.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvid::dataset {

// The ranges of the numbers the files can hold.
inline constexpr int kFirstYear = 1870;
inline constexpr int kLastYear = 2100;
inline constexpr int kMinutesLimit = 100'000;  // a running time is under it

// The header lines the files start with.
inline constexpr std::string_view kBasicsHeader =
    "tconst\ttitleType\tprimaryTitle\toriginalTitle\tisAdult\tstartYear\tendYear\t"
    "runtimeMinutes\tgenres";
inline constexpr std::string_view kRatingsHeader = "tconst\taverageRating\tnumVotes";
inline constexpr std::string_view kCrewHeader = "tconst\tdirectors\twriters";
inline constexpr std::string_view kPrincipalsHeader =
    "tconst\tordering\tnconst\tcategory\tjob\tcharacters";
inline constexpr std::string_view kNamesHeader =
    "nconst\tprimaryName\tbirthYear\tdeathYear\tprimaryProfession\tknownForTitles";
inline constexpr std::string_view kAkasHeader =
    "titleId\tordering\ttitle\tregion\tlanguage\ttypes\tattributes\tisOriginalTitle";

// The numeric key of an identifier: the prefix ("tt" or "nm") and 7 or 8 digits. A 7-digit
// id keeps its value, an 8-digit one gets kEightDigitBase added, so the key is unique and
// the text can be written back exactly (IdText).
inline constexpr std::uint32_t kEightDigitBase = 10'000'000;
inline constexpr std::uint32_t kIdKeyLimit = kEightDigitBase + 100'000'000;
std::optional<std::uint32_t> IdKey(std::string_view id, std::string_view prefix);
std::string IdText(std::string_view prefix, std::uint32_t key);

// A field that is "\N" is missing.
inline bool IsMissing(std::string_view field) {
    return field == "\\N";
}

// A line without its line end ("\r" of a CRLF file included).
std::string_view TrimLineEnd(std::string_view line);

struct BasicsRow {
    std::string_view tconst;
    std::uint32_t key = 0;
    std::string_view type;            // empty when missing
    std::string_view primary_title;   // never empty
    std::string_view original_title;  // the primary title when missing
    std::optional<int> year;     // 1870 to 2100
    std::optional<int> minutes;  // under 100,000
    std::string_view genres;  // comma-joined; empty when missing
    bool out_of_range = false;  // a year or running time outside those ranges was dropped
};
std::optional<BasicsRow> ParseBasicsRow(std::string_view line);

struct RatingsRow {
    std::string_view tconst;
    std::uint32_t key = 0;
    std::string_view rating;  // "8.5", from 1 to 10, at most 4 characters; empty when missing
    std::int64_t votes = 0;   // 0 when missing
    bool out_of_range = false;  // a rating outside 1 to 10 was dropped
};
std::optional<RatingsRow> ParseRatingsRow(std::string_view line);

struct CrewRow {
    std::string_view tconst;
    std::uint32_t key = 0;
    std::string_view first_director;  // empty when there is none
    std::uint32_t director_key = 0;
};
std::optional<CrewRow> ParseCrewRow(std::string_view line);

struct PrincipalsRow {
    std::string_view tconst;
    std::uint32_t key = 0;
    int ordering = 0;
    std::string_view nconst;
    std::uint32_t name_key = 0;
    std::string_view category;    // empty when missing
    std::string_view characters;  // the JSON array as written; empty when missing
};
std::optional<PrincipalsRow> ParsePrincipalsRow(std::string_view line);

// An actor, actress or self: the categories a lead is chosen from.
bool IsLeadCategory(std::string_view category);

// The first entry of a characters JSON array (["Neo","Thomas"] -> Neo), its escapes decoded to
// UTF-8; empty for an empty array or no characters; nothing when the text is not an array of
// strings.
std::optional<std::string> FirstCharacter(std::string_view characters);

struct NamesRow {
    std::string_view nconst;
    std::uint32_t key = 0;
    std::string_view name;  // empty when missing
};
std::optional<NamesRow> ParseNamesRow(std::string_view line);

// One of a title's other titles (a country's, a language's, a script's). The types and
// attributes are not kept: types may hold several values joined by the byte 0x02, and new
// values may appear, so they are only checked to be there.
struct AkasRow {
    std::string_view tconst;
    std::uint32_t key = 0;
    std::string_view title;     // never empty
    std::string_view region;    // "RU", "JP", ...; empty when missing
    std::string_view language;  // "ru", "ja", ...; empty when missing
};
std::optional<AkasRow> ParseAkasRow(std::string_view line);

}  // namespace korvid::dataset
