#include "common/line_list.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/errors.h"
#include "common/file_descriptor.h"

namespace korvid {
namespace {

// One bit for each of the 64 bytes at `at` that is a CR, an LF or a NUL.
#if defined(__SSE2__)
std::uint64_t BreakMask16(const char* at) noexcept {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i hits =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')),
                                  _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r'))),
                     _mm_cmpeq_epi8(bytes, _mm_setzero_si128()));
    return static_cast<std::uint32_t>(_mm_movemask_epi8(hits));
}
std::uint64_t BreakMask64(const char* at) noexcept {
    return BreakMask16(at) | (BreakMask16(at + 16) << 16) | (BreakMask16(at + 32) << 32) |
           (BreakMask16(at + 48) << 48);
}
#else
std::uint64_t BreakMask64(const char* at) noexcept {
    std::uint64_t mask = 0;
    for (unsigned i = 0; i < 64; ++i) {
        const char c = at[i];
        mask |= static_cast<std::uint64_t>(c == '\n' || c == '\r' || c == '\0') << i;
    }
    return mask;
}
#endif

}  // namespace

LineView LineList::operator[](int index) const {
    if (index < 0 || index >= Count()) {
        throw ListIndexError(index);
    }
    const std::size_t begin = LineBegin(index);
    return Buffer().substr(begin, LineEnd(index) - begin);
}

void LineList::Add(std::string_view line) {
    starts_.PushBack(buffer_.size());
    buffer_.insert(buffer_.end(), line.begin(), line.end());
    buffer_.push_back('\n');
}

void LineList::Add(std::initializer_list<std::string_view> pieces) {
    starts_.PushBack(buffer_.size());
    for (const std::string_view piece : pieces) {
        buffer_.insert(buffer_.end(), piece.begin(), piece.end());
    }
    buffer_.push_back('\n');
}

void LineList::Clear() noexcept {
    if (buffer_.capacity() <= SmallBuffer) {
        buffer_.clear();
        starts_.Clear(true);
    } else {
        LineBuffer().swap(buffer_);
        starts_.Clear(false);
    }
}

int LineList::LineAt(std::size_t offset) const noexcept {
    return static_cast<int>(starts_.CountUpTo(offset)) - 1;
}

void LineList::Adopt(LineBuffer text) {
    std::size_t size = text.size();
    text.push_back('\0');  // room for the last line's '\n' (the callers reserved it)
    char* data = text.data();
    LineStarts starts;
    starts.ReserveForBuffer(size + 1);
    // One pass over the text, 64 bytes at a time, stops at each CR, LF or NUL. Each line is
    // moved down over the bytes that CR LF pairs before it gave up (none in a page of single
    // breaks) and ended with one '\n'.
    std::size_t line = 0;   // where the current line begins in the text
    std::size_t write = 0;  // where it goes
    const auto end_line = [&](std::size_t at, std::size_t next) {
        const std::size_t length = at - line;
        if (write != line) {
            std::memmove(data + write, data + line, length);
        }
        starts.PushBack(write);
        write += length;
        data[write++] = '\n';  // write <= at: nothing still to be read is overwritten
        line = next;
    };
    // Handles the break byte at `at`; false at a NUL, where the text ends.
    const auto on_break = [&](std::size_t at) {
        if (at < line) {
            return true;  // the LF of a CR LF already taken
        }
        const char c = data[at];
        if (c == '\0') {
            size = at;
            return false;
        }
        const bool cr_lf = c == '\r' && at + 1 < size && data[at + 1] == '\n';
        end_line(at, at + (cr_lf ? 2 : 1));
        return true;
    };
    bool ended = false;
    std::size_t block = 0;
    for (; !ended && block + 64 <= size; block += 64) {
        for (std::uint64_t mask = BreakMask64(data + block); mask != 0; mask &= mask - 1) {
            if (!on_break(block + static_cast<std::size_t>(__builtin_ctzll(mask)))) {
                ended = true;
                break;
            }
        }
    }
    for (std::size_t at = block; !ended && at < size; ++at) {
        const char c = data[at];
        if ((c == '\n' || c == '\r' || c == '\0') && !on_break(at)) {
            ended = true;
        }
    }
    if (line < size) {
        end_line(size, size);  // the last line, without a break of its own
    }
    text.resize(write);
    starts.ShrinkToUse();
    buffer_ = std::move(text);
    starts_ = std::move(starts);
}

void LineList::SetText(std::string_view text) {
    LineBuffer copy;
    copy.reserve(text.size() + 1);  // room for the last line's '\n'
    copy.assign(text.begin(), text.end());
    Adopt(std::move(copy));
}

void LineList::LoadFromFile(const std::string& file_name) {
    const FileDescriptor file(::open(file_name.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0) {
        throw FileOpenError(file_name);
    }
    struct stat info {};
    std::size_t expected = 0;
    if (::fstat(file.Get(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        expected = static_cast<std::size_t>(info.st_size);
    }
    // The old lines are given up here. Their memory takes the page when it is large enough
    // (it is in use already: no fresh memory to fault in); otherwise it goes back before a
    // larger buffer is taken. The buffer is one byte larger than the file, so the last line's
    // '\n' fits without moving the page; its bytes are left unset and the file is read
    // straight into them.
    LineBuffer text;
    text.swap(buffer_);
    starts_.Clear(true);
    if (text.capacity() <= expected) {
        LineBuffer().swap(text);
    }
    text.resize(expected + 1);
    std::size_t filled = 0;
    for (;;) {
        if (filled == text.size()) {
            text.resize(std::max<std::size_t>(text.size() * 2, 64 * 1024));
        }
        const ssize_t got = ::read(file.Get(), text.data() + filled, text.size() - filled);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw IoError(IoError::ReadBeyondEnd);
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    text.resize(filled);
    Adopt(std::move(text));
}

void LineList::SaveToFile(const std::string& file_name) const {
    struct FileCloser {
        void operator()(std::FILE* f) const noexcept { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(file_name.c_str(), "wb"));
    if (!file) {
        throw FileCreateError(file_name);
    }
    for (int i = 0; i < Count(); ++i) {
        const std::string_view line = (*this)[i];
        if (std::fwrite(line.data(), 1, line.size(), file.get()) != line.size() ||
            std::fwrite("\r\n", 1, 2, file.get()) != 2) {
            throw IoError::FromErrno(errno);
        }
    }
    if (std::fclose(file.release()) != 0) {
        throw IoError::FromErrno(errno);
    }
}

}  // namespace korvid
