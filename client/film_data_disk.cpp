#include "client/film_data_disk.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "client/number_text.h"
#include "common/text.h"

namespace korvid {
namespace {

namespace fs = std::filesystem;

// The size of a regular file there (not through a link); nothing otherwise.
std::optional<std::uint64_t> RegularFileSize(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

// The folder itself when it exists, else the nearest folder above it that does.
fs::path NearestExisting(const std::string& folder) {
    fs::path path = fs::absolute(fs::path(folder.empty() ? "." : folder)).lexically_normal();
    std::error_code error;
    while (!fs::is_directory(path, error) && path.has_relative_path()) {
        path = path.parent_path();
    }
    return path;
}

std::string Lacking(std::uint64_t needed, const std::string& what, const fs::path& where,
                    std::uint64_t free) {
    return "not enough room on the disk: the update needs about " + DiskSizeText(needed) + " (" +
           what + ") on the disk of " + where.string() + ", where " + DiskSizeText(free) +
           " is free";
}

}  // namespace

DiskNeed EstimateDiskNeed(const std::string& cache_folder, const std::string& source_folder) {
    DiskNeed need;
    for (const dataset::DatasetFile& file : dataset::DatasetFiles) {
        if (!source_folder.empty()) {
            need.files += RegularFileSize(WithSlash(source_folder) + file.name).value_or(0);
            continue;
        }
        const std::string copy = WithSlash(cache_folder) + file.name;
        const std::optional<std::uint64_t> cached = RegularFileSize(copy);
        const std::uint64_t part = RegularFileSize(copy + ".part").value_or(0);
        need.files += cached ? std::max(*cached, file.expected_bytes) : file.expected_bytes;
        if (!cached) {
            need.downloads += file.expected_bytes > part ? file.expected_bytes - part : 0;
        }
    }
    need.database = DatabaseEstimate(need.files);
    return need;
}

std::uint64_t FreeBytes(const std::string& folder, const FreeSpaceQuery& free_space) {
    const fs::path existing = NearestExisting(folder);
    if (free_space) {
        return free_space(existing.string());
    }
    std::error_code error;
    const fs::space_info space = fs::space(existing, error);
    return error ? 0 : static_cast<std::uint64_t>(space.available);
}

bool SameDisk(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(NearestExisting(a).c_str(), &first) == 0 &&
           ::stat(NearestExisting(b).c_str(), &second) == 0 && first.st_dev == second.st_dev;
}

std::string DiskShortfall(const DiskNeed& need, const std::string& cache_folder,
                          const std::string& db_path, const FreeSpaceQuery& free_space) {
    const fs::path db_folder = fs::path(db_path).parent_path();
    const std::string database_folder = db_folder.empty() ? "." : db_folder.string();
    if (need.downloads == 0 || SameDisk(cache_folder, database_folder)) {
        const std::uint64_t needed = need.downloads + need.database;
        const std::uint64_t free = FreeBytes(database_folder, free_space);
        if (free >= needed) {
            return {};
        }
        const std::string what = need.downloads == 0
                                     ? "the database"
                                     : "the downloads " + DiskSizeText(need.downloads) +
                                           ", the database " + DiskSizeText(need.database);
        return Lacking(needed, what, NearestExisting(database_folder), free);
    }
    if (const std::uint64_t free = FreeBytes(cache_folder, free_space); free < need.downloads) {
        return Lacking(need.downloads, "the downloads", NearestExisting(cache_folder), free);
    }
    if (const std::uint64_t free = FreeBytes(database_folder, free_space); free < need.database) {
        return Lacking(need.database, "the database", NearestExisting(database_folder), free);
    }
    return {};
}

}  // namespace korvid
