#include "dataset/gzip_lines.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/errors.h"
#include "dataset/film_database.h"

namespace korvid::dataset {

namespace {

constexpr std::size_t kInputSize = 1 << 18;
constexpr std::size_t kTextSize = 1 << 20;
// A line longer than this is not one of the files' rows.
constexpr std::size_t kLongestLine = 64u << 20;

}  // namespace

GzipLines::GzipLines(const std::string& path, std::string name)
    : name_(std::move(name)), input_(kInputSize), text_(kTextSize) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        Fail(IoError::FromErrno(errno).what());
    }
    struct stat info {};
    if (::fstat(fd_, &info) == 0) {
        compressed_size_ = static_cast<std::uint64_t>(info.st_size);
    }
    // 16 + 15: a gzip stream with the largest window.
    if (inflateInit2(&stream_, 16 + MAX_WBITS) != Z_OK) {
        ::close(fd_);
        throw std::bad_alloc();
    }
    stream_ready_ = true;
}

GzipLines::~GzipLines() {
    if (stream_ready_) {
        inflateEnd(&stream_);
    }
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void GzipLines::Fail(const std::string& cause) const { throw DatasetError(name_ + ": " + cause); }

bool GzipLines::Next(std::string_view& line) {
    for (;;) {
        const char* start = text_.data() + begin_;
        const auto* newline =
            static_cast<const char*>(std::memchr(start, '\n', end_ - begin_));
        if (newline != nullptr) {
            line = std::string_view(start, newline - start);
            begin_ = static_cast<std::size_t>(newline - text_.data()) + 1;
            return true;
        }
        if (!Fill()) {
            if (begin_ == end_) {
                return false;
            }
            // The last line without a line end.
            line = std::string_view(text_.data() + begin_, end_ - begin_);
            begin_ = end_;
            return true;
        }
    }
}

bool GzipLines::Fill() {
    // Keep the unfinished line at the front; grow the buffer when it fills it.
    if (begin_ > 0) {
        std::memmove(text_.data(), text_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == text_.size()) {
        if (text_.size() >= kLongestLine) {
            Fail("a line is too long for a data-set file");
        }
        text_.resize(text_.size() * 2);
    }
    const std::size_t before = end_;
    while (end_ == before) {
        if (stream_.avail_in == 0) {
            if (input_ended_) {
                if (!member_ended_) {
                    Fail(compressed_read_ > 0 ? "the file is cut short" : "the file is empty");
                }
                return false;
            }
            const ssize_t got = ::read(fd_, input_.data(), input_.size());
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                Fail(IoError::FromErrno(errno).what());
            }
            if (got == 0) {
                input_ended_ = true;
                continue;
            }
            if (compressed_read_ == 0 && (got < 2 || input_[0] != 0x1F || input_[1] != 0x8B)) {
                Fail("not a gzip file");
            }
            compressed_read_ += static_cast<std::uint64_t>(got);
            stream_.next_in = input_.data();
            stream_.avail_in = static_cast<uInt>(got);
        }
        if (member_ended_) {
            // Another gzip member follows the last one.
            inflateReset(&stream_);
            member_ended_ = false;
        }
        stream_.next_out = reinterpret_cast<Bytef*>(text_.data() + end_);
        stream_.avail_out = static_cast<uInt>(text_.size() - end_);
        const int result = inflate(&stream_, Z_NO_FLUSH);
        end_ = text_.size() - stream_.avail_out;
        switch (result) {
            case Z_OK:
            case Z_BUF_ERROR:
                break;
            case Z_STREAM_END:
                member_ended_ = true;
                break;
            case Z_DATA_ERROR:
                Fail("the gzip data is corrupt");
            case Z_MEM_ERROR:
                throw std::bad_alloc();
            default:
                Fail("the gzip data is corrupt");
        }
    }
    return true;
}

}  // namespace korvid::dataset
