#pragma once
// The one lookup of korvid-cli, shared by search and tag --search: the title search on the
// site and, when it answers with a list and an entry was picked, that entry's import.

#include <iosfwd>
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

// Sets up the importer from the options (host, work folder, the title in Latin-1) and looks
// the title up. A pick outside the list is a UsageError; a download that fails, a page that
// is not one Korvid reads and a search without result are reported on err.
LookupResult LookUp(TIMDBImport& importer, const std::string& title, std::optional<int> pick,
                    const SiteOptions& site, std::ostream& err);

// After a lookup that ended with a list: reads entry index (within the list) into the
// importer. A download that fails and a page without a film are reported on err.
LookupResult ImportEntry(TIMDBImport& importer, int index, std::ostream& err);

}  // namespace korvid::cli
