#pragma once
// One blocking HTTP GET on libcurl, the only network access Korvid has. The request
// carries the user agent "Korvid.exe" and no header beyond what HTTP needs; redirects
// are followed; the body is handed over in chunks of at most 1024 bytes. Only http and
// https are spoken, for the address and for every redirect: an address of another scheme
// (file, ftp, gopher, dict, ...) is refused before anything is read or sent. A final status
// of 400 or above delivers no body.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace korvid {

// Told the number of body bytes received so far, after every chunk.
using ProgressCallback = std::function<void(std::uint64_t bytes_received)>;

// Receives one chunk of the body; returns false to stop the transfer.
using ChunkSink = std::function<bool(const char* data, std::size_t size)>;

struct TransferInfo {
    bool connected = false;     // a server answered (any status)
    long status = 0;            // the final HTTP status, 0 when none arrived
    bool complete = false;      // the whole body arrived
    std::string effective_url;  // the address of the final page, after redirects
    // Why the transfer failed, in a few words ("connection refused", "too many redirects",
    // "the site answered 503"); empty on success.
    std::string error;
    bool cancelled = false;  // the keep-going callback ended it
    // The deadline or the keep-going callback ended it: the part that arrived is no page.
    bool stopped = false;
};

// Asked again and again while a transfer runs, also while nothing arrives (about once a
// second then); returns false to end the transfer as cancelled.
using KeepGoingCallback = std::function<bool()>;

// What a transfer may take. The program uses the defaults; tests shorten the waits.
struct HttpOptions {
    // A transfer that receives less than 1 byte per second for this many seconds ends.
    long low_speed_seconds = 60;
    // A transfer that has not ended this many seconds after it began ends, however steadily
    // its bytes arrive: "the download took longer than N s".
    long deadline_seconds = 120;
    // Empty: the transfer is never cancelled.
    KeepGoingCallback keep_going;
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
