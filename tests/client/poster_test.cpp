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
        std::filesystem::create_directory(app_path_);
        importer_.AppDir = AppDir();
    }

    std::string CoverUrl(const std::string& target = "/covers/c.jpg") const {
        return server_.BaseUrl() + target;
    }

    std::string AppDir() const { return app_path_ + "/"; }

    std::vector<std::string> FilesInAppDir() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(app_path_)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    // The program's folder lies inside the test's folder, so a name that climbed out of it
    // would still land in a place the test removes.
    TempDir root_;
    const std::string app_path_ = root_.File("app");
    LoopbackServer server_;
    ScriptedPrompts prompts_;
    TIMDBImport importer_;
};

TEST_F(PosterTest, SavesTheBodyUnderTheNameInTheProgramFolder) {
    std::vector<std::uint64_t> progress;
    importer_.SetProgress([&progress](std::uint64_t bytes) { progress.push_back(bytes); });
    ASSERT_TRUE(importer_.DownloadPoster(CoverUrl("/covers/c.jpg?size=large"), "Some Film .jpg"));

    const std::string path = AppDir() + "Some Film .jpg";
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
    EXPECT_EQ(importer_.PosterFile, AppDir() + "Some Film .jpg");
    EXPECT_THAT(FilesInAppDir(), ElementsAre("Some Film .jpg"));
}

TEST_F(PosterTest, EmptyTitleGivesDotJpg) {
    ASSERT_TRUE(importer_.DownloadPoster(CoverUrl(), ".jpg"));
    EXPECT_EQ(ReadFileBytes(AppDir() + ".jpg"), CoverBytes);
}

TEST_F(PosterTest, OverwritesACoverOfTheSameName) {
    WriteFileBytes(AppDir() + "Film.jpg", std::string(10000, 'o'));
    ASSERT_TRUE(importer_.DownloadPoster(CoverUrl(), "Film.jpg"));
    EXPECT_EQ(ReadFileBytes(AppDir() + "Film.jpg"), CoverBytes);
}

TEST_F(PosterTest, ErrorPageBodyIsSavedAsItCame) {
    ASSERT_TRUE(importer_.DownloadPoster(CoverUrl("/missing.jpg"), "Film.jpg"));
    EXPECT_EQ(ReadFileBytes(AppDir() + "Film.jpg"), "<html>gone</html>");
}

TEST_F(PosterTest, LongNameIsCutToFitAndStaysInTheFolder) {
    const std::string name(300, 'n');
    ASSERT_TRUE(importer_.DownloadPoster(CoverUrl(), name));
    const std::string expected_name(255 - AppDir().size(), 'n');
    EXPECT_EQ(importer_.PosterFile, AppDir() + expected_name);
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
    EXPECT_FALSE(FileExists(root_.File("up.jpg")));
    EXPECT_TRUE(prompts_.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Names, RefusedNameTest,
                         ::testing::Values(RefusedName{"Slash", "AC/DC .jpg"},
                                           RefusedName{"ParentFolder", "../up.jpg"},
                                           RefusedName{"Backslash", "..\\up.jpg"},
                                           RefusedName{"LeadingSlash", "/up.jpg"},
                                           RefusedName{"NulByte", std::string("up\0/x.jpg", 9)},
                                           RefusedName{"Blank", " \t "}, RefusedName{"Empty", ""}),
                         [](const ::testing::TestParamInfo<RefusedName>& info) {
                             return std::string(info.param.label);
                         });

TEST_F(PosterTest, FolderThatCannotTakeTheFileGivesFalseWithoutMessage) {
    importer_.AppDir = AppDir() + "no-such-folder/";
    importer_.PosterFile = "old";
    EXPECT_FALSE(importer_.DownloadPoster(CoverUrl(), "Film.jpg"));
    EXPECT_TRUE(importer_.PosterFile.empty());
    EXPECT_TRUE(FilesInAppDir().empty());
    EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(PosterTest, UnreachableAddressKeepsAnEarlierCoverAndGivesFalse) {
    WriteFileBytes(AppDir() + "Film.jpg", "earlier cover");
    const std::string address =
        "http://127.0.0.1:" + std::to_string(LoopbackServer::UnusedPort()) + "/c.jpg";
    EXPECT_FALSE(importer_.DownloadPoster(address, "Film.jpg"));
    EXPECT_TRUE(importer_.PosterFile.empty());
    EXPECT_EQ(ReadFileBytes(AppDir() + "Film.jpg"), "earlier cover");

    EXPECT_FALSE(importer_.DownloadPoster("", "Other.jpg"));
    EXPECT_FALSE(FileExists(AppDir() + "Other.jpg"));
    EXPECT_TRUE(prompts_.messages.empty());
}

}  // namespace
}  // namespace korvid
