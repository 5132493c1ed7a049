#include "tag/movie_tag.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "common/errors.h"
#include "common/file_descriptor.h"
#include "common/text.h"

namespace korvid {

static_assert(sizeof(off_t) == 8, "tag positions need 64-bit file offsets");

namespace {

struct TransferResult {
    std::size_t count = 0;  // bytes moved before the transfer stopped
    int error = 0;          // errno of the call that failed, 0 when it only came up short
};

// Moves up to size bytes at position with pread or pwrite, continuing after partial
// transfers, until done, the end of the file or an error.
template <typename Buffer, typename Call>
TransferResult TransferAt(Call call, int fd, Buffer* buffer, std::size_t size, off_t position) {
    TransferResult result;
    while (result.count < size) {
        const ssize_t n = call(fd, buffer + result.count, size - result.count,
                               position + static_cast<off_t>(result.count));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            result.error = errno;
            break;
        }
        if (n == 0) {
            break;
        }
        result.count += static_cast<std::size_t>(n);
    }
    return result;
}

TransferResult ReadAt(int fd, char* buffer, std::size_t size, off_t position) {
    return TransferAt(::pread, fd, buffer, size, position);
}

TransferResult WriteAt(int fd, const char* buffer, std::size_t size, off_t position) {
    return TransferAt(::pwrite, fd, buffer, size, position);
}

// Appends the bytes with O_APPEND, so they land at the end of the file as it is at that
// moment, whatever another process appended meanwhile; *landed is where they went.
TransferResult Append(int fd, const char* buffer, std::size_t size, off_t* landed) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_APPEND) != 0) {
        return {0, errno};
    }
    const auto write_at_end = [](int file, const char* bytes, std::size_t count, off_t) {
        return ::write(file, bytes, count);
    };
    const TransferResult result = TransferAt(write_at_end, fd, buffer, size, 0);
    *landed = ::lseek(fd, 0, SEEK_CUR) - static_cast<off_t>(result.count);
    return result;
}

// The size of the open file; raises the system's error when it cannot be told.
off_t FileSize(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        throw IoError::FromErrno(errno);
    }
    return info.st_size;
}

}  // namespace

int FindGenre(std::string_view text) {
    for (std::size_t i = 0; i < GenreNames.size(); ++i) {
        const std::string_view name = GenreNames[i];
        if (EqualIgnoringAsciiCase(name, text)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string GenreDisplayText(std::uint8_t number) {
    if (number < GenreNames.size()) {
        return std::string(GenreNames[number]);
    }
    return std::to_string(number);
}

MovieTag::MovieTag() {
    bytes_.fill(' ');
}

MovieTag MovieTag::FromBytes(std::string_view raw) {
    MovieTag tag;
    const std::size_t count = std::min(raw.size(), Size);
    std::copy_n(raw.begin(), count, tag.bytes_.begin());
    return tag;
}

MovieTag MovieTag::Render(const MovieTagValues& values) {
    using namespace tag_layout;
    MovieTag tag;
    tag.PutText(MarkerOffset, MarkerWidth, TagMarker);
    tag.PutText(TitleOffset, TitleWidth, values.title);
    tag.PutText(DirectorOffset, DirectorWidth, values.director);
    tag.PutText(CommentOffset, CommentWidth, values.comment);
    tag.PutText(ImdbOffset, ImdbWidth, values.imdb);
    tag.PutText(YearOffset, YearWidth, values.year);
    // The low eight bits of the index: -1 (nothing chosen) becomes 255.
    tag.bytes_[GenreOffset] = static_cast<char>(static_cast<std::uint8_t>(values.genre_index));
    return tag;
}

void MovieTag::PutText(std::size_t offset, std::size_t width, std::string_view text) {
    const std::size_t count = std::min(text.size(), width);
    std::copy_n(text.begin(), count, bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
}

bool MovieTag::HasMarker() const {
    return View().substr(0, TagMarker.size()) == TagMarker;
}

std::string MovieTag::DecodeText(std::size_t offset, std::size_t width) const {
    std::string_view field = View().substr(offset, width);
    field = field.substr(0, field.find('\0'));
    return TrimControls(field);
}

std::string MovieTag::Title() const {
    return DecodeText(tag_layout::TitleOffset, tag_layout::TitleWidth);
}
std::string MovieTag::Director() const {
    return DecodeText(tag_layout::DirectorOffset, tag_layout::DirectorWidth);
}
std::string MovieTag::Comment() const {
    return DecodeText(tag_layout::CommentOffset, tag_layout::CommentWidth);
}
std::string MovieTag::Imdb() const {
    return DecodeText(tag_layout::ImdbOffset, tag_layout::ImdbWidth);
}
std::string MovieTag::Year() const {
    return DecodeText(tag_layout::YearOffset, tag_layout::YearWidth);
}
std::uint8_t MovieTag::GenreNumber() const {
    return static_cast<std::uint8_t>(bytes_[tag_layout::GenreOffset]);
}

MovieTag ReadLastTagBytes(const ShortString& file_name) {
    // The desktop reader wants the file to itself while it looks. POSIX has no exclusive open,
    // so the file is simply opened read-only; other programs may still have it open.
    // O_NONBLOCK keeps a named pipe from stalling the open; it is refused below.
    FileDescriptor file(::open(file_name.str().c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.IsOpen()) {
        throw FileOpenError(file_name);
    }
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        throw FileOpenError(file_name);
    }
    // A file shorter than 128 bytes is read from its start; what is not read stays spaces,
    // and a failed read is no error.
    const off_t position = std::max<off_t>(info.st_size - static_cast<off_t>(MovieTag::Size), 0);
    MovieTag::Bytes buffer;
    buffer.fill(' ');
    ReadAt(file.Get(), buffer.data(), buffer.size(), position);
    return MovieTag(buffer);
}

TagPlacement WriteTag(const MovieTag& tag, const ShortString& file_name, TagLinks links) {
    // Other programs may read and write the file meanwhile: no lock is taken. No O_CREAT: a
    // missing file is an error, never a new file.
    const int no_follow = links == TagLinks::Refuse ? O_NOFOLLOW : 0;
    FileDescriptor file(
        ::open(file_name.str().c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK | no_follow));
    if (!file.IsOpen()) {
        throw IoError::FromErrno(errno);
    }
    const off_t size = FileSize(file.Get());
    const off_t tag_position = size - static_cast<off_t>(MovieTag::Size);
    if (tag_position < 0) {
        // The position lies before the start of the file; lseek refuses it the same way.
        throw IoError(IoError::CodeFromErrno(EINVAL),
                      "The file is " + std::to_string(size) +
                          " bytes long, too short to hold a tag of 128 bytes.");
    }

    MovieTag::Bytes old_bytes;
    const TransferResult read =
        ReadAt(file.Get(), old_bytes.data(), old_bytes.size(), tag_position);
    if (read.error != 0) {
        throw IoError::FromErrno(read.error);
    }
    if (read.count < old_bytes.size()) {
        throw IoError(IoError::ReadBeyondEnd);
    }

    // Another program appending to the file moves its end: the last 128 bytes read above no
    // longer tell where the record belongs, and nothing is written at a stale place.
    const bool replace = MovieTag(old_bytes).HasMarker();
    if (FileSize(file.Get()) != size) {
        throw IoError(IoError::ChangedWhileTagged);
    }
    if (replace) {
        const TransferResult written =
            WriteAt(file.Get(), tag.bytes().data(), MovieTag::Size, tag_position);
        if (written.count < MovieTag::Size || FileSize(file.Get()) != size) {
            // Put the old tag's bytes back, so the file keeps its movie data and old tag.
            if (written.count > 0) {
                WriteAt(file.Get(), old_bytes.data(), written.count, tag_position);
            }
            if (written.count == MovieTag::Size) {
                throw IoError(IoError::ChangedWhileTagged);
            }
            throw WriteError(written.error);
        }
    } else {
        off_t landed = size;
        const TransferResult written =
            Append(file.Get(), tag.bytes().data(), MovieTag::Size, &landed);
        if (written.count < MovieTag::Size) {
            // Cut an appended fragment off again, unless something was appended after it.
            if (written.count > 0 &&
                FileSize(file.Get()) == landed + static_cast<off_t>(written.count) &&
                ::ftruncate(file.Get(), landed) != 0) {
                // Nothing more can be done; the write error below is what the user needs.
            }
            throw WriteError(written.error);
        }
        if (landed != size) {
            // The record went in whole at the end, after what was appended meanwhile.
            throw IoError(IoError::ChangedWhileTagged);
        }
    }

    // A failing close can mean the record never reached the disk (network file systems).
    if (const int close_error = file.Close(); close_error != 0) {
        throw WriteError(close_error);
    }
    return replace ? TagPlacement::Replaced : TagPlacement::Appended;
}

}  // namespace korvid
