#include "client/dataset_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <sstream>

#include "client/gzip_check.h"
#include "common/errors.h"
#include "common/file_descriptor.h"
#include "common/output_file.h"

namespace korvid {
namespace {

constexpr std::size_t LongestValidator = 256;
constexpr std::size_t LongestSource = 2048;
constexpr std::size_t LargestRecord = 8192;

bool PrintableAscii(std::string_view value) {
    for (const char c : value) {
        if (c < 0x20 || c > 0x7E) {
            return false;
        }
    }
    return true;
}

bool UsableRegularFile(const struct stat& info) {
    return S_ISREG(info.st_mode) && info.st_nlink == 1;
}

// Opens an existing cache file without following a link and without blocking on a FIFO;
// -1 unless it is a regular file of one link.
int OpenUsable(const std::string& path, int flags) {
    FileDescriptor file(::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!file.IsOpen() || ::fstat(file.Get(), &info) != 0 || !UsableRegularFile(info)) {
        return -1;
    }
    // The writes and reads that follow may wait for the disk as any file's do.
    ::fcntl(file.Get(), F_SETFL, ::fcntl(file.Get(), F_GETFL) & ~O_NONBLOCK);
    return file.Release();
}

}  // namespace

std::string SaneValidator(std::string_view value) {
    return value.size() <= LongestValidator && PrintableAscii(value) ? std::string(value)
                                                                      : std::string();
}

std::optional<CopyRecord> ReadCopyRecord(const std::string& path) {
    const FileDescriptor file(OpenUsable(path, O_RDONLY));
    if (!file.IsOpen()) {
        return std::nullopt;
    }
    std::string text(LargestRecord + 1, '\0');
    std::size_t size = 0;
    while (size < text.size()) {
        const ssize_t got = ::read(file.Get(), text.data() + size, text.size() - size);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        size += static_cast<std::size_t>(got);
    }
    if (size > LargestRecord) {
        return std::nullopt;
    }
    text.resize(size);
    CopyRecord record;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const auto value = [&line](std::size_t from) { return std::string_view(line).substr(from); };
        if (line.rfind("Source: ", 0) == 0) {
            const std::string_view source = value(8);
            if (source.size() <= LongestSource && PrintableAscii(source)) {
                record.source = source;
            }
        } else if (line.rfind("ETag: ", 0) == 0) {
            record.etag = SaneValidator(value(6));
        } else if (line.rfind("Last-Modified: ", 0) == 0) {
            record.last_modified = SaneValidator(value(15));
        } else if (line.rfind("Length: ", 0) == 0) {
            const std::string_view number = value(8);
            std::uint64_t length = 0;
            const auto [end, error] =
                std::from_chars(number.data(), number.data() + number.size(), length);
            if (error == std::errc() && end == number.data() + number.size()) {
                record.length = length;
            }
        }
    }
    return record;
}

void WriteCopyRecord(const std::string& path, const CopyRecord& record) {
    const std::string temporary = path + ".new";
    {
        FileDescriptor file(CreateFreshFile(temporary));
        if (!file.IsOpen()) {
            throw WriteError(errno);
        }
        const std::string text = "Source: " + record.source + "\nETag: " + record.etag +
                                 "\nLast-Modified: " + record.last_modified +
                                 "\nLength: " + std::to_string(record.length) + "\n";
        int error = WriteAll(file.Get(), text.data(), text.size());
        if (error == 0) {
            error = file.Close();
        }
        if (error != 0) {
            ::unlink(temporary.c_str());
            throw WriteError(error);
        }
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw WriteError(error);
    }
}

std::optional<std::uint64_t> UsableCacheFile(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    if (!UsableRegularFile(info)) {
        ::unlink(path.c_str());
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

int OpenPartForAppend(const std::string& path, std::uint64_t expected_size) {
    FileDescriptor file(OpenUsable(path, O_RDWR | O_APPEND));
    struct stat info {};
    if (!file.IsOpen() || ::fstat(file.Get(), &info) != 0 ||
        static_cast<std::uint64_t>(info.st_size) != expected_size) {
        return -1;
    }
    return file.Release();
}

int CreateFreshFile(const std::string& path) {
    // Removing the name first: a link or a hard-linked file there is replaced, never written
    // through; O_EXCL makes sure the file opened is the one made here.
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        return -1;
    }
    // The user's own: a record may name a private mirror's address.
    return CreateOutputFile(path, O_EXCL, 0600);
}

std::string GzipDamage(const std::string& path, const std::stop_token& stop) {
    const FileDescriptor file(OpenUsable(path, O_RDONLY));
    struct stat info {};
    if (!file.IsOpen() || ::fstat(file.Get(), &info) != 0) {
        return "not a regular file";
    }
    GzipCheck check;
    if (!check.FeedFile(file.Get(), static_cast<std::uint64_t>(info.st_size), stop)) {
        return "stopped";
    }
    return check.Verdict();
}

}  // namespace korvid
