// A full disk under the cover, the temporary page and the two documents: a small tmpfs
// mounted by the test (root only; skipped otherwise) and filled by a filler file.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/IMDBImport.h"
#include "common/errors.h"
#include "loopback/loopback_server.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/small_disk.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using loopback::HttpRequest;
using loopback::HttpResponse;
using loopback::LoopbackServer;
using test_support::ReadFileBytes;
using test_support::SmallDisk;
using test_support::TempDir;
using test_support::WriteFileBytes;

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
    EXPECT_EQ(prompts_.messages, std::vector<std::string>{"Cannot Download Page From Website !\nDisk full"});
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
