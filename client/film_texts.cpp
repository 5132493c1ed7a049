#include "client/film_texts.h"

#include "client/IMDBImport.h"
#include "common/latin1.h"
#include "dataset/film_database.h"

namespace korvid {

FilmTexts LocalFilmTexts(const dataset::FilmRecord& film) {
    FilmTexts texts;
    // A film page's title holds the space that stood before its year.
    texts.title = film.primary_title + (film.year ? " " : "");
    if (film.original_title != film.primary_title) {
        texts.original_title = film.original_title;
    }
    texts.year = film.year ? std::to_string(*film.year) : "";
    texts.director = film.director;
    texts.genres = film.genres;
    texts.genre = film.genres.empty() ? "" : film.genres.front();
    if (film.minutes) {
        texts.running_time = std::to_string(*film.minutes) + " min";
    }
    if (!film.lead.empty()) {
        texts.cast_true_name = film.lead;
        texts.cast_name = film.lead_character;
        texts.lead_role =
            film.lead_character.empty() ? film.lead : film.lead + " as " + film.lead_character;
    }
    if (!film.rating.empty()) {
        texts.rated = film.rating + "/10";
        texts.votes = film.votes;
    }
    return texts;
}

std::string ShownEntry(const ResultEntryText& entry) {
    if (entry.matched_title.empty()) {
        return entry.title;
    }
    std::string shown = entry.title + " \u2014 " + entry.matched_title;
    if (!entry.matched_region.empty()) {
        shown += " (" + entry.matched_region + ")";
    }
    return shown;
}

void TIMDBImport::SetTypedTitle(const std::string& utf8) {
    typed_title_ = ComposeTyped(utf8);
    Title = Utf8ToLatin1(typed_title_);
}

std::string TIMDBImport::SearchWords() const {
    if (!typed_title_.empty() && ShortString(Utf8ToLatin1(typed_title_)) == Title) {
        return typed_title_;
    }
    return Latin1ToUtf8(Title.str());
}

FilmTexts TIMDBImport::Texts() const {
    FilmTexts texts;
    if (local_film_) {
        texts = local_texts_;
    } else if (MovieFound) {
        const auto utf8 = [](const ShortString& field) { return Latin1ToUtf8(field.str()); };
        texts.title = utf8(Title);
        texts.year = utf8(Year);
        texts.director = utf8(Director);
        texts.lead_role = utf8(LeadRole);
        texts.cast_true_name = utf8(CastTrueName);
        texts.cast_name = utf8(CastName);
        texts.rated = utf8(Rated);
        texts.genre = utf8(Genre);
        for (std::int32_t slot = 1; slot < GenreSlot && slot < 11; ++slot) {
            texts.genres.push_back(utf8(Genres[static_cast<std::size_t>(slot)]));
        }
        texts.running_time = utf8(RunningTime);
        texts.tagline = utf8(TagLine);
        texts.plot = utf8(Plot);
        texts.votes = page_votes_;
        texts.cover_address = utf8(PosterUrl);
    } else {
        return texts;
    }
    // The cover's name is made in UTF-8 already (the file system's names).
    texts.cover = PosterFile.str();
    texts.address = Latin1ToUtf8(MovieUrl.str());
    return texts;
}

ResultEntryText TIMDBImport::ResultText(std::int32_t index) const {
    if (index < 0 || index >= ResultTitles.Count()) {
        return {};
    }
    if (static_cast<std::size_t>(index) < local_results_.size()) {
        return local_results_[static_cast<std::size_t>(index)];
    }
    return {Latin1ToUtf8(ResultTitles[index]), {}, {}};
}

}  // namespace korvid
