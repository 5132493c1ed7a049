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
constexpr std::size_t kBlockSize = 1 << 20;
// Blocks inflated ahead of the reader.
constexpr std::size_t kBlocksAhead = 4;
// A line longer than this is not one of the files' rows.
constexpr std::size_t kLongestLine = 4u << 20;

}  // namespace

GzipLines::GzipLines(const std::string& path, std::string name)
    : name_(std::move(name)), input_(kInputSize) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        Fail(ErrnoText(errno));
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
    if (inflater_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        inflater_.join();
    }
    if (stream_ready_) {
        inflateEnd(&stream_);
    }
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void GzipLines::Fail(const std::string& cause) const {
    throw DatasetError(name_ + ": " + cause);
}

bool GzipLines::Next(std::string_view& line) {
    joined_.clear();
    for (;;) {
        const char* start = current_.text.data() + at_;
        const std::size_t left = current_.size - at_;
        const auto* newline =
            left > 0 ? static_cast<const char*>(std::memchr(start, '\n', left)) : nullptr;
        if (newline != nullptr) {
            const auto length = static_cast<std::size_t>(newline - start);
            at_ += length + 1;
            if (joined_.empty()) {
                line = std::string_view(start, length);
            } else {
                joined_.append(start, length);
                line = joined_;
            }
            return true;
        }
        if (left > 0) {
            joined_.append(start, left);
        }
        if (joined_.size() > kLongestLine) {
            Fail("a line is too long for a data-set file");
        }
        if (!NextBlock()) {
            if (joined_.empty()) {
                return false;
            }
            // The last line without a line end.
            line = joined_;
            return true;
        }
    }
}

bool GzipLines::NextBlock() {
    if (!started_) {
        started_ = true;
        inflater_ = std::thread(&GzipLines::Inflate, this);
    }
    std::unique_lock lock(mutex_);
    if (!current_.text.empty()) {
        spare_.push_back(std::move(current_));
        changed_.notify_all();
    }
    current_ = Block();
    at_ = 0;
    changed_.wait(lock, [&] { return !ready_.empty() || finished_; });
    if (ready_.empty()) {
        if (error_) {
            std::rethrow_exception(error_);
        }
        return false;
    }
    current_ = std::move(ready_.front());
    ready_.pop_front();
    changed_.notify_all();
    compressed_read_ = current_.compressed_read;
    return true;
}

void GzipLines::Inflate() {
    try {
        for (;;) {
            Block block;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return stopping_ || ready_.size() < kBlocksAhead; });
                if (stopping_) {
                    return;
                }
                if (!spare_.empty()) {
                    block = std::move(spare_.back());
                    spare_.pop_back();
                }
            }
            block.text.resize(kBlockSize);
            block.size = InflateInto(block.text.data(), block.text.size());
            block.compressed_read = inflater_read_;
            std::lock_guard lock(mutex_);
            if (block.size == 0) {
                finished_ = true;
                changed_.notify_all();
                return;
            }
            ready_.push_back(std::move(block));
            changed_.notify_all();
        }
    } catch (...) {
        std::lock_guard lock(mutex_);
        error_ = std::current_exception();
        finished_ = true;
        changed_.notify_all();
    }
}

std::size_t GzipLines::InflateInto(char* out, std::size_t capacity) {
    stream_.next_out = reinterpret_cast<Bytef*>(out);
    stream_.avail_out = static_cast<uInt>(capacity);
    while (stream_.avail_out == capacity) {
        if (stream_.avail_in == 0) {
            if (input_ended_) {
                if (!member_ended_) {
                    Fail(inflater_read_ > 0 ? "the file is cut short" : "the file is empty");
                }
                return 0;
            }
            const ssize_t got = ::read(fd_, input_.data(), input_.size());
            if (got < 0) {
                if (errno == EINTR) {
                    continue;
                }
                Fail(ErrnoText(errno));
            }
            if (got == 0) {
                input_ended_ = true;
                continue;
            }
            if (inflater_read_ == 0 && (got < 2 || input_[0] != 0x1F || input_[1] != 0x8B)) {
                Fail("not a gzip file");
            }
            inflater_read_ += static_cast<std::uint64_t>(got);
            stream_.next_in = input_.data();
            stream_.avail_in = static_cast<uInt>(got);
        }
        if (member_ended_) {
            // Another gzip member follows the last one.
            inflateReset(&stream_);
            member_ended_ = false;
        }
        switch (inflate(&stream_, Z_NO_FLUSH)) {
            case Z_OK:
            case Z_BUF_ERROR:
                break;
            case Z_STREAM_END:
                member_ended_ = true;
                break;
            case Z_MEM_ERROR:
                throw std::bad_alloc();
            default:
                Fail("the gzip data is corrupt");
        }
    }
    return capacity - stream_.avail_out;
}

}  // namespace korvid::dataset
