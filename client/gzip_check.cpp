#include "client/gzip_check.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

#include "common/errors.h"

namespace korvid {
namespace {

// The inflater's output, thrown away: small, as the check keeps nothing of it.
constexpr std::size_t ScratchBytes = 32 * 1024;
// A file already held is read in chunks of this size.
constexpr std::size_t FileChunkBytes = 64 * 1024;

constexpr unsigned char GzipMagic[] = {0x1F, 0x8B};

}  // namespace

GzipCheck::GzipCheck() : scratch_(ScratchBytes) {
    // 16 + MAX_WBITS: a gzip wrapper, the largest window.
    if (inflateInit2(&stream_, 16 + MAX_WBITS) != Z_OK) {
        throw std::bad_alloc();
    }
}

GzipCheck::~GzipCheck() {
    inflateEnd(&stream_);
}

bool GzipCheck::Feed(const char* data, std::size_t length) {
    if (!damage_.empty()) {
        return false;
    }
    // The build refuses a file that does not begin as gzip before inflating anything.
    for (std::size_t i = 0; bytes_ + i < std::size(GzipMagic) && i < length; ++i) {
        if (static_cast<unsigned char>(data[i]) != GzipMagic[bytes_ + i]) {
            damage_ = "not a gzip file";
            return false;
        }
    }
    bytes_ += length;
    const auto* next = reinterpret_cast<const unsigned char*>(data);
    while (length > 0) {
        const auto piece = static_cast<uInt>(std::min<std::size_t>(length, 1u << 30));
        stream_.next_in = const_cast<unsigned char*>(next);
        stream_.avail_in = piece;
        next += piece;
        length -= piece;
        while (stream_.avail_in > 0) {
            if (member_ended_) {
                inflateReset(&stream_);  // another member follows, or garbage that fails next
                member_ended_ = false;
            }
            stream_.next_out = scratch_.data();
            stream_.avail_out = static_cast<uInt>(scratch_.size());
            const uInt input_before = stream_.avail_in;
            const int result = inflate(&stream_, Z_NO_FLUSH);
            const bool moved =
                stream_.avail_in != input_before || stream_.avail_out != scratch_.size();
            if (result == Z_STREAM_END) {
                member_ended_ = true;
            } else if (result == Z_MEM_ERROR) {
                damage_ = "out of memory";
                return false;
            } else if ((result != Z_OK && result != Z_BUF_ERROR) || !moved) {
                damage_ = "the gzip data is corrupt";
                return false;
            }
        }
    }
    return true;
}

bool GzipCheck::FeedFile(int fd, std::uint64_t length, const std::stop_token& stop) {
    std::vector<char> chunk(FileChunkBytes);
    std::uint64_t at = 0;
    while (at < length && damage_.empty()) {
        if (stop.stop_requested()) {
            return false;
        }
        const auto wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), length - at));
        const ssize_t got = ::pread(fd, chunk.data(), wanted, static_cast<off_t>(at));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            damage_ = ErrnoText(errno);
            break;
        }
        if (got == 0) {
            break;  // shorter than said: the verdict tells what the bytes read make
        }
        Feed(chunk.data(), static_cast<std::size_t>(got));
        at += static_cast<std::uint64_t>(got);
    }
    return true;
}

std::string GzipCheck::Verdict() const {
    if (!damage_.empty()) {
        return damage_;
    }
    if (bytes_ == 0) {
        return "the file is empty";
    }
    if (bytes_ < std::size(GzipMagic)) {
        return "not a gzip file";
    }
    if (!member_ended_) {
        return "the file is cut short";
    }
    return {};
}

}  // namespace korvid
