#pragma once
// One blocking HTTP GET on libcurl, the only network access Korvid has. The request
// carries the user agent "Korvid.exe" and no header beyond what HTTP needs; redirects
// are followed; the body is handed over in chunks of at most 1024 bytes.

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
    std::string error;          // libcurl's description of a failure, empty on success
};

// The address with every byte that cannot stand in an HTTP request target
// percent-encoded: bytes below 33, bytes of 127 and above, and " # < > \ ^ ` { | }.
// Everything else, "%" included, is kept as it stands.
std::string EncodeRequestTarget(std::string_view address);

// Runs one GET. The sink sees the body chunk by chunk; the result tells how it ended.
TransferInfo HttpGet(std::string_view address, const ChunkSink& sink,
                     const ProgressCallback& progress = {});

// Call once at the start of every program that downloads.
void HttpGlobalInit();

}  // namespace korvid
