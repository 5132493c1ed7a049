#pragma once
// Whether the bytes of a data-set file make whole gzip data, judged while they arrive: each
// piece passes through one zlib inflater whose output is thrown away into a small scratch
// buffer, so a finished download is known whole or spoilt without reading it again. The
// bytes are judged as the build reads them (dataset::GzipLines): gzip members may follow one
// another, and anything after a member that does not begin another one is corrupt data.

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <stop_token>
#include <string>
#include <vector>

namespace korvid {

class GzipCheck {
  public:
    // Raises std::bad_alloc when zlib cannot start.
    GzipCheck();
    ~GzipCheck();
    GzipCheck(const GzipCheck&) = delete;
    GzipCheck& operator=(const GzipCheck&) = delete;

    // Passes the next bytes through; false once the bytes so far begin no gzip data.
    bool Feed(const char* data, std::size_t length);

    // Passes the first length bytes of the open file through, read from its start in chunks
    // (the descriptor's own offset is left alone). False when a stop came between two chunks:
    // the check is then unfinished. A read that fails is damage ("Input/output error").
    bool FeedFile(int fd, std::uint64_t length, const std::stop_token& stop);

    // Why the bytes so far begin no gzip data ("the gzip data is corrupt"); empty while they
    // may.
    const std::string& Damage() const { return damage_; }

    // Taking the bytes so far as the whole file: empty when they are whole gzip data, else why
    // not ("the file is cut short", "the file is empty", ...).
    std::string Verdict() const;

  private:
    z_stream stream_{};
    std::vector<unsigned char> scratch_;
    std::uint64_t bytes_ = 0;
    bool member_ended_ = false;  // the last member read ended cleanly
    std::string damage_;
};

}  // namespace korvid
