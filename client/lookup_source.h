#pragma once
// The two sources a lookup answers from, and what each of them is like: the front ends ask
// these facts instead of telling the sources apart themselves. Which source answers is chosen
// in one place (SearchTitle), and so is the fall-back to the site when the database fails.

namespace korvid {

namespace dataset {
class FilmDatabase;
}  // namespace dataset

// Which source answered the last SearchTitle or ImportResult.
enum class LookupSource {
    Site,   // the site's pages
    Local,  // the local film database
};

struct SourceFacts {
    // As the JSON output names the source: "site" or "local".
    const char* name;
    // The line its terms ask for wherever its data is shown; empty when there is none.
    const char* credit;
    // The status bar's text after a lookup that read a film or a list from it, before the
    // credit line.
    const char* answered;
    // The status bar's text after a search it found nothing for.
    const char* nothing_found;
    // Why an entry of its result list gave no film.
    const char* entry_unreadable;
    // Whether its films have a plot and a tag line.
    bool has_plot_and_tagline;
    // Whether a film's cover is fetched after its fields are shown (from the suggestion
    // service) rather than with the film.
    bool cover_comes_later;
    // Whether lookups one after another wait between them (scan --delay), to spare a site.
    bool paced;
};

const SourceFacts& FactsOf(LookupSource source);

// The source lookups answer from with this database open (none: the site).
LookupSource SourceFor(const dataset::FilmDatabase* database);

}  // namespace korvid
