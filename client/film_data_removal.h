#pragma once
// The film data's files, found and removed for the user who wants the disk back: the database
// with SQLite's files beside it, and each data-set copy in the download cache with its record
// and its unfinished part. Only those names are touched, never a folder, and a link is removed
// as a link, never followed. A small note in the cache folder keeps when it was done, so that
// the window can say the film data was removed rather than that there never was any; the next
// update that puts a database in place drops it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvid {

struct FilmDataFile {
    std::string path;
    std::uint64_t bytes = 0;
    bool download = false;  // in the download cache; else the database's
};

// The film data's files that are there (regular files or links; anything else at those names
// is not Korvid's and is left out), the database's first.
std::vector<FilmDataFile> FilmDataFiles(const std::string& db_path,
                                        const std::string& cache_folder);

// The bytes of the files, those of the database or those of the downloads.
std::uint64_t FilmDataBytes(const std::vector<FilmDataFile>& files, bool downloads);

// Removes FilmDataFiles and the unfinished builds of the database no build holds, then notes
// the time in cache_folder (made when missing). Raises UpdateBusy, removing nothing, while an
// update holds the cache; dataset::DatasetError naming the file when one cannot be removed
// (the database's are removed first: the downloads are kept when they fail). Returns what was
// removed.
std::vector<FilmDataFile> RemoveFilmData(const std::string& db_path,
                                         const std::string& cache_folder);

// When RemoveFilmData last ran, "2026-12-08T14:05:00Z", from the note in cache_folder;
// nothing when there is none.
std::optional<std::string> FilmDataRemovedAt(const std::string& cache_folder);

// Drops the note once the film data is there again.
void ForgetFilmDataRemoval(const std::string& cache_folder);

}  // namespace korvid
