#include "dataset/database_path.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "common/errors.h"
#include "dataset/film_database.h"

namespace korvid::dataset {
namespace {

// The variable's value, or empty when it is not set.
std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// $xdg_variable, or $HOME/fallback when it is empty or not set (relative when HOME is not
// set either, as there is nothing better to go on).
std::string XdgFolder(const char* xdg_variable, const char* fallback) {
    std::string folder = Env(xdg_variable);
    if (folder.empty()) {
        const std::string home = Env("HOME");
        folder = home.empty() ? fallback : home + "/" + fallback;
    }
    if (folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

}  // namespace

std::string DatabasePath(const std::string& db_option) {
    if (!db_option.empty()) {
        return db_option;
    }
    std::string from_env = Env("KORVID_DATASET");
    if (!from_env.empty()) {
        return from_env;
    }
    return XdgFolder("XDG_DATA_HOME", ".local/share") + "korvid/films.sqlite";
}

bool DatabaseFilePresent(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) {
            return false;
        }
        throw DatasetError(path + ": " + ErrnoText(errno));
    }
    if (S_ISREG(info.st_mode)) {
        return true;
    }
    const char* kind = S_ISDIR(info.st_mode)                              ? "a folder"
                       : S_ISFIFO(info.st_mode)                           ? "a FIFO"
                       : S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)   ? "a device"
                       : S_ISSOCK(info.st_mode)                           ? "a socket"
                                                                          : "a special file";
    throw DatasetError(path + ": " + kind + ", not a film database file");
}

std::string DatasetCacheFolder() {
    return XdgFolder("XDG_CACHE_HOME", ".cache") + "korvid/datasets/";
}

}  // namespace korvid::dataset
