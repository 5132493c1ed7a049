#include "common/line_list.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/errors.h"
#include "common/file_descriptor.h"

namespace korvid {
namespace {

// The offset of the next byte c at or after from, or size.
std::size_t NextByte(const char* data, std::size_t from, std::size_t size, char c) {
    const void* found = std::memchr(data + from, c, size - from);
    return found != nullptr ? static_cast<std::size_t>(static_cast<const char*>(found) - data)
                            : size;
}

}  // namespace

LineView LineList::operator[](int index) const {
    if (index < 0 || index >= Count()) {
        throw ListIndexError(index);
    }
    const std::size_t begin = LineBegin(index);
    return std::string_view(buffer_).substr(begin, LineEnd(index) - begin);
}

void LineList::Add(std::string_view line) {
    starts_.PushBack(buffer_.size());
    buffer_.append(line);
    buffer_ += '\n';
}

void LineList::Add(std::initializer_list<std::string_view> pieces) {
    starts_.PushBack(buffer_.size());
    for (const std::string_view piece : pieces) {
        buffer_.append(piece);
    }
    buffer_ += '\n';
}

void LineList::Clear() noexcept {
    if (buffer_.capacity() <= SmallBuffer) {
        buffer_.clear();
        starts_.Clear(true);
    } else {
        std::string().swap(buffer_);
        starts_.Clear(false);
    }
}

int LineList::LineAt(std::size_t offset) const noexcept {
    return static_cast<int>(starts_.CountUpTo(offset)) - 1;
}

void LineList::Adopt(std::string text) {
    char* data = text.data();
    const std::size_t size = text.size();
    LineStarts starts;
    starts.ReserveForBuffer(size + 1);
    // The next CR and the next LF are each looked up again only once the line passes
    // them, so a page that uses only one kind of break is still read in one pass.
    std::size_t next_cr = NextByte(data, 0, size, '\r');
    std::size_t next_lf = NextByte(data, 0, size, '\n');
    std::size_t read = 0;
    std::size_t write = 0;
    bool last_line_open = false;
    while (read < size) {
        if (next_cr < read) {
            next_cr = NextByte(data, read, size, '\r');
        }
        if (next_lf < read) {
            next_lf = NextByte(data, read, size, '\n');
        }
        const std::size_t end = std::min(next_cr, next_lf);
        if (write != read) {
            std::memmove(data + write, data + read, end - read);
        }
        starts.PushBack(write);
        write += end - read;
        if (end == size) {
            last_line_open = true;
            break;
        }
        const bool cr_lf = data[end] == '\r' && end + 1 < size && data[end + 1] == '\n';
        data[write++] = '\n';  // write <= end: nothing still to be read is overwritten
        read = end + (cr_lf ? 2 : 1);
    }
    text.resize(write);
    if (last_line_open) {
        text += '\n';
    }
    starts.ShrinkToUse();
    buffer_ = std::move(text);
    starts_ = std::move(starts);
}

void LineList::SetText(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::string copy;
    copy.reserve(text.size() + 1);  // room for the last line's '\n'
    copy.assign(text);
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
    // Read into a buffer one byte larger than the file, so the last line's '\n' fits
    // without moving the page.
    std::string text(expected + 1, '\0');
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
    text.resize(NextByte(text.data(), 0, filled, '\0'));
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
