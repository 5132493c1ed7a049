// The title search and the result list: SearchTitle sends the typed title to the site's
// title search and reads whatever page comes back; ImportResult fetches and reads the film
// page of one entry of the list.

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

#include "client/IMDBImport.h"
#include "client/film_address.h"
#include "client/film_page.h"

namespace korvid {
namespace {

constexpr std::string_view DownloadFailedMessage = "Cannot Download Page From Website !";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The text of the title element that opens at the given position of an upper-cased title
// line: up to "</TITLE>", or to the end of the line when the element is not closed there.
std::string_view TitleElementText(std::string_view upper_line, std::size_t open) {
    const std::string_view text = upper_line.substr(open + std::string_view("<TITLE>").size());
    return text.substr(0, text.find("</TITLE>"));
}

// True when the text holds "(" followed by four digits, the year group of a film title.
bool HasYearGroup(std::string_view text) {
    for (std::size_t at = text.find('('); at != std::string_view::npos;
         at = text.find('(', at + 1)) {
        if (at + 4 < text.size() && IsDigit(text[at + 1]) && IsDigit(text[at + 2]) &&
            IsDigit(text[at + 3]) && IsDigit(text[at + 4])) {
            return true;
        }
    }
    return false;
}

enum class PageKind { ResultList, NoResult, FilmPage };

// Decides the kind of page by its title line. The site's no-result page has a title that
// begins with "The"; a film whose title begins with those letters still carries its year
// group, e.g. "The Matrix (1999)" or "Them! (1954)", and is read as a film page.
PageKind ClassifyTitleLine(std::string_view line) {
    const std::string upper = UpperAsciiCopy(line);
    if (upper.find(">IMDB") != std::string::npos) {
        return PageKind::ResultList;
    }
    const std::size_t the = upper.find("<TITLE>THE");
    if (the != std::string::npos && !HasYearGroup(TitleElementText(upper, the))) {
        return PageKind::NoResult;
    }
    return PageKind::FilmPage;
}

}  // namespace

// Keeps the temporary page locked while it is read, then lets it go (deleting it first when
// asked), on every path.
class TIMDBImport::TempPageHold {
  public:
    TempPageHold(TIMDBImport& importer, bool remove) : importer_(importer), remove_(remove) {}
    TempPageHold(const TempPageHold&) = delete;
    TempPageHold& operator=(const TempPageHold&) = delete;
    ~TempPageHold() { importer_.ReleaseTempPage(remove_); }

  private:
    TIMDBImport& importer_;
    bool remove_;
};

std::string EncodeQueryValue(std::string_view value) {
    return PercentEncode(value, [](unsigned char byte) {
        const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                                (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
                                byte == '_' || byte == '~';
        return !unreserved;
    });
}

ShortString SearchAddress(const ShortString& host, const ShortString& title) {
    std::string address = "http://" + host.str() + "/find?s=all&q=" + EncodeQueryValue(title.str());
    if (address.size() > ShortString::MaxLength) {
        address.resize(ShortString::MaxLength);
        // An escape cut after its "%" or its first digit would send another byte.
        const std::size_t percent = address.find('%', address.size() - 2);
        if (percent != std::string::npos) {
            address.resize(percent);
        }
    }
    return address;
}

bool TIMDBImport::SearchTitle() {
    if (film_database_) {
        return SearchFilmDatabase();
    }
    source_ = LookupSource::Site;
    ForgetLocalFilm();
    ClearMovieData();
    // A new search keeps nothing of the film read before.
    ForgetFilm();
    outcome_ = LookupOutcome::None;
    download_cancelled_ = false;
    if (Title.empty()) {
        return false;
    }
    if (!FetchPage(SearchAddress(Host, Title))) {
        outcome_ = LookupOutcome::DownloadFailed;
        ReportFailedDownload();
        return false;
    }
    // The page has been examined once this returns or raises.
    const TempPageHold temp_page(*this, true);

    FindLine("<TITLE>", 0);
    if (LineIndex < 0) {
        outcome_ = LookupOutcome::UnknownPage;
        return false;
    }
    switch (ClassifyTitleLine(PageLines[LineIndex])) {
        case PageKind::ResultList:
            outcome_ = LookupOutcome::ResultList;
            ParseResultList();
            break;
        case PageKind::NoResult:
            outcome_ = LookupOutcome::NoResult;
            MovieFound = false;
            break;
        case PageKind::FilmPage:
            if (!IsFilmPage(PageLines, PageLines[LineIndex], LastFetchedUrl())) {
                outcome_ = LookupOutcome::NotFilmPage;
                return false;
            }
            outcome_ = LookupOutcome::Film;
            TakeFilmAddressOfDirectHit();
            ParseMoviePage();
            break;
    }
    return true;
}

// A download the user cancelled is no failure to tell about; any other is told with its cause.
void TIMDBImport::ReportFailedDownload() {
    if (!download_cancelled_) {
        UserPrompts().ShowFailure(std::string(DownloadFailedMessage), DownloadFailure());
    }
}

// The film's own address, so the CSV row and the tag name this film and not the one
// imported before: the film page's address a redirect from the search led to, else the
// address the page names as its own. A page that names none gives an empty address; the
// search address is never a film's.
void TIMDBImport::TakeFilmAddressOfDirectHit() {
    if (IsFilmAddress(LastFetchedUrl())) {
        MovieUrl = LastFetchedUrl();
        return;
    }
    MovieUrl = FilmAddressFromPage(PageLines, Host.str());
}

void TIMDBImport::ParseResultList() {
    MovieFound = false;
    FindLine("<h2>Popular Results", 0);
    if (LineIndex < 0) {
        return;
    }
    const auto has_line = [this](std::int32_t index) { return index < PageLines.Count(); };

    ++LineIndex;  // the heading line itself holds no entry
    if (!has_line(LineIndex)) {
        return;
    }
    for (;;) {
        const std::string line = TrimControls(PageLines[LineIndex]);
        const std::size_t link = UpperAsciiCopy(line).find("/TITLE");
        if (link != std::string::npos) {
            // From the link path on, letter case unchanged.
            std::string text(line.substr(link));
            const std::size_t quote = text.find('"');
            const std::string path =
                quote == std::string::npos ? std::string() : text.substr(0, quote);
            const std::size_t tag_end = text.find('>');
            if (tag_end != std::string::npos) {
                text.erase(0, tag_end + 1);
            }
            std::size_t item_end = text.find("</li>");
            if (item_end == std::string::npos) {
                // The entry goes on on the next line; that line is read again on its own.
                if (!has_line(LineIndex + 1)) {
                    return;
                }
                text += ' ';
                text += TrimControls(PageLines[LineIndex + 1]);
                item_end = text.find("</li>");
            }
            const ShortString raw_title =
                item_end == std::string::npos ? std::string() : text.substr(0, item_end);
            const ShortString title = StripEntities(StripTags(raw_title));
            if (!title.empty()) {
                ResultTitles.Add(title.str());
                ResultUrls.Add("http://" + Host + path);
            }
        }
        ++LineIndex;
        if (!has_line(LineIndex)) {
            return;
        }
        const std::string upper = UpperAsciiCopy(PageLines[LineIndex]);
        if (upper.find("COMPANIES") != std::string::npos ||
            upper.find("<NAMES") != std::string::npos) {
            PageLines.Clear();
            return;
        }
    }
}

bool TIMDBImport::ImportResult(std::int32_t index) {
    if (film_database_) {
        return ImportFromFilmDatabase(index);
    }
    source_ = LookupSource::Site;
    ForgetLocalFilm();
    MovieFound = false;
    outcome_ = LookupOutcome::None;
    download_cancelled_ = false;
    if (index > ResultTitles.Count() - 1) {
        return false;
    }
    // A negative index raises the line list's index error, which the caller handles.
    const ShortString address = ResultUrls[index];
    if (!FetchPage(address)) {
        outcome_ = LookupOutcome::DownloadFailed;
        ReportFailedDownload();
        return false;
    }
    const TempPageHold temp_page(*this, false);
    // A page of another kind than a film's is not read, and no film of before stays.
    FindLine("<TITLE>", 0);
    if (LineIndex >= 0 && !IsFilmPage(PageLines, PageLines[LineIndex], LastFetchedUrl())) {
        outcome_ = LookupOutcome::NotFilmPage;
        ForgetFilm();
        return false;
    }
    MovieUrl = address;
    ParseMoviePage();
    // A page without a title line is the one case in which the parse empties PageLines
    // (through ClearMovieData): no film was read from it.
    outcome_ = PageLines.Empty() ? LookupOutcome::UnknownPage : LookupOutcome::Film;
    MovieFound = true;
    return true;
}

}  // namespace korvid
