#include "common/line_list.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/errors.h"
#include "common/file_descriptor.h"
#include "common/line_split.h"

namespace korvid {

LineView LineList::operator[](int index) const {
    if (index < 0 || index >= Count()) {
        throw ListIndexError(index);
    }
    const std::size_t begin = LineBegin(index);
    return Buffer().substr(begin, LineEnd(index) - begin);
}

std::size_t LineList::LineEnd(int index) const noexcept {
    const auto next = static_cast<std::size_t>(index) + 1;
    std::size_t end = (next < starts_.Size() ? starts_[next] : buffer_.size()) - 1;
    // The break is the last byte before the next line, or the last two for CR LF; a CR
    // before an LF that is the line's only byte belongs to the line before.
    if (buffer_[end] == '\n' && end > LineBegin(index) && buffer_[end - 1] == '\r') {
        --end;
    }
    return end;
}

void LineList::EndAddedLine(char last) {
    if (last == '\r') {
        buffer_.push_back('\r');
    }
    buffer_.push_back('\n');
}

void LineList::Add(std::string_view line) {
    starts_.PushBack(buffer_.size());
    buffer_.insert(buffer_.end(), line.begin(), line.end());
    EndAddedLine(line.empty() ? '\0' : line.back());
}

void LineList::Add(std::initializer_list<std::string_view> pieces) {
    starts_.PushBack(buffer_.size());
    char last = '\0';
    for (const std::string_view piece : pieces) {
        buffer_.insert(buffer_.end(), piece.begin(), piece.end());
        last = piece.empty() ? last : piece.back();
    }
    EndAddedLine(last);
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
    // The old lines go first, so that a failure to make room leaves the list empty.
    LineBuffer().swap(buffer_);
    starts_.Clear(true);
    starts_.ReserveForBuffer(text.size() + 1);
    const std::size_t size = SplitLines(text.data(), text.size(), starts_);
    text.resize(size);
    if (size != 0 && text.back() != '\n' && text.back() != '\r') {
        text.push_back('\n');  // the last line's break, in the byte the callers reserved
    }
    starts_.ShrinkToUse();
    buffer_ = std::move(text);
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
