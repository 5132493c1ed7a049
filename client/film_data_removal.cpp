#include "client/film_data_removal.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "client/update_lock.h"
#include "common/errors.h"
#include "common/text.h"
#include "dataset/build_file.h"
#include "dataset/film_database.h"
#include "dataset/source_files.h"

namespace korvid {
namespace {

// The note's name in the cache folder.
constexpr const char* RemovalNote = "film-data-removed";

// SQLite's files beside a database (a rollback journal, a write-ahead log and its index).
constexpr const char* DatabaseCompanions[] = {"", "-journal", "-wal", "-shm"};
// A data-set copy's own files in the cache.
constexpr const char* CopyCompanions[] = {"", ".meta", ".part", ".part.meta"};

void AddIfOurs(std::vector<FilmDataFile>& files, const std::string& path, bool download) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !(S_ISREG(info.st_mode) || S_ISLNK(info.st_mode))) {
        return;
    }
    files.push_back({path, S_ISREG(info.st_mode) ? static_cast<std::uint64_t>(info.st_size) : 0,
                     download});
}

bool FolderThere(const std::string& folder) {
    struct stat info {};
    return !folder.empty() && ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string NotePath(const std::string& cache_folder) {
    return WithSlash(cache_folder) + RemovalNote;
}

}  // namespace

std::vector<FilmDataFile> FilmDataFiles(const std::string& db_path,
                                        const std::string& cache_folder) {
    std::vector<FilmDataFile> files;
    if (!db_path.empty()) {
        for (const char* companion : DatabaseCompanions) {
            AddIfOurs(files, db_path + companion, false);
        }
    }
    if (!cache_folder.empty()) {
        for (const dataset::DatasetFile& file : dataset::DatasetFiles) {
            for (const char* companion : CopyCompanions) {
                AddIfOurs(files, WithSlash(cache_folder) + file.name + companion, true);
            }
        }
    }
    return files;
}

std::uint64_t FilmDataBytes(const std::vector<FilmDataFile>& files, bool downloads) {
    std::uint64_t total = 0;
    for (const FilmDataFile& file : files) {
        total += file.download == downloads ? file.bytes : 0;
    }
    return total;
}

std::vector<FilmDataFile> RemoveFilmData(const std::string& db_path,
                                         const std::string& cache_folder) {
    // Held until everything is removed: no update starts on the files meanwhile.
    std::optional<UpdateLock> lock;
    if (FolderThere(cache_folder)) {
        lock.emplace(cache_folder);
    }
    if (!db_path.empty()) {
        dataset::RemoveStaleBuildFiles(db_path);
    }
    std::vector<FilmDataFile> removed;
    for (const FilmDataFile& file : FilmDataFiles(db_path, cache_folder)) {
        if (::unlink(file.path.c_str()) != 0 && errno != ENOENT) {
            throw dataset::DatasetError("cannot remove " + file.path + ": " + ErrnoText(errno));
        }
        removed.push_back(file);
    }
    if (!cache_folder.empty()) {
        // Only a note: the removal stands even when it cannot be written.
        std::error_code error;
        std::filesystem::create_directories(cache_folder, error);
        const std::time_t now = std::time(nullptr);
        std::tm parts{};
        ::gmtime_r(&now, &parts);
        char text[32];
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
        const std::string note = NotePath(cache_folder);
        ::unlink(note.c_str());  // never written through a link put there
        std::ofstream(note) << text << '\n';
    }
    return removed;
}

std::optional<std::string> FilmDataRemovedAt(const std::string& cache_folder) {
    if (cache_folder.empty()) {
        return std::nullopt;
    }
    const std::string note = NotePath(cache_folder);
    struct stat info {};
    if (::lstat(note.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > 64) {
        return std::nullopt;
    }
    std::ifstream in(note);
    std::string date;
    if (!std::getline(in, date) || date.size() != 20 || date.back() != 'Z') {
        return std::nullopt;
    }
    return date;
}

void ForgetFilmDataRemoval(const std::string& cache_folder) {
    if (!cache_folder.empty()) {
        ::unlink(NotePath(cache_folder).c_str());
    }
}

}  // namespace korvid
