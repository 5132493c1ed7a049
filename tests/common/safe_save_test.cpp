// The safe save on real files in a temporary folder: a regular file is replaced whole, a FIFO
// or a character device is written where it stands, and what the user may not write is
// refused, never renamed over.

#include "common/safe_save.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "common/errors.h"
#include "common/file_descriptor.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

namespace fs = std::filesystem;
using test_support::ReadFileBytes;
using test_support::TempDir;
using test_support::WriteFileBytes;

const std::string Document = "<DVD_Data>\r\n</DVD_Data>\r\n";

bool IsFifo(const std::string& path) {
    return fs::status(path).type() == fs::file_type::fifo;
}

// Everything a non-blocking descriptor holds now.
std::string Drain(int fd) {
    std::string bytes;
    char buffer[4096];
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) {
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}

void ExpectCreateError(const std::string& name) {
    try {
        SaveFileSafely(name, Document);
        ADD_FAILURE() << "no error for " << name;
    } catch (const FileCreateError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot create file " + name);
    }
}

class SafeSaveTest : public ::testing::Test {
  protected:
    // The names in the folder, to see that no temporary file is left behind.
    std::size_t Entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_.Path()), {}));
    }
    std::string MakeFifo(const std::string& name) const {
        const std::string path = dir_.File(name);
        EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0) << std::strerror(errno);
        return path;
    }

    TempDir dir_;
};

TEST_F(SafeSaveTest, ARegularFileIsReplacedWholeAndKeepsItsPermissionBits) {
    const std::string path = dir_.File("film.xml");
    WriteFileBytes(path, std::string(5000, 'z'));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    SaveFileSafely(path, Document);
    EXPECT_EQ(ReadFileBytes(path), Document);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(SafeSaveTest, AFifoWithAReaderGetsTheBytesAndStaysAFifo) {
    const std::string fifo = MakeFifo("film.xml");
    FileDescriptor reader(::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    ASSERT_TRUE(reader.IsOpen());
    SaveFileSafely(fifo, Document);
    EXPECT_EQ(Drain(reader.Get()), Document);
    EXPECT_TRUE(IsFifo(fifo));
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(SafeSaveTest, AFifoWithoutAReaderIsRefusedAtOnceAndStaysAFifo) {
    const std::string fifo = MakeFifo("film.csv");
    ExpectCreateError(fifo);
    EXPECT_TRUE(IsFifo(fifo));
    EXPECT_EQ(Entries(), 1u);
}

// /dev/stdout on a pipe is such a link: the save writes into the pipe.
TEST_F(SafeSaveTest, ALinkToAFifoWritesIntoTheFifoAndKeepsTheLink) {
    const std::string fifo = MakeFifo("pipe");
    const std::string link = dir_.File("stdout");
    fs::create_symlink(fifo, link);
    FileDescriptor reader(::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    ASSERT_TRUE(reader.IsOpen());
    SaveFileSafely(link, Document);
    EXPECT_EQ(Drain(reader.Get()), Document);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(IsFifo(fifo));
}

// A reader that goes away during a long write makes it fail with its error; the program
// goes on (no SIGPIPE ends it).
TEST_F(SafeSaveTest, AFifoWhoseReaderLeavesIsAWriteErrorNotTheProgramsEnd) {
    const std::string fifo = MakeFifo("film.xml");
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    // The reader takes a byte once the writer has begun, then leaves; it waits ten seconds at
    // most, so a save that never writes into the FIFO fails the test instead of hanging it.
    std::thread leaves([reader] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        char byte;
        while (::read(reader, &byte, 1) <= 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ::close(reader);
    });
    try {
        SaveFileSafely(fifo, std::string(4 << 20, 'x'));
        ADD_FAILURE() << "no error though the reader left";
    } catch (const IoError& error) {
        EXPECT_EQ(error.Code(), EPIPE);
    }
    leaves.join();
    sigset_t pending;
    sigemptyset(&pending);
    ::sigpending(&pending);
    EXPECT_EQ(sigismember(&pending, SIGPIPE), 0) << "a SIGPIPE was left pending";
    EXPECT_TRUE(IsFifo(fifo));
}

// A character device of the test's own, the same as /dev/null: written in place, it stays a
// device. Making one takes root.
TEST_F(SafeSaveTest, ACharacterDeviceIsWrittenInPlaceAndStaysADevice) {
    const std::string device = dir_.File("null");
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
        GTEST_SKIP() << "cannot make a device node here (" << std::strerror(errno)
                     << "); that takes root";
    }
    SaveFileSafely(device, Document);
    EXPECT_EQ(fs::status(device).type(), fs::file_type::character);
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(SafeSaveTest, AFolderOrASocketIsRefusedAndLeftAlone) {
    ExpectCreateError(dir_.Path());
    fs::create_directory(dir_.File("folder"));
    ExpectCreateError(dir_.File("folder"));
    EXPECT_TRUE(fs::is_directory(dir_.File("folder")));

    const std::string socket_path = dir_.File("socket");
    FileDescriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socket_path.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, socket_path.c_str(), socket_path.size() + 1);
    ASSERT_EQ(::bind(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ExpectCreateError(socket_path);
    EXPECT_EQ(fs::status(socket_path).type(), fs::file_type::socket);
    EXPECT_EQ(Entries(), 2u);
}

// A 0444 file in a folder the user may write: the save is refused as a plain write would be,
// and the file keeps its bytes and its mode. Root may write any file, so under root the case
// runs as the unprivileged user "nobody" (RunUnprivileged).
TEST_F(SafeSaveTest, AFileTheUserMayNotWriteIsRefusedAndKeptAsItWas) {
    ASSERT_EQ(::chmod(dir_.Path().c_str(), 0777), 0);
    const std::string path = dir_.File("read-only.csv");
    const std::string before = "kept\r\n";
    const int result = test_support::RunUnprivileged([&] {
        WriteFileBytes(path, before);
        if (::chmod(path.c_str(), 0444) != 0) {
            return 10;
        }
        try {
            SaveFileSafely(path, Document);
            return 11;  // replaced
        } catch (const FileCreateError& error) {
            if (std::string(error.what()) != "Cannot create file " + path) {
                return 12;
            }
        }
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0 || (info.st_mode & 0777) != 0444) {
            return 13;
        }
        return ReadFileBytes(path) == before ? 0 : 14;
    });
    EXPECT_EQ(result, 0) << "10 chmod failed, 11 the file was replaced, 12 another message, "
                            "13 the mode changed, 14 the bytes changed, 98/99 the run failed";
}

}  // namespace
}  // namespace korvid
