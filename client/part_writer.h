#pragma once
// The part file of one data-set download while its answer arrives: the rest of a part held
// from before (a 206 that continues it), or a fresh part with the answer's record; how far it
// may grow (the limit, never more than the answer announced); and the first thing that went
// wrong, kept for the end of the transfer, where the download decides what it means.

#include <cstdint>
#include <optional>
#include <string>

#include "client/http.h"
#include "common/file_descriptor.h"

namespace korvid {

class PartWriter {
  public:
    // part: the part's path (its record is part + ".meta"); source: the base address its
    // record names; offset: the bytes of the part held and asked to be continued (0: none).
    PartWriter(std::string part, std::string source, std::uint64_t offset,
               std::uint64_t max_bytes);

    // The answer's header has arrived: opens the part for its body.
    void Begin(long status, const ResponseHeaders& headers);
    // Appends a chunk of the body; false ends the transfer (see the states below).
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

  private:
    std::string part_;
    std::string source_;
    std::uint64_t offset_;
    std::uint64_t max_bytes_;
    std::uint64_t limit_;
    std::optional<FileDescriptor> file_;
    std::uint64_t size_ = 0;
    std::uint64_t total_ = 0;
    bool wrong_part_ = false;
    std::string too_large_;
    int write_error_ = 0;
};

}  // namespace korvid
