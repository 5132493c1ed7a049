// A full disk under the cover, the temporary page and the two documents: a small tmpfs
// mounted by the test (root only; skipped otherwise) and filled by a filler file.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "client/IMDBImport.h"
#include "common/errors.h"
#include "loopback/loopback_server.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using loopback::HttpRequest;
using loopback::HttpResponse;
using loopback::LoopbackServer;
using test_support::ReadFileBytes;
using test_support::TempDir;
using test_support::WriteFileBytes;

// A 256 KiB tmpfs on a fresh folder, unmounted on every path.
class SmallDisk {
  public:
    SmallDisk() {
        if (::mount("tmpfs", dir_.Path().c_str(), "tmpfs", 0, "size=256k,mode=0755") == 0) {
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

class FullDiskTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!disk_.Mounted()) {
            GTEST_SKIP() << "a full disk needs a tmpfs, which only root can mount here ("
                         << disk_.Reason() << ")";
        }
        importer_.AppDir = disk_.Dir();
        importer_.Host = server_.HostPort();
    }

    // A page and a cover each larger than the room left on the disk.
    static HttpResponse Answer(const HttpRequest& request) {
        if (request.target.rfind("/find", 0) == 0) {
            return HttpResponse::Ok("<title>IMDb Search</title>\r\n" + std::string(64 * 1024, 'p'));
        }
        return HttpResponse::Ok(std::string(64 * 1024, 'c'), "image/jpeg");
    }

    SmallDisk disk_;
    LoopbackServer server_{Answer};
    test_support::ScriptedPrompts prompts_;
    TIMDBImport importer_{prompts_};
};

TEST_F(FullDiskTest, ACoverThatDoesNotFitLeavesNoFile) {
    disk_.Fill(8 * 1024);
    EXPECT_FALSE(importer_.DownloadPoster(server_.BaseUrl() + "/c.jpg", "Film.jpg"));
    EXPECT_TRUE(importer_.PosterFile.empty());
    EXPECT_TRUE(disk_.Files().empty());
    EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(FullDiskTest, ATemporaryPageThatDoesNotFitIsAFailedDownloadReadingDiskFull) {
    disk_.Fill(8 * 1024);
    importer_.Title = "Alien";
    EXPECT_FALSE(importer_.SearchTitle());
    EXPECT_EQ(importer_.Outcome(), LookupOutcome::DownloadFailed);
    EXPECT_EQ(importer_.DownloadFailure(), "Disk full");
    EXPECT_EQ(prompts_.messages, std::vector<std::string>{"Cannot Download Page From Website !"});
    EXPECT_TRUE(disk_.Files().empty());
}

TEST_F(FullDiskTest, ADocumentThatDoesNotFitLeavesTheEarlierFileAsItWas) {
    importer_.Title = "Alien";
    importer_.PageLines.SetText("<title>Alien (1979)</title>\r\n<b>8.5/10</b>\r\n");
    importer_.ParseMoviePage();
    WriteFileBytes(disk_.Dir() + "film.xml", "earlier xml");
    WriteFileBytes(disk_.Dir() + "film.csv", "earlier csv");
    disk_.Fill(0);
    for (const bool xml : {true, false}) {
        const std::string name = disk_.Dir() + (xml ? "film.xml" : "film.csv");
        try {
            xml ? importer_.SaveXml(name) : importer_.SaveCsv(name);
            ADD_FAILURE() << "no error for " << name;
        } catch (const IoError& error) {
            EXPECT_EQ(error.Code(), 101);
            EXPECT_STREQ(error.what(), "Disk full");
        }
    }
    EXPECT_EQ(ReadFileBytes(disk_.Dir() + "film.xml"), "earlier xml");
    EXPECT_EQ(ReadFileBytes(disk_.Dir() + "film.csv"), "earlier csv");
    EXPECT_EQ(disk_.Files().size(), 2u) << "no temporary file is left";
}

}  // namespace
}  // namespace korvid
