#pragma once
// Where Korvid keeps its files: the local film database, the downloaded data-set files, the
// window's settings and data, all in Korvid's folders of the user's XDG base folders, found
// here for both programs.

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <string>

#include "dataset/film_database.h"

namespace korvid::dataset {

// A per-user folder that Korvid refuses to use, or cannot find: the message names the folder
// and says why ("The folder /home/u/.local/share/korvid is a symbolic link; Korvid does not
// follow it").
class UserFolderError : public DatasetError {
  public:
    using DatasetError::DatasetError;
};

// The XDG base folders, each with its variable and its default below $HOME.
enum class UserFolderKind {
    Data,    // $XDG_DATA_HOME, ~/.local/share
    Cache,   // $XDG_CACHE_HOME, ~/.cache
    Config,  // $XDG_CONFIG_HOME, ~/.config
    State,   // $XDG_STATE_HOME, ~/.local/state
};

// Korvid's folder of that kind, with a trailing "/": base + "/korvid/" (for Config
// base + "/Korvid/", where the window's settings have always been) + below (a folder path
// inside it, "" or "datasets/"). base is xdg_value when it is an absolute path (a relative
// value is invalid and ignored, as the XDG rules say), else home + the kind's default when home
// is an absolute path. Raises UserFolderError when neither is, and when any of the base, the
// Korvid folder and the folders below it, as far as they exist, is a symbolic link or belongs
// to a user other than `user` and root (looked at with lstat: a link is never followed). Not
// created here.
std::string KorvidFolderFrom(UserFolderKind kind, const char* xdg_value, const char* home,
                             uid_t user, const std::string& below = "");

// KorvidFolderFrom with the process's environment and effective user.
std::string KorvidFolder(UserFolderKind kind, const std::string& below = "");

// The database file: db_option when it is not empty, else $KORVID_DATASET, else
// KorvidFolder(Data) + "films.sqlite" (by default ~/.local/share/korvid/films.sqlite), which
// raises UserFolderError as KorvidFolder does.
std::string DatabasePath(const std::string& db_option);

// Whether a database file is at the path: false when nothing is there, true for a regular file
// (or a link to one). Raises DatasetError for anything else there (a folder, a FIFO, a device,
// a socket: "PATH: a FIFO, not a film database file") and when the path cannot be looked at,
// so that such a thing is never opened, which could block, nor renamed over. With info, the
// file's own details when it is there (stat: a link is followed).
bool DatabaseFilePresent(const std::string& path, struct stat* info = nullptr);

// The folder of the downloaded data-set files, with a trailing "/":
// KorvidFolder(Cache, "datasets/") (by default ~/.cache/korvid/datasets/). Not created here;
// raises UserFolderError as KorvidFolder does.
std::string DatasetCacheFolder();

// Korvid's state folder, KorvidFolder(State) (by default ~/.local/state/korvid/).
std::string StateFolder();

}  // namespace korvid::dataset
