#pragma once
// The local film database as a source of the importer: how its search entries and titles
// read in the site's forms. The importer's lookups on it are in local_source.cpp.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dataset/film_database.h"

namespace korvid {

// The most entries a search on the local film database lists.
inline constexpr std::size_t MaxLocalEntries = 200;

// The film database at the path when a file is there, else nothing (the site answers).
// Raises DatasetError when the file is there but cannot be opened as one, and
// DatabaseNotOpening when it does not open within the open limit (dataset::OpenFilmDatabase).
std::shared_ptr<const dataset::FilmDatabase> OpenFilmDatabaseIfPresent(const std::string& path);

// A search entry as the site's result list read it, in Latin-1: "Title (Year)", with the kind
// added for anything that is not a film: "Alien (1986) (TV Series)".
std::string LocalEntryTitle(const dataset::SearchEntry& entry);

// The entry a search answers with at once, as the site redirected to a film: the one entry
// whose title equals the search words, when no other entry's does.
std::optional<std::size_t> DirectHit(const std::vector<dataset::SearchEntry>& entries);

}  // namespace korvid
