#include "cli/lookup.h"

#include <ostream>

#include "cli/cli_common.h"
#include "cli/terminal_text.h"
#include "client/film_page.h"
#include "client/local_source.h"
#include "dataset/database_path.h"
#include "dataset/film_database.h"

namespace korvid::cli {
namespace {

// After a download that failed: the importer has shown its message; this says why.
LookupResult DownloadFailed(const TIMDBImport& importer, std::ostream& err) {
    const std::string& cause = importer.DownloadFailure();
    err << MessagePrefix << (cause.empty() ? "the download failed" : ForTerminal(cause)) << '\n';
    if (cause == NoConnectionCause) {
        err << MessagePrefix
            << "the film data answers without a network once it is here; run \"korvid-cli "
               "dataset update\" where there is one (or with --from, a folder of the files)\n";
    }
    if (cause == BrowserCheckCause) {
        err << MessagePrefix
            << "the site's pages are closed to programs; run \"korvid-cli dataset update\" "
               "to look films up in its data sets instead\n";
    }
    return {LookupEnd::Failed, ExitFailure};
}

}  // namespace

std::shared_ptr<const dataset::FilmDatabase> OpenFilmSource(const SiteOptions& site) {
    if (site.source == "site") {
        if (!site.db.empty()) {
            throw UsageError("--db goes with the local source, not with --source site");
        }
        return nullptr;
    }
    // A host given on the command line, and nothing that names the database, asks the site.
    // KORVID_HOST alone does not: the database answers when one is present.
    if (site.source.empty() && site.db.empty() && !site.host.empty()) {
        return nullptr;
    }
    const std::string path = dataset::DatabasePath(site.db);
    auto database = OpenFilmDatabaseIfPresent(path);
    // Asked for by --source local or --db, a database must be there; by default the site
    // answers until one is built.
    if (!database && (site.source == "local" || !site.db.empty())) {
        throw dataset::DatasetError("no film database at " + path +
                                    " (korvid-cli dataset update builds it)");
    }
    return database;
}

void CreditSource(LookupSource source, std::ostream& err) {
    if (*FactsOf(source).credit != '\0') {
        err << FactsOf(source).credit << '\n';
    }
}

LookupResult LookUp(TIMDBImport& importer, const std::string& title, std::optional<int> pick,
                    const SiteOptions& site, std::ostream& err) {
    if (title.empty()) {
        throw UsageError("the title to look up is empty");
    }
    if (pick && *pick < 0) {
        throw UsageError("--pick needs an entry number from 0 on");
    }
    importer.Host = site.host.empty() ? SiteHost() : site.host;
    importer.AppDir = WorkFolder(site.dir);
    importer.SetTypedTitle(title);
    const std::string shown = Utf8ForTerminal(importer.TypedTitle());

    const bool local = importer.HasFilmDatabase();
    if (!importer.SearchTitle()) {
        if (importer.Outcome() == LookupOutcome::DownloadFailed) {
            return DownloadFailed(importer, err);
        }
        if (importer.Outcome() == LookupOutcome::NotFilmPage) {
            err << MessagePrefix << "the site's answer for \"" << shown
                << "\": " << NotFilmPageCause << '\n';
            return {LookupEnd::Failed, ExitNotFound};
        }
        err << MessagePrefix
            << (local ? "the film database has no film for \"" : "the site's answer for \"")
            << shown << (local ? "\"\n" : "\" is not a page Korvid knows\n");
        return {LookupEnd::Failed, ExitNotFound};
    }
    if (importer.MovieFound) {
        if (pick) {
            err << MessagePrefix
                << (local ? "the film database holds one film of that title"
                          : "the site answered with the film's page")
                << "; --pick is not needed\n";
        }
        return {LookupEnd::Film, ExitOk};
    }
    const int count = importer.ResultTitles.Count();
    if (count == 0) {
        err << MessagePrefix << "no film found for \"" << shown << "\"\n";
        return {LookupEnd::Failed, ExitNotFound};
    }
    if (!pick) {
        return {LookupEnd::List, ExitOk};
    }
    if (*pick >= count) {
        throw UsageError("--pick " + std::to_string(*pick) + " is not in the list (0 to " +
                         std::to_string(count - 1) + ")");
    }
    return ImportEntry(importer, *pick, err);
}

LookupResult ImportEntry(TIMDBImport& importer, int index, std::ostream& err) {
    const std::string address = importer.ResultUrls[index];
    const bool imported = importer.ImportResult(index);
    if (importer.Outcome() == LookupOutcome::NotFilmPage) {
        err << MessagePrefix << ForTerminal(address) << ": " << NotFilmPageCause << '\n';
        return {LookupEnd::Failed, ExitNotFound};
    }
    if (!imported && importer.Outcome() != LookupOutcome::UnknownPage) {
        return DownloadFailed(importer, err);
    }
    if (importer.Outcome() == LookupOutcome::UnknownPage) {
        err << MessagePrefix << "no film could be read from " << ForTerminal(address) << '\n';
        return {LookupEnd::Failed, ExitFailure};
    }
    return {LookupEnd::Film, ExitOk};
}

}  // namespace korvid::cli
