// The cover download against a loopback server, into a temporary program folder.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "client/IMDBImport.h"
#include "tests/support/loopback_server.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using ::testing::ElementsAre;
using testing::FileExists;
using testing::HttpRequest;
using testing::HttpResponse;
using testing::LoopbackServer;
using testing::ReadFileBytes;
using testing::ScriptedPrompts;
using testing::TempDir;
using testing::WriteFileBytes;

const std::string CoverBytes = std::string("\xFF\xD8\xFF\xE0\0\r\n", 7) + "cover" + "\xFF\xD9";

class PosterTest : public ::testing::Test {
  protected:
    PosterTest()
        : server_([](const HttpRequest& request) {
              if (request.target.rfind("/missing", 0) == 0) {
                  return HttpResponse::WithStatus(404, "Not Found", "<html>gone</html>");
              }
              return HttpResponse::Ok(CoverBytes, "image/jpeg");
          }),
          importer_(prompts_) {
        importer_.AppDir = app_dir_.Dir();
    }

    std::string CoverUrl(const std::string& target = "/covers/c.jpg") const {
        return server_.BaseUrl() + target;
    }

    std::vector<std::string> FilesInAppDir() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(app_dir_.Path())) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    TempDir app_dir_;
    LoopbackServer server_;
    ScriptedPrompts prompts_;
    TIMDBImport importer_;
};

TEST_F(PosterTest, SavesTheBodyUnderTheNameInTheProgramFolder) {
    std::vector<std::uint64_t> progress;
    importer_.SetProgress([&progress](std::uint64_t bytes) { progress.push_back(bytes); });
    ASSERT_TRUE(importer_.DownloadPoster(CoverUrl("/covers/c.jpg?size=large"), "Some Film .jpg"));

    const std::string path = app_dir_.Dir() + "Some Film .jpg";
    EXPECT_EQ(importer_.PosterFile, path);
    EXPECT_EQ(ReadFileBytes(path), CoverBytes);
    ASSERT_EQ(server_.Requests().size(), 1u);
    EXPECT_EQ(server_.Requests()[0].target, "/covers/c.jpg?size=large");
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), CoverBytes.size());
    EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(PosterTest, NameLosesLeadingAndTrailingBlanks) {
    ASSERT_TRUE(importer_.DownloadPoster(CoverUrl(), " \t Some Film .jpg \r\n"));
    EXPECT_EQ(importer_.PosterFile, app_dir_.Dir() + "Some Film .jpg");
    EXPECT_THAT(FilesInAppDir(), ElementsAre("Some Film .jpg"));
}

TEST_F(PosterTest, EmptyTitleGivesDotJpg) {
    ASSERT_TRUE(importer_.DownloadPoster(CoverUrl(), ".jpg"));
    EXPECT_EQ(ReadFileBytes(app_dir_.Dir() + ".jpg"), CoverBytes);
}

TEST_F(PosterTest, OverwritesACoverOfTheSameName) {
    WriteFileBytes(app_dir_.Dir() + "Film.jpg", std::string(10000, 'o'));
    ASSERT_TRUE(importer_.DownloadPoster(CoverUrl(), "Film.jpg"));
    EXPECT_EQ(ReadFileBytes(app_dir_.Dir() + "Film.jpg"), CoverBytes);
}

TEST_F(PosterTest, ErrorPageBodyIsSavedAsItCame) {
    ASSERT_TRUE(importer_.DownloadPoster(CoverUrl("/missing.jpg"), "Film.jpg"));
    EXPECT_EQ(ReadFileBytes(app_dir_.Dir() + "Film.jpg"), "<html>gone</html>");
}

TEST_F(PosterTest, LongNameIsCutToFitAndStaysInTheFolder) {
    const std::string name(300, 'n');
    ASSERT_TRUE(importer_.DownloadPoster(CoverUrl(), name));
    const std::string expected_name(255 - app_dir_.Dir().size(), 'n');
    EXPECT_EQ(importer_.PosterFile, app_dir_.Dir() + expected_name);
    EXPECT_THAT(FilesInAppDir(), ElementsAre(expected_name));
}

struct RefusedName {
    const char* label;
    std::string name;
};

class RefusedNameTest : public PosterTest, public ::testing::WithParamInterface<RefusedName> {};

TEST_P(RefusedNameTest, WritesNothingAndLeavesPosterFileEmpty) {
    importer_.PosterFile = "from an earlier film";
    EXPECT_FALSE(importer_.DownloadPoster(CoverUrl(), GetParam().name));
    EXPECT_TRUE(importer_.PosterFile.empty());
    EXPECT_TRUE(server_.Requests().empty());
    EXPECT_TRUE(FilesInAppDir().empty());
    EXPECT_FALSE(FileExists(std::filesystem::path(app_dir_.Path()).parent_path() / "up.jpg"));
    EXPECT_TRUE(prompts_.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Names, RefusedNameTest,
                         ::testing::Values(RefusedName{"Slash", "AC/DC .jpg"},
                                           RefusedName{"ParentFolder", "../up.jpg"},
                                           RefusedName{"Backslash", "..\\up.jpg"},
                                           RefusedName{"AbsolutePath", "/tmp/up.jpg"},
                                           RefusedName{"NulByte", std::string("up\0/x.jpg", 9)},
                                           RefusedName{"Blank", " \t "}, RefusedName{"Empty", ""}),
                         [](const ::testing::TestParamInfo<RefusedName>& info) {
                             return std::string(info.param.label);
                         });

TEST_F(PosterTest, FolderThatCannotTakeTheFileGivesFalseWithoutMessage) {
    importer_.AppDir = app_dir_.Dir() + "no-such-folder/";
    importer_.PosterFile = "old";
    EXPECT_FALSE(importer_.DownloadPoster(CoverUrl(), "Film.jpg"));
    EXPECT_TRUE(importer_.PosterFile.empty());
    EXPECT_TRUE(FilesInAppDir().empty());
    EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(PosterTest, UnreachableAddressKeepsAnEarlierCoverAndGivesFalse) {
    WriteFileBytes(app_dir_.Dir() + "Film.jpg", "earlier cover");
    const std::string address =
        "http://127.0.0.1:" + std::to_string(LoopbackServer::UnusedPort()) + "/c.jpg";
    EXPECT_FALSE(importer_.DownloadPoster(address, "Film.jpg"));
    EXPECT_TRUE(importer_.PosterFile.empty());
    EXPECT_EQ(ReadFileBytes(app_dir_.Dir() + "Film.jpg"), "earlier cover");

    EXPECT_FALSE(importer_.DownloadPoster("", "Other.jpg"));
    EXPECT_FALSE(FileExists(app_dir_.Dir() + "Other.jpg"));
    EXPECT_TRUE(prompts_.messages.empty());
}

}  // namespace
}  // namespace korvid
