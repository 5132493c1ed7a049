#pragma once
// The error types of Korvid. Every one derives from std::runtime_error and carries the
// text the user sees. SilentAbort is the one error that is never shown.

#include <stdexcept>
#include <string>
#include <utility>

namespace korvid {

// An input/output failure with a numeric code. The text follows from the code:
// 2 "File not found", 3 "Invalid filename", 4 "Too many open files",
// 5 "File access denied", 100 "Read beyond end of file", 101 "Disk full",
// 102 "the file changed while it was tagged", "I/O error %d" for every other code.
class IoError : public std::runtime_error {
  public:
    // The codes of Korvid's own that no errno gives.
    static constexpr int ReadBeyondEnd = 100;
    static constexpr int DiskFull = 101;
    static constexpr int ChangedWhileTagged = 102;

    explicit IoError(int code);
    // With the cause in words, for the error box's second line (ErrorBoxText).
    IoError(int code, std::string cause);
    int Code() const noexcept { return code_; }
    const std::string& Cause() const noexcept { return cause_; }

    // The code for a POSIX errno value: ENOENT 2, ENAMETOOLONG 3, EMFILE and ENFILE 4,
    // EACCES, EPERM and EROFS 5; any other value keeps its number.
    static int CodeFromErrno(int error_number) noexcept;
    // The error for a POSIX errno value. An errno without its own code keeps its number and
    // reads "I/O error %d", also where that number equals one of the codes above (EIO is 5);
    // its cause is the system's words for it, as for a read-only file system.
    static IoError FromErrno(int error_number);
    static std::string TextForCode(int code);

  private:
    IoError(int code, const std::string& text, std::string cause)
        : std::runtime_error(text), code_(code), cause_(std::move(cause)) {}
    int code_;
    std::string cause_;
};

// The error of a write that stored less than it was given: DiskFull when the file system ran
// out of room (ENOSPC, EDQUOT, EFBIG) or the write simply stopped (error_number 0), the
// system's own error (IoError::FromErrno) otherwise.
IoError WriteError(int error_number);

// The system's error in words for a message that names a file: the fixed texts above for the
// errno values that have them ("File not found", "File access denied"), the C library's own
// words ("Is a directory", "Input/output error") for every other. For messages outside the
// tag writer, whose "I/O error %d" form is fixed.
std::string ErrnoText(int error_number);

// "Cannot open file %s"
class FileOpenError : public std::runtime_error {
  public:
    explicit FileOpenError(const std::string& file_name);
};

// "Cannot create file %s"
class FileCreateError : public std::runtime_error {
  public:
    explicit FileCreateError(const std::string& file_name);
};

// "List index out of bounds (%d)"
class ListIndexError : public std::runtime_error {
  public:
    explicit ListIndexError(long long index);
};

// "JPEG error #%d" with the decoder's message code.
class JpegError : public std::runtime_error {
  public:
    // "JPEG error #%d"; the cause says what is wrong with the picture in words.
    explicit JpegError(int message_code, std::string cause = {});
    int MessageCode() const noexcept { return message_code_; }
    const std::string& Cause() const noexcept { return cause_; }

  private:
    int message_code_;
    std::string cause_;
};

// The text of an error box: the error's text, and on a line of its own the cause in words
// where the error carries one.
std::string ErrorBoxText(const std::exception& error);

// Ends an action without telling the user anything.
class SilentAbort : public std::runtime_error {
  public:
    SilentAbort() : std::runtime_error("Operation aborted") {}
};

}  // namespace korvid
