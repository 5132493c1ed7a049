#pragma once
// The cover of a film from the local film data, which has none: the site's suggestion service
// (the JSON that feeds the site's search box) names the film's picture on the image host, and
// the picture is downloaded into the program's folder under the title's cover name, as a film
// page's cover is. Shared by the window and korvid-cli.
//
//   GET <base>/suggestion/x/<title id>.json
//   {"d": [{"id": "tt0133093", "i": {"imageUrl": "https://m.media-amazon.com/...jpg", ...}, ...}]}
//
// The base is https://v3.sg.media-imdb.com, or KORVID_SUGGEST_URL when that is set; the
// pictures are taken from m.media-amazon.com only, or from the host of KORVID_SUGGEST_URL.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "client/http.h"

namespace korvid {

inline constexpr const char* DefaultSuggestBase = "https://v3.sg.media-imdb.com";
inline constexpr const char* DefaultImageHost = "m.media-amazon.com";

// The height of the window's cover box in pixels; a cover is asked for at twice that height,
// so it stays sharp on screens that double every pixel.
inline constexpr int CoverBoxHeight = 234;

// The service's base address: KORVID_SUGGEST_URL when set and not empty, else the default.
std::string SuggestBase();

// The service's address for a title id: base (without a trailing "/") + "/suggestion/x/" +
// the id + ".json".
std::string SuggestAddress(std::string_view base, std::string_view film_id);

// The picture address the service's answer gives for the film: the entry whose "id" is the
// film's, its "i" as an object ({"imageUrl": ...}) or in the older array form ([url, w, h]).
// Empty, with the reason in *failure, when the answer is no JSON object with entries, no entry
// is the film's or the film's entry has no picture. Never raises.
std::string CoverAddressFromSuggestion(std::string_view body, std::string_view film_id,
                                       std::string* failure);

// The address of the picture at the given height: "...@._V1_.jpg" becomes
// "...@._V1_UY468_.jpg" (any other operations after "._V1_" are replaced). An address
// without "._V1_" or not ending in ".jpg" comes back as it is.
std::string SizedCoverAddress(std::string_view address, int height);

// The address to download the picture from, as libcurl's URL parser reads and writes it
// (AddressOnOrigin), when the picture may come from there: the image host allowed for the
// base (the default host, over https, for the default base; otherwise the base's own host and
// port), with the base's scheme, and without a user name or password ("http://host#@other/"
// and "http://host@other/" name another host). Empty for any other address.
std::optional<std::string> AllowedCoverAddress(std::string_view address, std::string_view base);

// True when AllowedCoverAddress gives an address.
bool IsAllowedCoverAddress(std::string_view address, std::string_view base);

// The time one cover fetch may take, the service's answer and the pictures together.
inline constexpr std::chrono::milliseconds CoverDeadline = std::chrono::minutes(2);

// What a cover fetch asks for.
struct SuggestedCoverRequest {
    std::string film_id;  // "tt9000010"
    std::string title;    // the film's title field (Latin-1); the cover is named after it
    std::string app_dir;  // the program's folder, with its trailing "/"
    int box_height = CoverBoxHeight;
    std::string base;  // empty: SuggestBase()
    // Time-outs and the keep-going callback; redirects are never followed for the picture.
    HttpOptions http;
    // The whole fetch ends when it has run this long, however its transfers are going.
    std::chrono::milliseconds deadline = CoverDeadline;
};

// How a cover fetch ended: the cover's path, or why there is none, in a few words ("the
// service does not know the film", "the service answered 404", "connection refused").
struct SuggestedCover {
    std::string file;
    std::string failure;
    bool timed_out = false;  // the request's deadline ended the fetch
};

// Asks the service for the film and downloads its picture: the sized form first, then the
// plain address, all within the request's deadline. The picture keeps the limits of a page's
// cover (http or https, at most 32 MiB, whole; a link at the cover's name is replaced, a FIFO
// or a device refused), must come from the image host (AllowedCoverAddress) and must be a
// whole JPEG picture (JpegStructureProblem). It is downloaded beside its name, as
// ".korvid-cover-PID-N.part", and renamed over it only when it passed every check, so a
// failed fetch leaves an earlier file as it was; before it, the parts that processes no longer
// running left in the folder are removed. Never raises; safe to run on a thread of its own.
SuggestedCover FetchSuggestedCover(const SuggestedCoverRequest& request);

}  // namespace korvid
