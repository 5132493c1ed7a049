#include "common/errors.h"

#include <cerrno>
#include <cstring>

namespace korvid {

IoError::IoError(int code) : std::runtime_error(TextForCode(code)), code_(code) {}

IoError::IoError(int code, std::string cause)
    : std::runtime_error(TextForCode(code)), code_(code), cause_(std::move(cause)) {}

namespace {

// The code of an errno value that has one of the fixed codes, 0 for any other.
int MappedCode(int error_number) noexcept {
    switch (error_number) {
        case ENOENT:
            return 2;
        case ENAMETOOLONG:
            return 3;
        case EMFILE:
        case ENFILE:
            return 4;
        case EACCES:
        case EPERM:
        case EROFS:
            return 5;
        default:
            return 0;
    }
}

}  // namespace

int IoError::CodeFromErrno(int error_number) noexcept {
    const int code = MappedCode(error_number);
    return code != 0 ? code : error_number;
}

IoError IoError::FromErrno(int error_number) {
    const int code = MappedCode(error_number);
    if (code == 0) {
        return IoError(error_number, "I/O error " + std::to_string(error_number),
                       std::strerror(error_number));
    }
    // "File access denied" says nothing of a file system mounted read-only.
    return IoError(code, error_number == EROFS ? std::strerror(error_number) : std::string());
}

std::string IoError::TextForCode(int code) {
    switch (code) {
        case 2:
            return "File not found";
        case 3:
            return "Invalid filename";
        case 4:
            return "Too many open files";
        case 5:
            return "File access denied";
        case ReadBeyondEnd:
            return "Read beyond end of file";
        case DiskFull:
            return "Disk full";
        case ChangedWhileTagged:
            return "the file changed while it was tagged";
        default:
            return "I/O error " + std::to_string(code);
    }
}

IoError WriteError(int error_number) {
    if (error_number == 0 || error_number == ENOSPC || error_number == EDQUOT ||
        error_number == EFBIG) {
        return IoError(IoError::DiskFull);
    }
    return IoError::FromErrno(error_number);
}

std::string ErrnoText(int error_number) {
    const int code = MappedCode(error_number);
    if (code != 0) {
        return IoError::TextForCode(code);
    }
    // The English words, whatever the locale, and safe from any thread.
    const char* words = ::strerrordesc_np(error_number);
    return words != nullptr ? std::string(words) : IoError::TextForCode(error_number);
}

FileOpenError::FileOpenError(const std::string& file_name)
    : std::runtime_error("Cannot open file " + file_name) {}

FileCreateError::FileCreateError(const std::string& file_name)
    : std::runtime_error("Cannot create file " + file_name) {}

ListIndexError::ListIndexError(long long index)
    : std::runtime_error("List index out of bounds (" + std::to_string(index) + ")") {}

JpegError::JpegError(int message_code, std::string cause)
    : std::runtime_error("JPEG error #" + std::to_string(message_code)),
      message_code_(message_code),
      cause_(std::move(cause)) {}

std::string ErrorBoxText(const std::exception& error) {
    std::string text = error.what();
    const std::string* cause = nullptr;
    if (const auto* io = dynamic_cast<const IoError*>(&error)) {
        cause = &io->Cause();
    } else if (const auto* jpeg = dynamic_cast<const JpegError*>(&error)) {
        cause = &jpeg->Cause();
    }
    if (cause != nullptr && !cause->empty()) {
        text += "\n" + *cause;
    }
    return text;
}

}  // namespace korvid
