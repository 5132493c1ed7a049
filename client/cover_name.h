#pragma once
// The file name a film's cover is saved under, made from the name the film page parser gives
// it (the film's title and ".jpg").

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvid {

// The given name (Latin-1 page text) without control characters (bytes below 20 hex, DEL and
// 80 to 9F hex) and without the blanks around it, in UTF-8, its title part cut at a whole
// character so that the name, ending in ".jpg", takes at most room bytes. Empty, for no cover, when
// no title is left or room cannot hold one byte of it and ".jpg". A name that was already cut and
// lost some of ".jpg" is taken as title only.
std::string CoverFileName(std::string_view given, std::size_t room);

// No cover can fill the user's disk: a picture larger than this is no cover.
inline constexpr std::uint64_t MaxCoverBytes = 32u * 1024u * 1024u;

// True when the name holds no path delimiter and no NUL, so it names a file directly inside
// a folder: a name made from page text could otherwise lead anywhere, or look shorter to the
// system than it was checked.
bool IsPlainFileName(std::string_view name);

// The path of a cover in the program's folder (app_dir, with its trailing "/"): the folder and
// CoverFileName of the given name (the film's title and ".jpg"), within 255 bytes in all.
// Empty, for no cover, when the name is not plain or gives no cover name.
std::string CoverPath(std::string_view app_dir, std::string_view given);

}  // namespace korvid
