#pragma once
// A film's address is the address of a film page: a path that begins "/title/tt" and 7 or 8
// digits. The title search may answer with a film page at its own address; the film's
// address then comes from the page, where the page names itself.

#include <string>
#include <string_view>

#include "common/line_list.h"

namespace korvid {

// True when the address is an http or https address whose path is a film page's:
// "/title/tt", 7 or 8 digits, then the end or one of "/", "?", "#".
bool IsFilmAddress(std::string_view address);

// The film's address as the page names it: the href of its canonical link
// (<link rel="canonical" href="...">), else the href of its poster link (<a name="poster"
// href="...">), when that is a film page's address or path. Given as
// "http://" + host + "/title/tt" + digits + "/", the form of a result list's addresses;
// empty when the page names no film page.
std::string FilmAddressFromPage(const LineList& page, std::string_view host);

}  // namespace korvid
