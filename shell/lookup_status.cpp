#include "shell/lookup_status.h"

#include "client/IMDBImport.h"

namespace korvid {
namespace {

std::string Failed(const std::string& cause) {
    return "Lookup failed: " + cause;
}

std::string OutcomeText(const TIMDBImport& importer) {
    const SourceFacts& source = FactsOf(importer.Source());
    switch (importer.Outcome()) {
        case LookupOutcome::Film:
        case LookupOutcome::ResultList:
            if (importer.Outcome() == LookupOutcome::ResultList &&
                importer.ResultTitles.Empty()) {
                return source.nothing_found;
            }
            return std::string(source.answered) + source.credit;
        case LookupOutcome::NoResult:
            return source.nothing_found;
        case LookupOutcome::DownloadFailed:
            if (importer.DownloadCancelled()) {
                return "Lookup cancelled";  // the user's Escape, Go Away or close box
            }
            return Failed(importer.DownloadFailure().empty() ? "the download failed"
                                                             : importer.DownloadFailure());
        case LookupOutcome::NotFilmPage:
            return Failed("not a film page");
        case LookupOutcome::UnknownPage:
            return Failed(source.entry_unreadable);
        case LookupOutcome::None:
            break;
    }
    return Failed("the list no longer matches the last search");
}

}  // namespace

std::string LookupDoneStatus(const TIMDBImport& importer, const std::string& note) {
    std::string text = OutcomeText(importer);
    if (!note.empty()) {
        text += " (from the site: " + note + ")";
    }
    return text;
}

QString LookupSourceToolTip(const TIMDBImport& importer) {
    return QString::fromLatin1(FactsOf(importer.Source()).credit);
}

}  // namespace korvid
