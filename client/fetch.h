#pragma once
// One address copied into one file: the download under every page and cover of a lookup and
// every picture of the suggestion service.

#include <cstdint>

#include "client/http.h"
#include "common/short_string.h"

namespace korvid {

// What one download may take beyond the transfer's own settings.
struct DownloadOptions {
    // A body longer than this many bytes fails the download; 0 sets no limit.
    std::uint64_t max_bytes = 0;
    // With true, a transfer that breaks after its body began fails the download too.
    bool whole_body_only = false;
    HttpOptions http;
};

// Copies the body of an absolute "http://" address into a file, in chunks of at most
// 1024 bytes, and returns true when the file holds it: the whole body, or, when the
// transfer broke after the body began, the part that arrived. Returns false, leaving no
// file it wrote, when the download failed: no connection could be made, the final status
// was 400 or above, the site answered with its browser check (IsBrowserCheck), the transfer
// ended in an error before any of the body arrived, or it broke the options' limits (the
// deadline and a cancel among them, whatever had arrived);
// info->error then tells why. The file is created when the body
// begins, so a download that fails before leaves an earlier file of that name as it was.
// A symbolic link at the file's name is not followed: that raises FileCreateError "Cannot
// create file %s". A file that cannot be created or written raises IoError (101 "Disk full"
// when the disk has no room) after the transfer has been released, and a file left half
// written is removed.
bool DownloadToFile(const ShortString& address, const ShortString& file_name,
                    const ProgressCallback& progress = {}, TransferInfo* info = nullptr,
                    const DownloadOptions& options = {});

}  // namespace korvid
