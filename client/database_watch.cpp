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
    // The open runs on a thread of its own: one that does not end within the open limit
    // leaves the site to answer, and its thread to end by itself.
    try {
        importer_.UseFilmDatabase(dataset::OpenFilmDatabase(path_));
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

std::string FilmDatabaseWatch::BeforeLookup() {
    if (Check() == Change::Removed) {
        return "the film database was removed";
    }
    // A file that is there but cannot be used is told at every lookup the site answers.
    return problem_;
}

bool LookWithFallBack(TIMDBImport& importer, FilmDatabaseWatch* watch,
                      const std::function<bool()>& lookup, std::string& note) {
    const bool local = importer.HasFilmDatabase();
    try {
        return lookup();
    } catch (const dataset::DatasetError& error) {
        // Any failure of the local source: a database that does not answer in time, or one
        // that turned out unreadable. The site has nothing to do with these errors.
        if (!local) {
            throw;
        }
        if (watch != nullptr) {
            watch->GiveUp();
        } else {
            importer.UseFilmDatabase(nullptr);
        }
        note = error.what();
    }
    return lookup();
}

}  // namespace korvid
