// The importer's lookups on the local film database: a title search lists the matching
// titles as the site's result list did, or reads the one title that equals the search at
// once; an entry's import reads that title. The fields and both documents take the forms a
// film page gives them, so the front ends cannot tell the sources apart but by Source().

#include "client/local_source.h"

#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <utility>

#include "client/IMDBImport.h"
#include "client/film_address.h"
#include "client/film_document.h"
#include "common/latin1.h"

namespace korvid {
namespace {

// The site's names of the kinds of title that are not films.
std::string_view KindName(std::string_view type) {
    static constexpr std::pair<std::string_view, std::string_view> Kinds[] = {
        {"tvSeries", "TV Series"},   {"tvMiniSeries", "TV Mini Series"},
        {"tvMovie", "TV Movie"},     {"video", "Video"},
        {"short", "Short"},          {"videoGame", "Video Game"},
        {"tvSpecial", "TV Special"}, {"tvShort", "TV Short"},
        {"tvPilot", "TV Pilot"},
    };
    for (const auto& [name, shown] : Kinds) {
        if (name == type) {
            return shown;
        }
    }
    return type == "movie" ? std::string_view() : type;
}

}  // namespace

std::shared_ptr<const dataset::FilmDatabase> OpenFilmDatabaseIfPresent(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return nullptr;
    }
    return dataset::OpenFilmDatabase(path);
}

std::string LocalEntryText(const dataset::SearchEntry& entry) {
    std::string title = entry.primary_title;
    if (entry.year) {
        title += " (" + std::to_string(*entry.year) + ")";
    }
    if (const std::string_view kind = KindName(entry.type); !kind.empty()) {
        title += " (" + std::string(kind) + ")";
    }
    return title;
}

std::string LocalEntryTitle(const dataset::SearchEntry& entry) {
    return Utf8ToLatin1(LocalEntryText(entry));
}

std::optional<std::size_t> DirectHit(const std::vector<dataset::SearchEntry>& entries) {
    // An alternative title makes a direct hit only when no primary or original title is exact.
    const auto exact = [](const dataset::SearchEntry& entry) { return entry.exact; };
    const auto exact_alternative = [](const dataset::SearchEntry& entry) {
        return entry.exact_alternative;
    };
    const auto one = [&entries](const auto& is_hit) -> std::optional<std::size_t> {
        if (std::count_if(entries.begin(), entries.end(), is_hit) != 1) {
            return std::nullopt;
        }
        return static_cast<std::size_t>(std::find_if(entries.begin(), entries.end(), is_hit) -
                                        entries.begin());
    };
    if (std::none_of(entries.begin(), entries.end(), exact)) {
        return one(exact_alternative);
    }
    return one(exact);
}

void TIMDBImport::ForgetLocalFilm() {
    local_film_.reset();
    local_texts_ = FilmTexts{};
    local_matched_ = ResultEntryText{};
    local_film_id_.clear();
    local_document_head_.clear();
}

void TIMDBImport::UseFilmDatabase(std::shared_ptr<const dataset::FilmDatabase> database) {
    film_database_ = std::move(database);
}

bool TIMDBImport::SearchFilmDatabase() {
    source_ = LookupSource::Local;
    ForgetLocalFilm();
    ClearMovieData();
    // A new search keeps nothing of the film read before.
    ForgetFilm();
    outcome_ = LookupOutcome::None;
    if (Title.empty()) {
        return false;
    }
    const std::vector<dataset::SearchEntry> entries =
        film_database_->Search(SearchWords(), MaxLocalEntries);
    MovieFound = false;
    if (entries.empty()) {
        outcome_ = LookupOutcome::NoResult;
        return true;
    }
    if (const std::optional<std::size_t> hit = DirectHit(entries)) {
        const std::optional<dataset::FilmRecord> film = film_database_->Film(entries[*hit].tconst);
        if (!film) {
            outcome_ = LookupOutcome::UnknownPage;
            return false;
        }
        outcome_ = LookupOutcome::Film;
        MovieUrl = FilmAddress(Host, film->tconst);
        ReadFilmRecord(*film);
        const dataset::SearchEntry& hit_entry = entries[*hit];
        local_matched_ = {LocalEntryText(hit_entry), hit_entry.matched_title,
                          hit_entry.matched_region};
        return true;
    }
    outcome_ = LookupOutcome::ResultList;
    for (const dataset::SearchEntry& entry : entries) {
        ResultTitles.Add(ShortString(LocalEntryTitle(entry)).str());
        ResultUrls.Add(ShortString(FilmAddress(Host, entry.tconst)).str());
        local_results_.push_back(
            {LocalEntryText(entry), entry.matched_title, entry.matched_region});
    }
    return true;
}

bool TIMDBImport::ImportFromFilmDatabase(std::int32_t index) {
    source_ = LookupSource::Local;
    ForgetLocalFilm();
    MovieFound = false;
    outcome_ = LookupOutcome::None;
    if (index > ResultTitles.Count() - 1) {
        return false;
    }
    // A negative index raises the line list's index error, which the caller handles.
    const ShortString address = ResultUrls[index];
    const std::string tconst = FilmIdOfAddress(address.str());
    const std::optional<dataset::FilmRecord> film =
        tconst.empty() ? std::nullopt : film_database_->Film(tconst);
    if (!film) {
        // The database no longer holds the entry (replaced since the search).
        outcome_ = LookupOutcome::UnknownPage;
        return false;
    }
    outcome_ = LookupOutcome::Film;
    MovieUrl = address;
    ReadFilmRecord(*film);
    if (static_cast<std::size_t>(index) < local_results_.size()) {
        local_matched_ = local_results_[static_cast<std::size_t>(index)];
    }
    return true;
}

void TIMDBImport::ReadFilmRecord(const dataset::FilmRecord& film) {
    StartFilm();
    const auto latin1 = [](const std::string& utf8) { return ShortString(Utf8ToLatin1(utf8)); };
    // The data sets have no cover, tag line or plot: they read as a page whose cover line
    // gives no cover (until one is attached) and whose tag line and plot are empty.
    const FilmTexts texts = LocalFilmTexts(film);
    Title = latin1(texts.title);
    Year = texts.year;
    Director = latin1(texts.director);
    for (const std::string& name : texts.genres) {
        if (GenreSlot < static_cast<std::int32_t>(Genres.size())) {
            Genres[static_cast<std::size_t>(GenreSlot)] = latin1(name);
            ++GenreSlot;
        }
    }
    Genre = Genres[1];
    RunningTime = texts.running_time;
    CastTrueName = latin1(texts.cast_true_name);
    CastName = latin1(texts.cast_name);
    LeadRole = latin1(texts.lead_role);
    Rated = latin1(texts.rated);
    local_texts_ = texts;

    // StartFilm's last XML line opens the film's part; the lines before it are kept for the
    // documents written again when a cover arrives.
    local_document_head_.clear();
    for (int i = 0; i + 1 < XmlLines.Count(); ++i) {
        local_document_head_.emplace_back(XmlLines[i]);
    }
    local_film_ = std::make_shared<const dataset::FilmRecord>(film);
    local_film_id_ = film.tconst;
    WriteLocalDocuments();
}

void TIMDBImport::WriteLocalDocuments() {
    const dataset::FilmRecord& film = *local_film_;
    XmlLines.Clear();
    for (const std::string& line : local_document_head_) {
        XmlLines.Add(line);
    }
    // The data's terms ask for the credit wherever its facts are shown.
    XmlLines.Add(std::string("<!-- ") + dataset::CreditLine + " -->");
    XmlLines.Add("<Movie_Data>");
    CsvLines.Clear();
    CsvLines.Add(CsvHeaderRow);
    CsvRow = "";

    FilmDocument document(XmlLines, CsvRow);
    document.TitleAndYear(Title, Year);
    document.Cover(PosterFile);
    if (!film.director.empty()) {
        document.Director(Director);
    }
    document.OpenGenres();
    for (const std::string& name : film.genres) {
        document.Genre(ShortString(Utf8ToLatin1(name)));
    }
    document.CloseGenres(!film.genres.empty());
    document.AdditionalInfo(TagLine, Plot, Director);
    if (film.minutes) {
        document.RunningTime(RunningTime);
    }
    document.Cast(!film.lead.empty(), CastTrueName, CastName);
    document.Rating(film.rating.empty() ? std::nullopt : std::optional<std::string_view>(Rated));
    document.Close(MovieUrl);
    FinishCsvRow();
}

SuggestedCoverRequest TIMDBImport::LocalCoverRequest() const {
    // The documents name the cover in Latin-1: a title that Latin-1 cannot hold would name
    // it with "?" there, so such a film's cover is named after its title id instead.
    const bool fits_latin1 = Latin1ToUtf8(Title.str()) == local_texts_.title;
    return {.film_id = local_film_id_,
            .title = fits_latin1 ? Title.str() : local_film_id_,
            .app_dir = AppDir.str(),
            .box_height = CoverBoxHeight,
            .base = SuggestBase(),
            .http = http_options_};
}

void TIMDBImport::AttachCover(std::string_view film_id, const ShortString& path) {
    if (!local_film_ || !MovieFound || film_id.empty() || film_id != local_film_id_) {
        return;
    }
    PosterFile = path;
    WriteLocalDocuments();
}

SuggestedCover TIMDBImport::FetchLocalCover() {
    if (local_film_id_.empty()) {
        return {.file = {}, .failure = "no film from the local film data"};
    }
    SuggestedCover cover = FetchSuggestedCover(LocalCoverRequest());
    if (!cover.file.empty()) {
        AttachCover(local_film_id_, cover.file);
    }
    return cover;
}

}  // namespace korvid
