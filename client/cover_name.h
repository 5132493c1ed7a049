#pragma once
// The file name a film's cover is saved under, made from the name the film page parser gives
// it (the film's title and ".jpg").

#include <cstddef>
#include <string>
#include <string_view>

namespace korvid {

// The given name (Latin-1 page text) without control characters (bytes below 20 hex, DEL and
// 80 to 9F hex) and without the blanks around it, in UTF-8, its title part cut at a whole
// character so that the name, ending in ".jpg", takes at most room bytes. Empty, for no cover, when
// no title is left or room cannot hold one byte of it and ".jpg". A name that was already cut and
// lost some of ".jpg" is taken as title only.
std::string CoverFileName(std::string_view given, std::size_t room);

}  // namespace korvid
