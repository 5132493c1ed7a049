#include "common/errors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <exception>
#include <string>
#include <utility>

namespace korvid {
namespace {

// An errno value and the code and text of the error it gives.
struct Case {
    int error_number;
    int code;
    const char* text;
};

TEST(IoErrorTest, SystemErrorsMapToCodesAndTexts) {
    for (const Case c :
         {Case{ENOENT, 2, "File not found"}, Case{ENAMETOOLONG, 3, "Invalid filename"},
          Case{EMFILE, 4, "Too many open files"}, Case{ENFILE, 4, "Too many open files"},
          Case{EACCES, 5, "File access denied"}, Case{EPERM, 5, "File access denied"},
          Case{EROFS, 5, "File access denied"}, Case{ENOSPC, ENOSPC, "I/O error 28"},
          Case{EINVAL, EINVAL, "I/O error 22"},
          // Unmapped numbers that equal a fixed code still read as plain I/O errors.
          Case{EIO, 5, "I/O error 5"}, Case{EINTR, 4, "I/O error 4"},
          Case{ESRCH, 3, "I/O error 3"}}) {
        const IoError error = IoError::FromErrno(c.error_number);
        EXPECT_EQ(error.Code(), c.code) << c.error_number;
        EXPECT_STREQ(error.what(), c.text) << c.error_number;
    }
}

TEST(IoErrorTest, ReadAndWriteShortfallCodesHaveTheirOwnTexts) {
    EXPECT_STREQ(IoError(100).what(), "Read beyond end of file");
    EXPECT_STREQ(IoError(101).what(), "Disk full");
    EXPECT_STREQ(IoError(131).what(), "I/O error 131");
    EXPECT_STREQ(IoError(IoError::ChangedWhileTagged).what(),
                 "the file changed while it was tagged");
}

// A write that stopped short (no errno) or found no room reads "Disk full"; any other failure
// keeps the system's error.
TEST(IoErrorTest, FailedWritesMapToDiskFullOrTheSystemsError) {
    for (const Case c :
         {Case{0, IoError::DiskFull, "Disk full"}, Case{ENOSPC, IoError::DiskFull, "Disk full"},
          Case{EDQUOT, IoError::DiskFull, "Disk full"}, Case{EFBIG, IoError::DiskFull, "Disk full"},
          Case{EACCES, 5, "File access denied"}, Case{EIO, 5, "I/O error 5"}}) {
        const IoError error = WriteError(c.error_number);
        EXPECT_EQ(error.Code(), c.code) << c.error_number;
        EXPECT_STREQ(error.what(), c.text) << c.error_number;
    }
}

// Messages outside the tag writer name the system's error in words, never by its number.
TEST(IoErrorTest, ErrnoTextIsWords) {
    for (const Case c : {Case{ENOENT, 0, "File not found"}, Case{EACCES, 0, "File access denied"},
                         Case{EISDIR, 0, "Is a directory"}, Case{EIO, 0, "Input/output error"},
                         Case{ELOOP, 0, "Too many levels of symbolic links"}}) {
        EXPECT_EQ(ErrnoText(c.error_number), c.text) << c.error_number;
    }
}

TEST(ErrorTextTest, FileAndListErrorsCarryTheirArgument) {
    EXPECT_STREQ(FileOpenError("/m/film.avi").what(), "Cannot open file /m/film.avi");
    EXPECT_STREQ(FileCreateError("/x/out.xml").what(), "Cannot create file /x/out.xml");
    EXPECT_STREQ(ListIndexError(-1).what(), "List index out of bounds (-1)");
    EXPECT_STREQ(JpegError(42).what(), "JPEG error #42");
}

// The error box keeps the error's own text and adds the cause in words on a line of its own.
TEST(ErrorTextTest, TheErrorBoxAddsTheCauseInWords) {
    const std::pair<std::exception_ptr, const char*> cases[] = {
        {std::make_exception_ptr(IoError::FromErrno(EROFS)),
         "File access denied\nRead-only file system"},
        {std::make_exception_ptr(IoError::FromErrno(EIO)), "I/O error 5\nInput/output error"},
        {std::make_exception_ptr(IoError::FromErrno(EACCES)), "File access denied"},
        {std::make_exception_ptr(IoError(22, "The file is 3 bytes long.")),
         "I/O error 22\nThe file is 3 bytes long."},
        {std::make_exception_ptr(JpegError(42, "The cover file is empty.")),
         "JPEG error #42\nThe cover file is empty."},
        {std::make_exception_ptr(FileOpenError("/m")), "Cannot open file /m"},
    };
    for (const auto& [error, text] : cases) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            EXPECT_EQ(ErrorBoxText(e), text);
        }
    }
}

}  // namespace
}  // namespace korvid
