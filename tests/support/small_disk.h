#pragma once
// A full disk for the tests: a small tmpfs mounted on a fresh folder (root only; a test
// skips without it), filled by a filler file up to the room it is told to leave.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace korvid::test_support {

// A tmpfs of size_option ("256k") on a fresh folder, unmounted on every path.
class SmallDisk {
  public:
    explicit SmallDisk(const std::string& size_option = "256k") {
        const std::string options = "size=" + size_option + ",mode=0755";
        if (::mount("tmpfs", dir_.Path().c_str(), "tmpfs", 0, options.c_str()) == 0) {
            mounted_ = true;
        } else {
            reason_ = std::strerror(errno);
        }
    }
    ~SmallDisk() {
        if (mounted_) {
            ::umount2(dir_.Path().c_str(), MNT_DETACH);
        }
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool Mounted() const { return mounted_; }
    const std::string& Reason() const { return reason_; }
    std::string Dir() const { return dir_.Dir(); }

    // Fills the disk with a filler file, then gives back room bytes of it.
    void Fill(off_t room) const {
        const int fd =
            ::open((dir_.Dir() + ".filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        const std::string block(4096, 'f');
        off_t size = 0;
        for (ssize_t written = 1; written > 0;) {
            written = ::write(fd, block.data(), block.size());
            size += written > 0 ? written : 0;
        }
        EXPECT_EQ(errno, ENOSPC);
        EXPECT_EQ(::ftruncate(fd, size > room ? size - room : 0), 0);
        ::close(fd);
    }

    // The files besides the filler.
    std::vector<std::string> Files() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
            if (entry.path().filename() != ".filler") {
                names.push_back(entry.path().filename().string());
            }
        }
        return names;
    }

  private:
    TempDir dir_;
    bool mounted_ = false;
    std::string reason_;
};

}  // namespace korvid::test_support
