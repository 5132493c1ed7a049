#include "dataset/database_path.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/errors.h"

namespace korvid::dataset {
namespace {

// The variable's value, or empty when it is not set.
std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

struct KindNames {
    const char* variable;  // "XDG_DATA_HOME"
    const char* fallback;  // below $HOME: ".local/share"
    const char* korvid;    // Korvid's folder in the base
    const char* what;      // "data", for messages
};

KindNames NamesOf(UserFolderKind kind) {
    switch (kind) {
        case UserFolderKind::Data:
            return {"XDG_DATA_HOME", ".local/share", "korvid", "data"};
        case UserFolderKind::Cache:
            return {"XDG_CACHE_HOME", ".cache", "korvid", "cache"};
        case UserFolderKind::Config:
            return {"XDG_CONFIG_HOME", ".config", "Korvid", "settings"};
        case UserFolderKind::State:
            break;
    }
    return {"XDG_STATE_HOME", ".local/state", "korvid", "state"};
}

bool IsAbsolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

// The path without trailing "/" (the root folder stays "/").
std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

// Raises UserFolderError when the folder is a symbolic link or belongs to neither the user nor
// root; false when nothing is there (or it cannot be looked at), so nothing below it is either.
bool CheckFolder(const std::string& folder, uid_t user) {
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) {
        return false;
    }
    if (S_ISLNK(info.st_mode)) {
        throw UserFolderError("The folder " + folder +
                              " is a symbolic link; Korvid does not follow it");
    }
    if (info.st_uid != user && info.st_uid != 0) {
        throw UserFolderError("The folder " + folder + " belongs to another user (uid " +
                              std::to_string(info.st_uid) +
                              "); Korvid uses only folders of its own user or root");
    }
    return true;
}

}  // namespace

std::string KorvidFolderFrom(UserFolderKind kind, const char* xdg_value, const char* home,
                             uid_t user, const std::string& below) {
    const KindNames names = NamesOf(kind);
    std::string base;
    if (IsAbsolute(xdg_value)) {
        base = WithoutTrailingSlashes(xdg_value);
    } else if (IsAbsolute(home)) {
        base =
            WithoutTrailingSlashes(home) + (std::string(home) == "/" ? "" : "/") + names.fallback;
    } else {
        throw UserFolderError(std::string("Cannot find a folder for Korvid's ") + names.what +
                              ": neither " + names.variable + " nor HOME is an absolute path");
    }
    // The base, Korvid's folder and each folder below it, from the top down.
    std::vector<std::string> chain = {base};
    std::string folder = (base == "/" ? "" : base) + "/" + names.korvid;
    chain.push_back(folder);
    std::size_t start = 0;
    while (start < below.size()) {
        std::size_t slash = below.find('/', start);
        if (slash == std::string::npos) {
            slash = below.size();
        }
        if (slash > start) {
            folder += "/" + below.substr(start, slash - start);
            chain.push_back(folder);
        }
        start = slash + 1;
    }
    for (const std::string& each : chain) {
        if (!CheckFolder(each, user)) {
            break;
        }
    }
    return folder + "/";
}

std::string KorvidFolder(UserFolderKind kind, const std::string& below) {
    return KorvidFolderFrom(kind, std::getenv(NamesOf(kind).variable), std::getenv("HOME"),
                            ::geteuid(), below);
}

std::string DatabasePath(const std::string& db_option) {
    if (!db_option.empty()) {
        return db_option;
    }
    std::string from_env = Env("KORVID_DATASET");
    if (!from_env.empty()) {
        return from_env;
    }
    return KorvidFolder(UserFolderKind::Data) + "films.sqlite";
}

bool DatabaseFilePresent(const std::string& path, struct stat* found) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) {
            return false;
        }
        throw DatasetError(path + ": " + ErrnoText(errno));
    }
    if (S_ISREG(info.st_mode)) {
        if (found != nullptr) {
            *found = info;
        }
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
    return KorvidFolder(UserFolderKind::Cache, "datasets/");
}

std::string StateFolder() {
    return KorvidFolder(UserFolderKind::State);
}

}  // namespace korvid::dataset
