#include <algorithm>
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
    const std::chrono::milliseconds keep_going_every = http_options_.keep_going_every;
    http_options_ = options;
    http_options_.keep_going_every = keep_going_every;
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
    local_results_.clear();
    PageLines.Clear();
    ResultUrls.Clear();
    ClearFilmFields();
}

void TIMDBImport::ForgetFilm() {
    ClearFilmFields();
    // Nothing of the film read before reaches the next lookup's panel, documents or tag:
    // until a film is read, both documents are as at start-up (the CSV header row alone, no
    // XML) and the address is empty.
    MovieUrl = "";
    LeadRole = "";
    CastTrueName = "";
    CastName = "";
    PosterUrl = "";
    std::fill(Genres.begin(), Genres.end(), ShortString());
    GenreSlot = 0;
    CsvRow = "";
    XmlLines.Clear();
    CsvLines.Clear();
    CsvLines.Add(CsvHeaderRow);
}

void TIMDBImport::ClearFilmFields() {
    Genre = "";
    Director = "";
    Year = "";
    RunningTime = "";
    Rated = "";
    page_votes_.reset();
    TagLine = "";
    Plot = "";
    PosterFile = "";
}

}  // namespace korvid
