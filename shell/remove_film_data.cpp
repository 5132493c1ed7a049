#include "shell/remove_film_data.h"

#include <string>
#include <vector>

#include "client/film_data_disk.h"
#include "client/film_data_removal.h"
#include "client/number_text.h"
#include "dataset/film_database.h"

namespace korvid {

bool AskAndRemoveFilmData(const FilmDataPlaces& places, Prompts& prompts) {
    const std::vector<FilmDataFile> files = FilmDataFiles(places.db_path, places.cache_folder);
    if (files.empty()) {
        return false;
    }
    const std::string text =
        "Remove the film data from this computer?\n\nThe database " + places.db_path + " (" +
        DiskSizeText(FilmDataBytes(files, false)) + ") and the downloads in " +
        places.cache_folder + " (" + DiskSizeText(FilmDataBytes(files, true)) +
        ") are removed; nothing else is touched. Lookups then ask the site again, and "
        "\"Get the film data\" downloads everything anew.";
    // Gigabytes that take a while to download again are never removed by a stray Enter.
    if (prompts.AskChoice(RemoveQuestionCaption, text, "&Remove", "Keep",
                          DefaultChoice::Second) != PromptAnswer::Ok) {
        return false;
    }
    try {
        RemoveFilmData(places.db_path, places.cache_folder);
    } catch (const dataset::DatasetError& error) {
        prompts.ShowError(std::string("Cannot remove the film data\n") + error.what());
        return false;
    }
    return true;
}

}  // namespace korvid
