#pragma once
// The sample site: a stand-in for the movie database site that Korvid, korvid-cli, the tests
// and the benchmarks use on loopback. It serves the title search, a dozen invented films and
// their covers from the files under sample-site/pages, in the page forms Korvid reads:
//
//   /find?s=all&q=TITLE   a result list, the no-result page, or, when exactly one film
//                         matches, a redirect to that film's page
//   /title/ttNNNNNNN/     the film's page
//   /covers/ttNNNNNNN.jpg the film's cover
//   /suggestion/x/TEXT.json the site's suggestion service: the film of a title id, or the
//                         films a search text finds, as JSON, each with its picture address
//   /images/M/ttNNNNNNN@._V1_[UY<h>_].jpg the picture the suggestion names (the cover)
//   /datasets/NAME.tsv.gz the six data-set files (title.basics, title.ratings, title.crew,
//                         title.principals, name.basics, title.akas) made of the same films,
//                         with an ETag and Last-Modified, answering 304 and Range requests
//   /                     a small index of the films

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "loopback/loopback_server.h"

namespace korvid::sample {

// How a film's entry is written in the result list.
enum class EntryForm {
    Plain,  // one link and the year on one line
    Image,  // a cover link and a text link on one line
    Split,  // the entry ends on the line after its link
};

struct Film {
    std::string id;     // "tt9000001"
    std::string title;  // as a person types it, in Latin-1
    std::string year;
    EntryForm form = EntryForm::Plain;
    bool has_cover = false;
    // Found only by a search for its whole title (any letter case), never by a part of it.
    bool exact_only = false;
};

// The folder of the pages in the source tree.
std::string DefaultPagesDir();
// The folder of the data-set files (plain .tsv, compressed when the site starts).
std::string DefaultDatasetsDir();

// The six data-set files the site serves, as their names end in the address.
inline constexpr const char* DatasetFileNames[] = {"title.basics.tsv.gz", "title.ratings.tsv.gz",
                                                   "title.crew.tsv.gz",   "title.principals.tsv.gz",
                                                   "name.basics.tsv.gz",  "title.akas.tsv.gz"};

// When the site's data-set files were last changed, as Last-Modified gives it.
inline constexpr const char* DatasetsLastModified = "Sun, 06 Dec 2026 00:00:00 GMT";

// A body in the gzip format, as the data-set files are served.
std::string GzipCompress(const std::string& data);

class SampleSite {
  public:
    // Reads the catalogue, the pages and the covers from the folder; throws
    // std::runtime_error naming the file when one is missing or unreadable.
    explicit SampleSite(const std::string& pages_dir = DefaultPagesDir(),
                        const std::string& datasets_dir = DefaultDatasetsDir());

    loopback::HttpResponse Answer(const loopback::HttpRequest& request) const;

    const std::vector<Film>& Films() const { return films_; }

    // A data-set file as served ("title.basics.tsv.gz"): its gzip bytes and ETag.
    struct DatasetFile {
        std::string gzip;
        std::string etag;
    };
    const std::map<std::string, DatasetFile>& Datasets() const { return datasets_; }

    // The films whose title holds the query, ignoring the case of a to z; a film marked
    // exact only when the query is its whole title.
    std::vector<const Film*> Find(std::string_view query) const;

    // The title searched for in a request target: the value of the "q" parameter, decoded
    // as a web server does ("+" and %XX), without surrounding blanks.
    static std::string QueryOf(std::string_view target);

  private:
    loopback::HttpResponse Search(const std::string& host, std::string_view target) const;
    // The suggestion service's answer for the text (a title id or search words).
    loopback::HttpResponse Suggest(const std::string& host, std::string_view text) const;
    std::string ResultList(const std::string& host, const std::vector<const Film*>& films) const;
    std::string Index() const;

    std::vector<Film> films_;
    std::map<std::string, std::string> film_pages_;  // id -> page with the host placeholder
    std::map<std::string, std::string> covers_;      // id -> JPEG bytes
    std::map<std::string, DatasetFile> datasets_;    // file name -> the file served
    std::string list_head_;
    std::string list_foot_;
    std::string no_result_;
};

// The sample site served on 127.0.0.1; port 0 lets the system choose a free port.
class RunningSampleSite {
  public:
    explicit RunningSampleSite(std::uint16_t port = 0,
                               const std::string& pages_dir = DefaultPagesDir(),
                               const std::string& datasets_dir = DefaultDatasetsDir());

    // "127.0.0.1:PORT", the value for --host or KORVID_HOST.
    std::string HostPort() const { return server_->HostPort(); }
    std::string BaseUrl() const { return server_->BaseUrl(); }
    std::uint16_t Port() const { return server_->Port(); }
    const SampleSite& Site() const { return *site_; }

  private:
    std::unique_ptr<SampleSite> site_;
    std::unique_ptr<loopback::LoopbackServer> server_;
};

}  // namespace korvid::sample
