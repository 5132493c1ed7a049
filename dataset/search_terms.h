#pragma once
// The full-text side of a search: the query terms for the search words.
//
// Schema 1: LegacyMatchExpression, for the word index of those databases (unicode61 with
// remove_diacritics 2 over primary_title and original_title, searched with LegacyFold keys).

#include <string>
#include <string_view>

namespace korvid::dataset {

// The full-text query of a schema-1 database for titles that hold every word of the folded
// (LegacyFold) search, in the primary or in the original title; empty when the search has no
// words.
std::string LegacyMatchExpression(std::string_view folded);

}  // namespace korvid::dataset
