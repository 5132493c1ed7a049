#include "cli/lookup.h"

#include <ostream>

#include "cli/cli_common.h"
#include "cli/terminal_text.h"

namespace korvid::cli {
namespace {

// After a download that failed: the importer has shown its message; this says why.
LookupResult DownloadFailed(const TIMDBImport& importer, std::ostream& err) {
    const std::string& cause = importer.DownloadFailure();
    err << MessagePrefix << (cause.empty() ? "the download failed" : ForTerminal(cause)) << '\n';
    if (cause == BrowserCheckCause) {
        err << MessagePrefix
            << "the site's pages are closed to programs; run \"korvid-cli dataset update\" "
               "to look films up in its data sets instead\n";
    }
    return {LookupEnd::Failed, ExitFailure};
}

}  // namespace

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
    importer.Title = Utf8ToLatin1(title);
    const std::string shown = ForTerminal(importer.Title);

    if (!importer.SearchTitle()) {
        if (importer.Outcome() == LookupOutcome::DownloadFailed) {
            return DownloadFailed(importer, err);
        }
        err << MessagePrefix << "the site's answer for \"" << shown
            << "\" is not a page Korvid knows\n";
        return {LookupEnd::Failed, ExitNotFound};
    }
    if (importer.MovieFound) {
        if (pick) {
            err << MessagePrefix
                << "the site answered with the film's page; --pick is not needed\n";
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
    if (!importer.ImportResult(index)) {
        return DownloadFailed(importer, err);
    }
    if (importer.Outcome() == LookupOutcome::UnknownPage) {
        err << MessagePrefix << "no film could be read from " << ForTerminal(address) << '\n';
        return {LookupEnd::Failed, ExitFailure};
    }
    return {LookupEnd::Film, ExitOk};
}

}  // namespace korvid::cli
