#include "client/lookup_source.h"

#include "dataset/film_database.h"

namespace korvid {
namespace {

constexpr SourceFacts kSiteFacts{
    .name = "site",
    .credit = "",
    .answered = "OK",
    .nothing_found = "No film found",
    .entry_unreadable = "the site's answer is not a page Korvid knows",
    .has_plot_and_tagline = true,
    .cover_comes_later = false,
    .paced = true,
};

constexpr SourceFacts kLocalFacts{
    .name = "local",
    .credit = dataset::CreditLine,
    .answered = "OK - from the local film data. ",
    .nothing_found = "No film found in the local film data",
    .entry_unreadable = "the film database no longer holds this film",
    .has_plot_and_tagline = false,
    .cover_comes_later = true,
    .paced = false,
};

}  // namespace

const SourceFacts& FactsOf(LookupSource source) {
    return source == LookupSource::Local ? kLocalFacts : kSiteFacts;
}

LookupSource SourceFor(const dataset::FilmDatabase* database) {
    return database != nullptr ? LookupSource::Local : LookupSource::Site;
}

}  // namespace korvid
