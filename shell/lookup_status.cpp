#include "shell/lookup_status.h"

#include "client/IMDBImport.h"
#include "dataset/film_database.h"

namespace korvid {
namespace {

std::string Failed(const std::string& cause) {
    return "Lookup failed: " + cause;
}

std::string OutcomeText(const TIMDBImport& importer) {
    const bool local = importer.Source() == LookupSource::Local;
    switch (importer.Outcome()) {
        case LookupOutcome::Film:
        case LookupOutcome::ResultList:
            if (importer.Outcome() == LookupOutcome::ResultList &&
                importer.ResultTitles.Empty()) {
                return "No film found";
            }
            return local ? std::string("OK - from the local film data. ") + dataset::CreditLine
                         : "OK";
        case LookupOutcome::NoResult:
            return "No film found";
        case LookupOutcome::DownloadFailed:
            if (importer.DownloadCancelled()) {
                return "Lookup cancelled";  // the user's Escape, Go Away or close box
            }
            return Failed(importer.DownloadFailure().empty() ? "the download failed"
                                                             : importer.DownloadFailure());
        case LookupOutcome::NotFilmPage:
            return Failed("not a film page");
        case LookupOutcome::UnknownPage:
            return Failed(local ? "the film database no longer holds this film"
                                : "the site's answer is not a page Korvid knows");
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
    return importer.Source() == LookupSource::Local ? QString::fromLatin1(dataset::CreditLine)
                                                    : QString();
}

}  // namespace korvid
