#pragma once
// Keeps the importer's film database in step with the file at its path while a program runs:
// before each lookup, Check() compares the file's identity (device, inode, size, modification
// time) with the one last looked at, and opens, reopens or drops the database. So a database
// that another program built, replaced or removed meanwhile answers, or stops answering, at
// the next lookup. When the database fails during a lookup, the site answers instead. The
// database is opened with dataset::OpenFilmDatabase: the caller waits for it no longer than
// the open limit, after which the file counts as unreadable until it changes.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace korvid {

class TIMDBImport;

class FilmDatabaseWatch {
  public:
    enum class Change {
        None,        // the file is as it was last looked at
        Opened,      // a database appeared and answers now
        Reopened,    // the database was replaced and the new one answers now
        Removed,     // the database is gone: the site answers
        Unreadable,  // a file is there but cannot be used: the site answers (Problem())
    };

    // The watch sets the importer's database; the importer must outlive it.
    FilmDatabaseWatch(TIMDBImport& importer, std::string path);

    // Looks at the path and brings the importer's database in step with it. A file that
    // could not be used is not tried again until it changes.
    Change Check();
    // The database stopped answering during a lookup: the site answers until the file
    // changes.
    void GiveUp();
    // Before each lookup: Check(), and why the site answers instead of a database that is
    // there or was there; empty when nothing keeps the database from answering.
    std::string BeforeLookup();

    const std::string& Path() const { return path_; }
    // Why the file last looked at cannot be used; empty when it can.
    const std::string& Problem() const { return problem_; }

  private:
    struct Identity {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t size = 0;
        std::int64_t mtime_ns = 0;
        bool operator==(const Identity&) const = default;
    };

    TIMDBImport& importer_;
    std::string path_;
    std::optional<Identity> seen_;  // the file last looked at, opened or not
    bool open_ = false;             // the importer answers from it
    std::string problem_;
};

// Runs one lookup. When the importer's database fails during it (it does not answer, or turns
// out unreadable), the site answers from then on (the watch, when there is one, gives the file
// up until it changes), the lookup runs again on the site, and note tells why. A failure of
// the site itself is the lookup's own.
bool LookWithFallBack(TIMDBImport& importer, FilmDatabaseWatch* watch,
                      const std::function<bool()>& lookup, std::string& note);

}  // namespace korvid
