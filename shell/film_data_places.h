#pragma once
// Where the window's film data lives and comes from, as korvid-cli finds them.

#include <string>

namespace korvid {

struct FilmDataPlaces {
    std::string db_path;       // DatabasePath(""); empty when its folder is refused
    std::string cache_folder;  // DatasetCacheFolder(); empty when it is refused
    // KORVID_DATASETS_URL (a base address or a folder, as --from), else empty: the site's
    // official address.
    std::string source;
    // Why a folder above is empty (dataset::UserFolderError's message), else empty.
    std::string problem = {};

    static FilmDataPlaces FromEnvironment();
};

}  // namespace korvid
