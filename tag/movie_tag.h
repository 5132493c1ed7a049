#pragma once
// The EKT tag: a fixed record of 128 bytes at the very end of a movie file. It carries six
// fields: five texts of fixed width (space padded, no length byte, no terminator) and one
// genre number. A file counts as tagged when its last 128 bytes begin with "TAG", so an ID3v1
// tag (same marker, same size) counts too and is overwritten in place.
//
// Only the last 128 bytes of a file are ever read or written; the movie data in front of the
// tag is never touched.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/short_string.h"

namespace korvid {

// Offsets and widths of the record's fields, in record order.
namespace tag_layout {
inline constexpr std::size_t MarkerOffset = 0;
inline constexpr std::size_t MarkerWidth = 3;
inline constexpr std::size_t TitleOffset = MarkerOffset + MarkerWidth;
inline constexpr std::size_t TitleWidth = 30;
inline constexpr std::size_t DirectorOffset = TitleOffset + TitleWidth;
inline constexpr std::size_t DirectorWidth = 30;
inline constexpr std::size_t CommentOffset = DirectorOffset + DirectorWidth;
inline constexpr std::size_t CommentWidth = 30;
inline constexpr std::size_t ImdbOffset = CommentOffset + CommentWidth;
inline constexpr std::size_t ImdbWidth = 30;
inline constexpr std::size_t YearOffset = ImdbOffset + ImdbWidth;
inline constexpr std::size_t YearWidth = 4;
inline constexpr std::size_t GenreOffset = YearOffset + YearWidth;
inline constexpr std::size_t GenreWidth = 1;
inline constexpr std::size_t RecordSize = GenreOffset + GenreWidth;

static_assert(MarkerWidth + TitleWidth + DirectorWidth + CommentWidth + ImdbWidth + YearWidth +
                      GenreWidth ==
                  128,
              "the fields of the tag must fill exactly 128 bytes");
static_assert(RecordSize == 128);
}  // namespace tag_layout

inline constexpr std::string_view TagMarker = "TAG";
// The genre number stored when no genre is chosen (the index -1 in eight bits).
inline constexpr std::uint8_t NoGenre = 255;

// The fixed genre list of the tag editor. The position of a name is the genre number stored
// in the tag; the order is not alphabetical and must never change.
inline constexpr std::array<std::string_view, 27> GenreNames = {
    "Action", "Adventure", "Animation", "Biography", "Comedy",     "Crime",   "Documentary",
    "Drama",  "Family",    "Fantasy",   "Film-Noir", "Game-Show",  "History", "Horror",
    "Music",  "Musical",   "Mystery",   "News",      "Reality-TV", "Romance", "Sci-Fi",
    "Short",  "Sport",     "Talk-Show", "Thriller",  "War",        "Western"};

// The index of the genre whose name equals text, ignoring the case of the letters a to z
// (other bytes compare unchanged); the first match from the start of the list, or -1.
int FindGenre(std::string_view text);

// What the genre box shows for a stored number: the genre's name for 0 to 26, otherwise the
// number in decimal without leading zeros ("27" to "255").
std::string GenreDisplayText(std::uint8_t number);

// The six values of a tag as texts and a genre index (-1 for none).
struct MovieTagValues {
    std::string title;
    std::string director;
    std::string comment;
    std::string imdb;
    std::string year;
    int genre_index = -1;
};

class MovieTag {
  public:
    static constexpr std::size_t Size = tag_layout::RecordSize;
    using Bytes = std::array<char, Size>;

    // 128 spaces: what the readers start from before reading a file.
    MovieTag();
    explicit MovieTag(const Bytes& bytes) : bytes_(bytes) {}
    // The first 128 bytes of raw (the rest of the record stays spaces when raw is shorter).
    static MovieTag FromBytes(std::string_view raw);

    // Builds the record: "TAG", each text cut to its field's width and padded with spaces,
    // and the low eight bits of the genre index (so -1 becomes 255).
    static MovieTag Render(const MovieTagValues& values);

    const Bytes& bytes() const { return bytes_; }
    std::string_view View() const { return {bytes_.data(), bytes_.size()}; }

    // True when the record begins with the bytes "TAG", compared exactly.
    bool HasMarker() const;

    // The decoded texts: the field's bytes up to the first zero byte, with every leading and
    // trailing byte of value 20 hex or less removed.
    std::string Title() const;
    std::string Director() const;
    std::string Comment() const;
    std::string Imdb() const;
    std::string Year() const;
    // Any value 0 to 255; only 0 to 26 name a genre.
    std::uint8_t GenreNumber() const;

    bool operator==(const MovieTag&) const = default;

  private:
    std::string DecodeText(std::size_t offset, std::size_t width) const;
    void PutText(std::size_t offset, std::size_t width, std::string_view text);

    Bytes bytes_;
};

// How WriteTag placed the record.
enum class TagPlacement { Appended, Replaced };

// Reads the last 128 bytes of a file into a record that starts as 128 spaces. A file shorter
// than 128 bytes lands at the start of the record; an empty file gives 128 spaces. Raises
// FileOpenError ("Cannot open file %s") when the file cannot be opened or is not a regular
// file; a failed read is not an error (the rest keeps its spaces).
MovieTag ReadLastTagBytes(const ShortString& file_name);

// Whether WriteTag writes through a symbolic link at the file's name.
enum class TagLinks { Follow, Refuse };

// Writes the record at the end of an existing file: over the last 128 bytes when they begin
// with "TAG", otherwise appended (with O_APPEND, so it lands whole at the end). The file is
// never created. Raises IoError on any failure (the system's code for open, size and
// positioning, 100 for a short read, 101 for a short write, 102 "the file changed while it
// was tagged" when another program changed its size meanwhile); a file shorter than 128
// bytes cannot be tagged. The file is closed on every path,
// and a write that fails midway is undone as far as the system allows, so the movie data and
// an existing tag are left as they were.
// With TagLinks::Refuse a symbolic link at the name is not written through (IoError with
// the code of ELOOP): a scan tags only the files it found, never what a link leads to.
TagPlacement WriteTag(const MovieTag& tag, const ShortString& file_name,
                      TagLinks links = TagLinks::Follow);

}  // namespace korvid
