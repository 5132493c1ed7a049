#pragma once
// The part file of one data-set download while its answer arrives: the rest of a part held
// from before (a 206 that continues it), or a fresh part with the answer's record; how far it
// may grow (the limit, never more than the answer announced); whether its bytes make gzip data,
// judged as they are written (the bytes of a part continued first, before any new one); and
// the first thing that went wrong, kept for the end of the transfer, where the download
// decides what it means.

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>

#include "client/gzip_check.h"
#include "client/http.h"
#include "common/file_descriptor.h"

namespace korvid {

class PartWriter {
  public:
    // part: the part's path (its record is part + ".meta"); source: the base address its
    // record names; offset: the bytes of the part held and asked to be continued (0: none);
    // stop: ends the reading of a part held before it is continued.
    PartWriter(std::string part, std::string source, std::uint64_t offset, std::uint64_t max_bytes,
               std::stop_token stop = {});

    // The answer's header has arrived: opens the part for its body. A part continued (206)
    // is read through the gzip check once here, before the first new byte.
    void Begin(long status, const ResponseHeaders& headers);
    // Checks a chunk of the body and appends it; false ends the transfer (see the states
    // below).
    bool Write(const char* data, std::size_t length);
    // After the transfer: closes the part, keeping the close's error.
    void Close();

    std::uint64_t Size() const { return size_; }    // of the part, as written
    std::uint64_t Total() const { return total_; }  // of the whole file, when the server said
    // The server sent another part than the one asked for, or the part was changed meanwhile.
    bool WrongPart() const { return wrong_part_; }
    // Why the file is larger than it may be; empty when it is not.
    const std::string& TooLarge() const { return too_large_; }
    // The errno of the first write, create or close that failed; 0 when none did.
    int WriteErrorNumber() const { return write_error_; }
    // The stop came while the part held was read: the transfer ended, the part is unchanged.
    bool Stopped() const { return stopped_; }
    // Why the part's bytes so far (held and new) begin no gzip data; empty while they may.
    const std::string& Spoilt() const { return check_.Damage(); }
    // After a complete transfer: empty when the part is whole gzip data, else why not.
    std::string GzipVerdict() const { return check_.Verdict(); }

  private:
    std::string part_;
    std::string source_;
    std::uint64_t offset_;
    std::uint64_t max_bytes_;
    std::uint64_t limit_;
    std::stop_token stop_;
    GzipCheck check_;
    std::optional<FileDescriptor> file_;
    std::uint64_t size_ = 0;
    std::uint64_t total_ = 0;
    bool wrong_part_ = false;
    std::string too_large_;
    int write_error_ = 0;
    bool stopped_ = false;
};

}  // namespace korvid
