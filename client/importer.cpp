#include <cstdlib>

#include "client/IMDBImport.h"

namespace korvid {

std::string SiteHost() {
    const char* host = std::getenv("KORVID_HOST");
    return host != nullptr && *host != '\0' ? host : DefaultHost;
}

TIMDBImport::TIMDBImport(Prompts& prompts)
    : prompts_(&prompts), clock_([] { return std::time(nullptr); }) {
    CsvLines.Add(CsvHeaderRow);
    SetHttpOptions({});
}

void TIMDBImport::SetHttpOptions(const HttpOptions& options) {
    http_options_ = options;
    // Once the callback has cancelled a download, the lookup's later downloads (its cover)
    // end at once too; SearchTitle and ImportResult start without the mark.
    http_options_.keep_going = [this] {
        if (!download_cancelled_ && keep_going_ && !keep_going_()) {
            download_cancelled_ = true;
        }
        return !download_cancelled_;
    };
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
