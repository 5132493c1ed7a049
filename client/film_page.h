#pragma once
// Which pages are film pages. The title search answers with a result list, its no-result
// page, or a page it reads as a film; a page of another kind (a sign-in page, a person's
// biography) must not be taken for a film and tagged. The window and korvid-cli both go by
// this one rule, through the importer's lookups.

#include <string_view>

#include "common/line_list.h"

namespace korvid {

// What a lookup reports for such a page.
inline constexpr const char* NotFilmPageCause = "not a film page";

// True when the title line's title text (the whole line when it has no title element)
// carries a year in parentheses: a "(...)" group holding four digits in a row, as in
// "Alien (1979)" or "Dark (TV Series 2017-2020)".
bool TitleLineHasYear(std::string_view title_line);

// True when the page names a film address as its own (its canonical or poster link), was
// read from a film's address (read_from, after redirects: the site answered a search with the
// film's page), or its title line carries a year in parentheses.
bool IsFilmPage(const LineList& page, std::string_view title_line, std::string_view read_from);

}  // namespace korvid
