#pragma once
// Where the local film database and the downloaded data-set files live.

#include <string>

namespace korvid::dataset {

// The database file: db_option when it is not empty, else $KORVID_DATASET, else
// $XDG_DATA_HOME/korvid/films.sqlite (by default ~/.local/share/korvid/films.sqlite).
std::string DatabasePath(const std::string& db_option);

// Whether a database file is at the path: false when nothing is there, true for a regular file
// (or a link to one). Raises DatasetError for anything else there (a folder, a FIFO, a device,
// a socket: "PATH: a FIFO, not a film database file") and when the path cannot be looked at,
// so that such a thing is never opened, which could block, nor renamed over.
bool DatabaseFilePresent(const std::string& path);

// The folder of the downloaded data-set files, with a trailing "/":
// $XDG_CACHE_HOME/korvid/datasets/ (by default ~/.cache/korvid/datasets/). Not created here.
std::string DatasetCacheFolder();

}  // namespace korvid::dataset
