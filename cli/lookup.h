#pragma once
// The one lookup of korvid-cli, shared by search, tag --search and scan: the title search on
// the local film database or the site and, when it answers with a list and an entry was
// picked, that entry's import.

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "cli/commands.h"
#include "client/IMDBImport.h"

namespace korvid::cli {

enum class LookupEnd {
    Film,    // the importer holds a film
    List,    // the site answered with a list and no entry was picked
    Failed,  // reported on err; exit_code says how
};

struct LookupResult {
    LookupEnd end = LookupEnd::Failed;
    int exit_code = 0;
};

// The film database lookups answer from, or nothing for the site: with --source local the
// database at the path (--db, else KORVID_DATASET, else the default), which must be there;
// with --source site nothing; by default the site when --host was given (without --db),
// else the database when one is at the path (KORVID_HOST alone keeps that rule). Raises
// DatasetError naming the cause when the database cannot be opened.
std::shared_ptr<const dataset::FilmDatabase> OpenFilmSource(const SiteOptions& site);

// After an answer from a source whose terms ask for a credit line: that line, on err.
void CreditSource(LookupSource source, std::ostream& err);

// Sets up the importer from the options (host, work folder, the title in Latin-1) and looks
// the title up. A pick outside the list is a UsageError; a download that fails, a page that
// is not one Korvid reads and a search without result are reported on err.
LookupResult LookUp(TIMDBImport& importer, const std::string& title, std::optional<int> pick,
                    const SiteOptions& site, std::ostream& err);

// After a lookup that ended with a list: reads entry index (within the list) into the
// importer. A download that fails and a page without a film are reported on err.
LookupResult ImportEntry(TIMDBImport& importer, int index, std::ostream& err);

}  // namespace korvid::cli
