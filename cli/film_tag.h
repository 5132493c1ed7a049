#pragma once
// Writing a film found on the site into a file's tag, shared by tag --search and scan.

#include <string>

#include "common/errors.h"
#include "tag/movie_tag.h"

namespace korvid {
class TIMDBImport;
}

namespace korvid::cli {

// The film the importer holds, as the tag editor fills its six fields from it.
MovieTagValues ValuesOfFilm(const TIMDBImport& importer);

// The message for a tag that could not be written to file: the error's text, and for a file
// too short to hold a tag, its length.
std::string TagWriteFailure(const std::string& file, const IoError& error);

}  // namespace korvid::cli
