#pragma once
// Owns one open POSIX file descriptor and closes it on every path.

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace korvid {

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const noexcept { return fd_; }
    bool IsOpen() const noexcept { return fd_ >= 0; }

    // Gives the descriptor up to the caller, who closes it.
    int Release() noexcept { return std::exchange(fd_, -1); }

    // Closes now and gives the errno of a failed close, or 0. A write can fail only here
    // (on some file systems), so writers close explicitly and check.
    int Close() noexcept {
        const int fd = std::exchange(fd_, -1);
        return fd >= 0 && ::close(fd) != 0 ? errno : 0;
    }

  private:
    int fd_;
};

}  // namespace korvid
