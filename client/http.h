#pragma once
// One blocking HTTP GET on libcurl, the only network access Korvid has. The request
// carries the user agent "Korvid.exe" and no header beyond what HTTP needs (a data-set
// download adds its conditional and range headers); redirects are followed; the body is
// handed over in chunks of at most 1024 bytes (the options may allow larger ones). Only http and
// https are spoken, for the address and for every redirect: an address of another scheme
// (file, ftp, gopher, dict, ...) is refused before anything is read or sent. A final status
// of 400 or above delivers no body, nor does an answer with the site's browser-check header.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace korvid {

// Told the number of body bytes received so far, after every chunk.
using ProgressCallback = std::function<void(std::uint64_t bytes_received)>;

// Receives one chunk of the body; returns false to stop the transfer.
using ChunkSink = std::function<bool(const char* data, std::size_t size)>;

// The headers of the final answer that Korvid reads; each empty (or -1) when not sent.
struct ResponseHeaders {
    std::string etag;
    std::string last_modified;
    std::int64_t content_length = -1;
    std::string content_range;  // "bytes 100-999/1000" of a 206 answer
    std::string waf_action;     // x-amzn-waf-action: the site's browser check
};

struct TransferInfo {
    bool connected = false;     // a server answered (any status)
    long status = 0;            // the final HTTP status, 0 when none arrived
    bool complete = false;      // the whole body arrived
    std::string effective_url;  // the address of the final page, after redirects
    // Why the transfer failed, in a few words ("connection refused", "too many redirects",
    // "the site answered 503"); empty on success.
    std::string error;
    ResponseHeaders headers;  // of the final answer, after redirects
    bool cancelled = false;   // the keep-going callback ended it
    // The deadline or the keep-going callback ended it: the part that arrived is no page.
    bool stopped = false;
    // The deadline ended it (deadline_seconds or ends_by).
    bool timed_out = false;
};

// Asked again and again while a transfer runs, also while nothing arrives (at least every
// HttpOptions::keep_going_every then); returns false to end the transfer as cancelled.
using KeepGoingCallback = std::function<bool()>;

// The cause of a download the site answered with its browser check.
inline constexpr const char* BrowserCheckCause = "the site asked for a browser check";

// A transfer's cause when the host's name could not be looked up, and the cause a lookup
// gives for it in words: most often there is no network at all.
inline constexpr const char* HostNotFoundCause = "host name not found";
inline constexpr const char* NoConnectionCause = "no connection to the site (host name not found)";

// True when the site answered with its browser check instead of the page: HTTP 202 with an
// empty body, or any answer with the header x-amzn-waf-action.
bool IsBrowserCheck(const TransferInfo& info, std::uint64_t body_bytes);

// What a transfer may take. The program uses the defaults; tests shorten the waits.
struct HttpOptions {
    // A transfer that receives less than 1 byte per second for this many seconds ends.
    long low_speed_seconds = 60;
    // A transfer that has not ended this many seconds after it began ends, however steadily
    // its bytes arrive: "the download took longer than N s".
    long deadline_seconds = 120;
    // A transfer still running at this time ends as past its deadline, whatever is left of
    // deadline_seconds: the one deadline of several transfers that make one whole (a cover's
    // answer and its pictures). Unset: only deadline_seconds applies.
    std::optional<std::chrono::steady_clock::time_point> ends_by;
    // Empty: the transfer is never cancelled.
    KeepGoingCallback keep_going;
    // The longest time between two calls of keep_going, however long the server stays
    // silent: the transfer waits for its sockets in slices no longer than this. A window that
    // takes its events in keep_going answers within it.
    std::chrono::milliseconds keep_going_every{1000};
    // The largest chunk handed to the sink (libcurl allows 1024 to 10 MiB).
    long chunk_bytes = 1024;
    // With false, a redirect is not followed: its answer (3xx) is the final one.
    bool follow_redirects = true;
    // Request headers of a data-set download; a page request sends none of them. Each is
    // sent when not empty (range_from when above 0, as "Range: bytes=N-").
    std::string if_none_match;      // an ETag the client holds
    std::string if_modified_since;  // the Last-Modified of the copy the client holds
    std::uint64_t range_from = 0;   // the rest of a body from this byte on
    std::string if_range;           // with range_from: the validator of the part held
    // Told the final answer's status and headers once, before its first body chunk, so a
    // sink can tell a whole body (200) from the rest of one (206).
    std::function<void(long status, const ResponseHeaders& headers)> answer_started;
};

// The address with every byte that cannot stand in an HTTP request target
// percent-encoded: bytes below 33, bytes of 127 and above, and " # < > \ ^ ` { | }.
// Everything else, "%" included, is kept as it stands.
std::string EncodeRequestTarget(std::string_view address);

// Runs one GET. The sink sees the body chunk by chunk; the result tells how it ended.
TransferInfo HttpGet(std::string_view address, const ChunkSink& sink,
                     const ProgressCallback& progress = {}, const HttpOptions& options = {});

// Loads and initialises libcurl once per process. Optional: the first HttpGet does the same;
// a program may call it early to pay that cost before its first download.
void HttpGlobalInit();

}  // namespace korvid
