#pragma once
// TIMDBImport: the one object that holds everything Korvid knows about the current lookup
// on the movie database site: the film's fields, the search results, the page last
// downloaded (as lines) and the XML and CSV documents. The windows and korvid-cli write
// the three inputs Title, Host and AppDir, call the operations and read the fields.

#include <array>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/fetch.h"
#include "client/film_texts.h"
#include "client/http.h"
#include "client/lookup_source.h"
#include "client/suggest_cover.h"
#include "common/file_descriptor.h"
#include "common/line_list.h"
#include "common/prompts.h"
#include "common/short_string.h"
#include "common/text.h"

namespace korvid {

namespace dataset {
class FilmDatabase;
struct FilmRecord;
}  // namespace dataset

// The host name of the movie database site, unless KORVID_HOST names another.
inline constexpr const char* DefaultHost = "www.imdb.com";
std::string SiteHost();

// The header row of the CSV document.
inline constexpr const char* CsvHeaderRow =
    "Productname~Owner~Image~CategoryID~Details~Quality~IMDB_NO";

// The name of the temporary page file in the program's folder.
inline constexpr const char* TempPageName = "imdbtemp.htm";

// The largest page a lookup reads: far above any real film page or result list, and it
// keeps an endless page from filling the disk and the memory.
inline constexpr std::uint64_t MaxPageBytes = 64u * 1024u * 1024u;

// A text as the value of a query parameter: every byte except A-Z a-z 0-9 - . _ ~ is
// percent-encoded, so "&", "=", "+", "%", "?" and "#" reach the server as part of the value.
std::string EncodeQueryValue(std::string_view value);

// The address of the site's title search for a title: the title is sent as the query value,
// and the address is cut to 255 characters without breaking an escape.
ShortString SearchAddress(const ShortString& host, const ShortString& title);

// How the last SearchTitle or ImportResult ended, for the front ends.
enum class LookupOutcome {
    None,            // no lookup yet, an empty title, or an entry past the end of the list
    DownloadFailed,  // the page could not be downloaded: DownloadFailure() tells why
    UnknownPage,     // the page has no title line: not a page Korvid reads
    NotFilmPage,     // a page that is no list and no film (IsFilmPage): nothing was read
    NoResult,        // the site's page for no result
    ResultList,      // a result list (it may hold no entries)
    Film,            // a film page was read
};

// The free cleaners of page text: remove every "<...>" run, or every "&...;" run.
ShortString StripTags(const ShortString& text);
ShortString StripEntities(const ShortString& text);

class TIMDBImport {
  public:
    // Supplies the current time for the scan date of the XML document.
    using Clock = std::function<std::time_t()>;

    explicit TIMDBImport(Prompts& prompts);
    ~TIMDBImport();
    TIMDBImport(const TIMDBImport&) = delete;
    TIMDBImport& operator=(const TIMDBImport&) = delete;

    // ---- Fields, in declaration order ----
    // The title to look up, in Latin-1 (a character outside it as "?"): what the site is asked
    // for and what the documents hold. SetTypedTitle sets it from the typed text.
    ShortString Title;
    ShortString Year;
    ShortString Director;
    ShortString LeadRole;
    ShortString Rated;
    ShortString Genre;
    ShortString TagLine;
    ShortString Plot;
    ShortString PosterFile;
    ShortString RunningTime;
    ShortString Host;
    ShortString AppDir;
    ShortString MovieUrl;
    std::int32_t GenreSlot = 0;
    ShortString CastTrueName;
    ShortString CastName;
    // Slots 1 to 10 hold genre names; slot 0 is never used.
    std::array<ShortString, 11> Genres;
    LineList ResultTitles;
    LineList ResultUrls;
    bool MovieFound = false;
    LineList PageLines;
    LineList XmlLines;
    LineList CsvLines;
    std::int32_t LineIndex = 0;
    ShortString PosterUrl;
    ShortString CsvRow;

    // ---- The typed title and the film's texts whole ----
    // The text the user typed, in UTF-8: TypedTitle holds it composed (NFC), Title its Latin-1
    // form. The local film data is searched for TypedTitle while Title is still the Latin-1
    // form of it (a caller that sets Title alone searches for that).
    void SetTypedTitle(const std::string& utf8);
    const std::string& TypedTitle() const { return typed_title_; }
    // The film read last, whole (film_texts.h): from the local film data as its record gives
    // it, from a film page its Latin-1 fields converted. Empty texts when no film was read.
    FilmTexts Texts() const;
    // Entry index of the result list, whole: from the local film data with the alternative
    // title it was found by, from the site its Latin-1 entry converted. An index outside the
    // list gives empty texts.
    ResultEntryText ResultText(std::int32_t index) const;
    // The entry the film read last was found as: its matched alternative title, when the
    // local film data found it through one; empty texts otherwise.
    const ResultEntryText& MatchedEntry() const { return local_matched_; }

    // ---- Page fetching ----
    void ClearMovieData();
    // Downloads the address into AppDir + "imdbtemp.htm" and loads it into PageLines.
    // Never raises and shows no message. A page over MaxPageBytes or one that did not arrive
    // whole is a failed download. The temporary page stays locked (flock) from the download
    // until the lookup that fetched it has read it, so two lookups sharing the folder never
    // read each other's page: the second waits. A FIFO or a device at the name is refused
    // ("Cannot create file"), never opened for writing.
    bool FetchPage(const ShortString& address);
    // The address of the page FetchPage received last, after redirects.
    const std::string& LastFetchedUrl() const { return last_fetched_url_; }
    // Why the last FetchPage returned false, in a few words ("connection refused", "the
    // site answered 503", "Disk full"); empty after one that succeeded.
    const std::string& DownloadFailure() const { return download_failure_; }
    LookupOutcome Outcome() const { return outcome_; }

    // ---- Line finder and extractors ----
    void FindLine(const ShortString& marker, std::int32_t start_index);
    ShortString ExtractBetween(const ShortString& source, const ShortString& start_marker,
                               const ShortString& end_marker) const;
    ShortString ExtractLinkText(const ShortString& source, const ShortString& start_marker,
                                const ShortString& end_marker) const;
    ShortString RemoveText(const ShortString& source, const ShortString& text) const;

    // ---- Title search and result list ----
    bool SearchTitle();
    void ParseResultList();
    bool ImportResult(std::int32_t index);

    // ---- Film page ----
    void ParseMoviePage();
    bool DownloadPoster(const ShortString& address, const ShortString& file_name);

    // ---- Export documents ----
    void StartXmlDocument();
    void FinishCsvRow();
    void SaveXml(const ShortString& file_name) const;
    void SaveCsv(const ShortString& file_name) const;

    // ---- Hooks for the front ends ----
    // Called with the bytes received so far during every download.
    void SetProgress(ProgressCallback progress) { progress_ = std::move(progress); }
    void SetClock(Clock clock) { clock_ = std::move(clock); }
    // The transfer settings of every download; tests shorten the time-outs with it. The
    // keep-going callback and its rhythm are the importer's own (SetKeepGoing): the ones
    // given are ignored.
    void SetHttpOptions(const HttpOptions& options);
    // Asked again and again during every download, at least every `every` also while
    // nothing arrives: false ends the download as cancelled, and the lookup then shows no
    // message for it. The window takes its events in it, so it keeps painting and answering
    // while it waits, and ends a lookup when it is stopped or closed.
    void SetKeepGoing(KeepGoingCallback keep_going,
                      std::chrono::milliseconds every = std::chrono::seconds(1)) {
        keep_going_ = std::move(keep_going);
        http_options_.keep_going_every = every;
    }
    // True when the last lookup's download was cancelled through the keep-going callback.
    bool DownloadCancelled() const { return download_cancelled_; }
    // With true, FindLine examines the page line by line from the start index and the film
    // page parser finds no markers ahead: the plain search the faster one must agree with.
    void UsePlainLineSearch(bool plain) { plain_line_search_ = plain; }
    // With false, a film page's cover is not downloaded (no file, PosterFile empty): a scan
    // only tags files and leaves nothing behind.
    void DownloadCovers(bool download) { download_covers_ = download; }
    Prompts& UserPrompts() const { return *prompts_; }
    // Where the lookups' messages go from now on; the prompts must outlive their use. The
    // window puts its own in front of the program's, to offer the film data in a failure.
    void SetPrompts(Prompts& prompts) { prompts_ = &prompts; }

    // ---- The local film database (local_source.cpp) ----
    // With a database, SearchTitle and ImportResult answer from it instead of the site, in
    // the same fields and documents; no page, cover or temporary file is fetched or written.
    // An empty pointer goes back to the site.
    void UseFilmDatabase(std::shared_ptr<const dataset::FilmDatabase> database);
    bool HasFilmDatabase() const { return film_database_ != nullptr; }
    LookupSource Source() const { return source_; }

    // ---- The cover of a film from the local film database (local_source.cpp) ----
    // The title id of the film the last lookup read from the local film database; empty
    // after any other lookup, and once a new lookup has begun.
    const std::string& LocalFilmId() const { return local_film_id_; }
    // What FetchSuggestedCover needs for that film: its id, its title, the program's folder,
    // the service's address (read from the environment here, on the caller's thread) and the
    // importer's transfer settings.
    SuggestedCoverRequest LocalCoverRequest() const;
    // Gives that film its cover: PosterFile names it, and both documents are written again
    // with it (the XML's Poster_Image, the CSV's Image), all else as they were. Does nothing
    // when the importer no longer holds the film of that id (a later lookup began).
    void AttachCover(std::string_view film_id, const ShortString& path);
    // Fetches the film's cover through the site's suggestion service and attaches it; the
    // result tells why there is none. A lookup that read no local film gets no cover.
    SuggestedCover FetchLocalCover();

  private:
    std::string TempPagePath() const;
    // Sets MovieUrl for a film page the title search answered with directly.
    void TakeFilmAddressOfDirectHit();
    // Shows the message of a failed page download, unless the user cancelled it.
    void ReportFailedDownload();
    // Opens the temporary page (creating it) and waits for its exclusive lock.
    void LockTempPage(const std::string& path);
    // Ends the hold FetchPage took on the temporary page; with remove, deletes the page first.
    void ReleaseTempPage(bool remove) noexcept;
    // Holds the temporary page while a lookup reads it.
    class TempPageHold;
    // Empties the film's text fields that every lookup starts without.
    void ClearFilmFields();
    // Empties every field of the film read before (not Title) and sets both documents back
    // to their start-up state.
    void ForgetFilm();
    // The start of every film read: both documents restart and no value of the film read
    // before survives.
    void StartFilm();
    // SearchTitle and ImportResult on the local film database, and one title read into
    // the fields and documents.
    bool SearchFilmDatabase();
    bool ImportFromFilmDatabase(std::int32_t index);
    void ReadFilmRecord(const dataset::FilmRecord& film);
    // A new lookup begins: no film from the local film database is held any more.
    void ForgetLocalFilm();
    // What the local film data is searched for: TypedTitle while Title is its Latin-1 form,
    // else Title in UTF-8.
    std::string SearchWords() const;
    // The film part of both documents from the fields and the record read last.
    void WriteLocalDocuments();

    // The first line holding each of a set of markers, found in one pass over the page while
    // ParseMoviePage runs; FindLine answers from it where it can.
    struct MarkerTable {
        const std::vector<std::string>* upper_markers = nullptr;
        std::vector<std::int32_t> first_lines;  // -1: no line holds it; -2: unknown
        std::string_view page;                  // the buffer the table was made for
    };
    class MarkerTableScope;
    // The first line holding the marker as the table knows it, or -2 when it does not.
    std::int32_t FirstLineFromTable(std::string_view upper_marker) const;

    Prompts* prompts_;
    ProgressCallback progress_;
    Clock clock_;
    std::string last_fetched_url_;
    std::string download_failure_;
    LookupOutcome outcome_ = LookupOutcome::None;
    HttpOptions http_options_;
    KeepGoingCallback keep_going_;
    bool download_cancelled_ = false;
    bool plain_line_search_ = false;
    bool download_covers_ = true;
    MarkerTable marker_table_;
    std::shared_ptr<const dataset::FilmDatabase> film_database_;
    LookupSource source_ = LookupSource::Site;
    std::optional<FileDescriptor> temp_page_lock_;
    // The film read last from the local film database, and the XML lines before its part.
    std::shared_ptr<const dataset::FilmRecord> local_film_;
    std::string local_film_id_;
    std::vector<std::string> local_document_head_;
    FilmTexts local_texts_;
    std::vector<ResultEntryText> local_results_;
    // The votes a film page's rating line gives, when it gives them.
    std::optional<std::int64_t> page_votes_;
    ResultEntryText local_matched_;
    std::string typed_title_;
};

}  // namespace korvid
