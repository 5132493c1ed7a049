#include "common/safe_save.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "common/errors.h"
#include "common/file_descriptor.h"
#include "common/output_file.h"

namespace korvid {
namespace {

// The file a save replaces: the chosen name, or, when the user chose a symbolic link, the
// file it leads to (the save writes through the link as it always did).
std::string SaveTarget(const std::string& name) {
    struct stat info {};
    if (::lstat(name.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(name.c_str(), resolved) != nullptr) {
            return resolved;
        }
    }
    return name;
}

// Keeps SIGPIPE from ending the program while a FIFO whose reader has gone is written: the
// write fails with EPIPE instead, and the SIGPIPE it raised is taken off the thread again.
class SigpipeHeld {
  public:
    SigpipeHeld() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        sigemptyset(&pending);
        ::sigpending(&pending);
        was_pending_ = sigismember(&pending, SIGPIPE) == 1;
        ::pthread_sigmask(SIG_BLOCK, &pipe_, &before_);
    }
    ~SigpipeHeld() {
        if (!was_pending_) {
            const timespec no_wait{};
            while (::sigtimedwait(&pipe_, nullptr, &no_wait) == SIGPIPE) {
            }
        }
        ::pthread_sigmask(SIG_SETMASK, &before_, nullptr);
    }
    SigpipeHeld(const SigpipeHeld&) = delete;
    SigpipeHeld& operator=(const SigpipeHeld&) = delete;

  private:
    sigset_t pipe_{};
    sigset_t before_{};
    bool was_pending_ = false;
};

// Whether the user may write the existing file, as an open for writing would decide it: for
// the effective user, so root may, as a plain write by root would.
bool MayWrite(const std::string& target) {
    return ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0;
}

// A FIFO or a character device (a terminal, /dev/null, /dev/stdout on a pipe) takes the bytes
// where it stands: a file renamed over it would replace it. The open does not wait for a
// FIFO's reader: a FIFO without one is refused, as is a node that turns out to be neither by
// the time it is open.
void WriteInPlace(const std::string& name, const std::string& target, std::string_view bytes) {
    FileDescriptor file(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat info {};
    if (!file.IsOpen() || ::fstat(file.Get(), &info) != 0 ||
        !(S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode))) {
        throw FileCreateError(name);
    }
    // From here a slow reader is waited for, as any writer would.
    const int flags = ::fcntl(file.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(file.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        throw FileCreateError(name);
    }
    int error = 0;
    {
        const SigpipeHeld held;
        error = WriteAll(file.Get(), bytes.data(), bytes.size());
    }
    if (const int close_error = file.Close(); error == 0) {
        error = close_error;
    }
    if (error != 0) {
        throw WriteError(error);
    }
}

// The program's own standard output or error when the target is the file, pipe or terminal
// it writes to (-x /dev/stdout, with standard output on a terminal, a pipe or a file), else -1.
int OwnStream(const struct stat& target) {
    for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        struct stat info {};
        if (::fstat(fd, &info) == 0 && info.st_dev == target.st_dev &&
            info.st_ino == target.st_ino) {
            return fd;
        }
    }
    return -1;
}

// Writes the bytes through the program's own descriptor, after what it printed before (the C
// library's buffers go out first), so nothing printed is replaced or overwritten.
void WriteToOwnStream(int fd, std::string_view bytes) {
    std::fflush(nullptr);
    int error = 0;
    {
        const SigpipeHeld held;
        error = WriteAll(fd, bytes.data(), bytes.size());
    }
    if (error != 0) {
        throw WriteError(error);
    }
}

}  // namespace

int CreateBeside(const std::string& target, std::string* temp_name) {
    static std::atomic<unsigned> counter{0};
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        *temp_name = folder + ".korvid-save-" + std::to_string(::getpid()) + "-" +
                     std::to_string(counter++) + ".tmp";
        const int fd = CreateOutputFile(*temp_name, O_EXCL, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

int WriteWholeAndClose(FileDescriptor& file, std::string_view bytes,
                       std::optional<mode_t> permissions) {
    int error = WriteAll(file.Get(), bytes.data(), bytes.size());
    if (error == 0 && permissions && ::fchmod(file.Get(), *permissions) != 0) {
        error = errno;
    }
    if (error == 0 && ::fsync(file.Get()) != 0) {
        error = errno;
    }
    if (const int close_error = file.Close(); error == 0) {
        error = close_error;
    }
    return error;
}

void SaveFileSafely(const std::string& name, std::string_view bytes) {
    // A name the C library would cut at an embedded NUL names another file than the one
    // chosen; an empty name or a folder cannot take the document.
    struct stat existing {};
    const std::string target = name.find('\0') == std::string::npos ? SaveTarget(name) : "";
    const bool exists = !target.empty() && ::stat(target.c_str(), &existing) == 0;
    if (target.empty() || (exists && S_ISDIR(existing.st_mode))) {
        throw FileCreateError(name);
    }
    if (const int own = exists ? OwnStream(existing) : -1; own >= 0) {
        WriteToOwnStream(own, bytes);
        return;
    }
    if (exists && (S_ISFIFO(existing.st_mode) || S_ISCHR(existing.st_mode))) {
        WriteInPlace(name, target, bytes);
        return;
    }
    // Any other node that is not a regular file (a block device, a socket) is left alone, and
    // a file the user may not write is not replaced behind its permission bits.
    if (exists && (!S_ISREG(existing.st_mode) || !MayWrite(target))) {
        throw FileCreateError(name);
    }

    std::string temp_name;
    FileDescriptor file(CreateBeside(target, &temp_name));
    if (!file.IsOpen()) {
        throw FileCreateError(name);
    }
    const int error = WriteWholeAndClose(
        file, bytes, exists ? std::optional<mode_t>(existing.st_mode & 0777) : std::nullopt);
    if (error != 0) {
        ::unlink(temp_name.c_str());
        throw WriteError(error);
    }
    if (::rename(temp_name.c_str(), target.c_str()) != 0) {
        ::unlink(temp_name.c_str());
        throw FileCreateError(name);
    }
}

}  // namespace korvid
