#pragma once
// The movie NFO document that media centres read beside a movie file: a UTF-8 XML document
// with the root <movie>, made from a film's texts whole (film_texts.h) for either source.
// korvid-cli's search --nfo and scan --nfo write it; the window can save the same document
// through SaveFileSafely (common/safe_save.h).
//
//   <?xml version="1.0" encoding="UTF-8" standalone="yes"?>
//   <!-- Written by Korvid 1.1.1.0 -->
//   <!-- Information courtesy of IMDb (https://www.imdb.com). Used with permission. -->
//   <movie>
//     <title>Amélie</title>
//     ...
//   </movie>

#include <string>
#include <string_view>

#include "client/film_texts.h"
#include "client/lookup_source.h"

namespace korvid {

// The comment every NFO Korvid writes opens with; a later scan knows its own files by it.
inline constexpr std::string_view NfoWrittenBy = "<!-- Written by Korvid";

// The extension of an NFO file, with its dot.
inline constexpr std::string_view NfoExtension = ".nfo";

// UTF-8 text as XML character data or an attribute value: & < > " ' as their entities, a
// carriage return as "&#13;" (a parser would read it as a line feed), the characters XML 1.0
// does not allow (C0 controls but tab, line feed and carriage return; U+FFFE, U+FFFF) left
// out, and each byte that is not part of valid UTF-8 replaced by U+FFFD, so the document is
// well-formed whatever the text holds.
std::string XmlEscaped(std::string_view text);

// The NFO document of the film. version follows "Written by Korvid" in the first comment
// (empty: none). A film of a source whose terms ask for a credit line carries it as a second
// comment. Each element is written only when the film has its value: the title (trimmed),
// the original title where it differs, the year, the running time in minutes, one genre
// element a genre, the director, the lead as an actor, the rating with its votes, the title
// id (from the film's address), the tag line, the plot and the cover: its address where the
// source named one, else the cover file's path.
std::string NfoDocument(const FilmTexts& film, LookupSource source, std::string_view version);

// Whether a file that begins with head is an NFO Korvid wrote: its first comment, before the
// root element, is Korvid's.
bool IsKorvidNfo(std::string_view head);

// How much of a file IsKorvidNfo needs to see.
inline constexpr std::size_t NfoHeadBytes = 4096;

}  // namespace korvid
