#include "client/database_watch.h"

#include <sys/stat.h>

#include <memory>
#include <utility>

#include "client/IMDBImport.h"
#include "dataset/film_database.h"

namespace korvid {

FilmDatabaseWatch::FilmDatabaseWatch(TIMDBImport& importer, std::string path)
    : importer_(importer), path_(std::move(path)) {}

FilmDatabaseWatch::Change FilmDatabaseWatch::Check() {
    struct stat info {};
    if (::stat(path_.c_str(), &info) != 0) {
        seen_.reset();
        problem_.clear();
        if (!open_) {
            return Change::None;
        }
        open_ = false;
        importer_.UseFilmDatabase(nullptr);
        return Change::Removed;
    }
    const Identity identity{static_cast<std::uint64_t>(info.st_dev),
                            static_cast<std::uint64_t>(info.st_ino),
                            static_cast<std::int64_t>(info.st_size),
                            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 +
                                info.st_mtim.tv_nsec};
    if (seen_ == identity) {
        return Change::None;
    }
    seen_ = identity;
    const bool was_open = open_;
    open_ = false;
    importer_.UseFilmDatabase(nullptr);
    // A FIFO or a device is refused unopened by the database itself: opening it could block.
    try {
        importer_.UseFilmDatabase(std::make_shared<const dataset::FilmDatabase>(path_));
    } catch (const dataset::DatasetError& error) {
        problem_ = error.what();
        return Change::Unreadable;
    }
    open_ = true;
    problem_.clear();
    return was_open ? Change::Reopened : Change::Opened;
}

void FilmDatabaseWatch::GiveUp() {
    open_ = false;
    importer_.UseFilmDatabase(nullptr);
    problem_ = "the film database does not answer";
}

}  // namespace korvid
