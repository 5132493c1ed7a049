#pragma once
// The search key of a title or of search words in the databases of schema 1: letter case and
// accents folded away ("Zoë's ÉTÉ" and "zoe's ete" give the same key), runs of white space
// made one space, and the ends trimmed. Used for the exact-title matches of a search. Those
// databases were built with it, so they are searched with it as long as they are in use.

#include <string>
#include <string_view>

namespace korvid::dataset {

std::string LegacyFold(std::string_view utf8);

}  // namespace korvid::dataset
