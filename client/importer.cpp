#include <cstdlib>

#include "client/IMDBImport.h"

namespace korvid {

std::string SiteHost() {
    const char* host = std::getenv("KORVID_HOST");
    return host != nullptr && *host != '\0' ? host : DefaultHost;
}

TIMDBImport::TIMDBImport(Prompts& prompts)
    : prompts_(prompts), clock_([] { return std::time(nullptr); }) {
    CsvLines.Add(CsvHeaderRow);
}

TIMDBImport::~TIMDBImport() = default;

void TIMDBImport::ClearMovieData() {
    ResultTitles.Clear();
    PageLines.Clear();
    ResultUrls.Clear();
    ClearFilmFields();
}

void TIMDBImport::ClearFilmFields() {
    Genre = "";
    Director = "";
    Year = "";
    RunningTime = "";
    Rated = "";
    TagLine = "";
    Plot = "";
    PosterFile = "";
}

}  // namespace korvid
