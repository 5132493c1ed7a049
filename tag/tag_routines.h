#pragma once
// The routines that move a tag between a movie file and the editor's six fields. They keep no
// state and hold no file open between calls: each opens the file by name and closes it again.

#include <string>
#include <string_view>

#include "common/prompts.h"
#include "common/short_string.h"
#include "tag/movie_tag.h"
#include "tag/tag_fields.h"

namespace korvid {

// The replace question asked by ConfirmReplaceTag.
inline constexpr const char* ReplaceTagCaption = "Warning";
inline constexpr const char* ReplaceTagText =
    "This Movie File Has an EKT Tag Attached\r\nDo You Wish to Replace it With This New Tag?";

// Builds the record from the fields' current contents. The genre byte is the number the genre
// box shows when its text is one beyond the list ("27" to "255", as a file's tag put it
// there), else the box's selected index (255 when nothing is selected).
MovieTag BuildTag(const TagFields& fields);

// Puts a record's values into the fields in the order title, director, database identifier,
// year, genre, comment. A genre number of 0 to 26 selects that item; a larger number only
// sets the box's text to the number and leaves its selection alone.
void DecodeTagIntoFields(const MovieTag& tag, const TagFields& fields);

// Before the editor opens with new film data: when the file is tagged, asks whether to replace
// the tag; on Cancel the fields take the old tag's values, on OK they keep theirs. An untagged
// file changes nothing. Raises FileOpenError when the file cannot be opened; the fields are
// then untouched.
void ConfirmReplaceTag(const ShortString& file_name, const TagFields& fields, Prompts& prompts);

// Fills the fields from the file's last 128 bytes, whether or not they are a tag. Raises
// FileOpenError when the file cannot be opened; the fields are then untouched.
void ReadTagIntoFields(const ShortString& file_name, const TagFields& fields);

// Save: builds the record from the fields and writes it to the file (WriteTag). Errors of
// the writer pass through.
TagPlacement SaveTag(const ShortString& movie_file_name, const TagFields& fields);

// The film data the editor is filled from when a file is tagged after a lookup.
struct FilmTagSource {
    std::string title;
    std::string director;
    std::string lead_role;
    std::string movie_url;
    std::string year;
    std::string genre;
};

// The database identifier taken from a film page address: the part from its 12th character
// on (counting from 1), at most 29 characters; empty for a shorter address.
std::string ImdbIdFromMovieUrl(std::string_view movie_url);

// Fills the fields as the editor does from the importer: title, director, comment = lead role,
// database identifier from the address, year, and the genre selected by its name ignoring
// letter case (nothing selected when the name is not in the list).
void FillFieldsFromFilm(const FilmTagSource& film, const TagFields& fields);

}  // namespace korvid
