#include "shell/film_data_places.h"

#include <cstdlib>

#include "dataset/database_path.h"

namespace korvid {

FilmDataPlaces FilmDataPlaces::FromEnvironment() {
    const char* source = std::getenv("KORVID_DATASETS_URL");
    FilmDataPlaces places;
    places.source = source != nullptr ? source : "";
    // A refused folder is never used: the site answers, and an update cannot start.
    try {
        places.db_path = dataset::DatabasePath("");
    } catch (const dataset::UserFolderError& refused) {
        places.problem = refused.what();
    }
    try {
        places.cache_folder = dataset::DatasetCacheFolder();
    } catch (const dataset::UserFolderError& refused) {
        places.problem = refused.what();
    }
    return places;
}

}  // namespace korvid
