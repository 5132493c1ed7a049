#pragma once
// The disk the film data takes: the downloaded data-set files kept in the cache, the database
// built from them, and a second database while an update builds the new one beside the old.
// An update asks for room for what it adds (the files not in the cache yet and the new
// database) before it starts, and is refused when the disk lacks it.

#include <cstdint>
#include <functional>
#include <string>

#include "dataset/film_database.h"
#include "dataset/source_files.h"

namespace korvid {

// A database takes about one and a half times the compressed bytes of the files it is built
// from: the titles without episodes with their keys and indexes, the word index over every
// title, and the alternative titles that differ from a title's own make up for the rows left
// out (episodes, most principals, names no kept title refers to).
constexpr std::uint64_t DatabaseEstimate(std::uint64_t file_bytes) {
    return file_bytes / 2 * 3;
}

// The free bytes of a folder's disk, for the user (std::filesystem::space's available).
using FreeSpaceQuery = std::function<std::uint64_t(const std::string& folder)>;

struct DiskNeed {
    std::uint64_t files = 0;      // the data-set files, as they are or as expected
    std::uint64_t downloads = 0;  // what is still to be downloaded into the cache
    std::uint64_t database = 0;   // one database, estimated
    // Everything at once during an update: the files kept in the cache (none when they lie
    // in a folder of the user's), the database and the new one built beside it.
    std::uint64_t All(bool files_in_cache = true) const {
        return (files_in_cache ? files : 0) + 2 * database;
    }
};

// What an update needs. source_folder: the folder the files are read from (their own sizes
// count, nothing is downloaded), empty when they are downloaded into cache_folder (a copy or
// part there counts as had; a missing one by its expected size).
DiskNeed EstimateDiskNeed(const std::string& cache_folder, const std::string& source_folder = "");

// The free bytes for a folder that may not exist yet: those of its nearest existing folder.
// free_space: the query, std::filesystem::space when empty. 0 when it cannot be told.
std::uint64_t FreeBytes(const std::string& folder, const FreeSpaceQuery& free_space = {});

// Whether the two folders (or their nearest existing folders) lie on one disk.
bool SameDisk(const std::string& a, const std::string& b);

// Why the disk lacks room for the update's downloads (in cache_folder) and its new database
// (beside db_path), in one line; empty when there is room. Folders on one disk count once.
std::string DiskShortfall(const DiskNeed& need, const std::string& cache_folder,
                          const std::string& db_path, const FreeSpaceQuery& free_space = {});

// An update refused before it started: DiskShortfall's text.
class NotEnoughDisk : public dataset::DatasetError {
  public:
    using dataset::DatasetError::DatasetError;
};


}  // namespace korvid
