#include "dataset/database_path.h"

#include <cstdlib>
#include <string>

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

std::string DatasetCacheFolder() {
    return XdgFolder("XDG_CACHE_HOME", ".cache") + "korvid/datasets/";
}

}  // namespace korvid::dataset
