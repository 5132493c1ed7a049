#pragma once
// "Remove the film data" of About Korvid: asks first, naming the files' places and sizes
// ("Remove" and "Keep", Enter meaning "Keep"), then removes the database and the downloads
// (RemoveFilmData, as korvid-cli dataset remove does). A refusal (an update runs) or a file
// that cannot be removed is told in the error box.

#include "common/prompts.h"
#include "shell/film_data_places.h"

namespace korvid {

inline constexpr const char* RemoveQuestionCaption = "Remove the film data";

// True when the film data was removed.
bool AskAndRemoveFilmData(const FilmDataPlaces& places, Prompts& prompts);

}  // namespace korvid
