// The cover download against a loopback server, into a temporary program folder.

#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "client/IMDBImport.h"
#include "loopback/loopback_server.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using ::testing::ElementsAre;
using test_support::FileExists;
using loopback::HttpRequest;
using loopback::HttpResponse;
using loopback::LoopbackServer;
using test_support::ReadFileBytes;
using test_support::ScriptedPrompts;
using test_support::TempDir;
using test_support::WriteFileBytes;

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

// An empty title (a title line the parser could not read) would give a hidden ".jpg".
TEST_F(PosterTest, EmptyTitleGivesNoCover) {
    for (const std::string name : {".jpg", " \x1b\a.jpg", ""}) {
        EXPECT_FALSE(importer_.DownloadPoster(CoverUrl(), name)) << name;
    }
    EXPECT_EQ(importer_.PosterFile, "");
    EXPECT_THAT(FilesInAppDir(), ElementsAre());
    EXPECT_TRUE(server_.Requests().empty()) << "nothing is fetched for no name";
}

TEST_F(PosterTest, OverwritesACoverOfTheSameName) {
    WriteFileBytes(AppDir() + "Film.jpg", std::string(10000, 'o'));
    ASSERT_TRUE(importer_.DownloadPoster(CoverUrl(), "Film.jpg"));
    EXPECT_EQ(ReadFileBytes(AppDir() + "Film.jpg"), CoverBytes);
}

// The title is cut, never ".jpg": the path fits in 255 bytes and the name ends in ".jpg".
TEST_F(PosterTest, LongNameIsCutToFitAndStaysInTheFolder) {
    // Longer than its room, either cut already by the parser's 255 bytes or whole with ".jpg".
    for (const std::string& name :
         {std::string(300, 'n'), std::string(260 - AppDir().size(), 'n') + ".jpg"}) {
        ASSERT_TRUE(importer_.DownloadPoster(CoverUrl(), name));
        const std::string expected_name(255 - AppDir().size() - 4, 'n');
        EXPECT_EQ(importer_.PosterFile, AppDir() + expected_name + ".jpg");
        EXPECT_THAT(FilesInAppDir(), ElementsAre(expected_name + ".jpg"));
    }
}

TEST_F(PosterTest, WithCoversSwitchedOffNothingIsFetchedOrWritten) {
    importer_.DownloadCovers(false);
    EXPECT_FALSE(importer_.DownloadPoster(CoverUrl(), "Film.jpg"));
    EXPECT_EQ(importer_.PosterFile, "");
    EXPECT_THAT(FilesInAppDir(), ElementsAre());
    EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(PosterTest, ControlCharactersInTheTitleAreDropped) {
    ASSERT_TRUE(importer_.DownloadPoster(CoverUrl(), "Some\x1b[31m\tFilm\a .jpg"));
    EXPECT_EQ(importer_.PosterFile, AppDir() + "Some[31mFilm .jpg");
    EXPECT_THAT(FilesInAppDir(), ElementsAre("Some[31mFilm .jpg"));
}

// ---- Covers that are not kept ----

// A cover that does not arrive whole is removed; an earlier cover of that name with it, as
// the download had begun to replace it.
struct BrokenCover {
    const char* label;
    HttpResponse response;

    friend void PrintTo(const BrokenCover& c, std::ostream* os) { *os << c.label; }
};

class BrokenCoverTest : public PosterTest, public ::testing::WithParamInterface<BrokenCover> {};

TEST_P(BrokenCoverTest, LeavesNoFileAndNoPosterFile) {
    LoopbackServer site([](const HttpRequest&) { return GetParam().response; });
    importer_.PosterFile = "from an earlier film";
    EXPECT_FALSE(importer_.DownloadPoster(site.BaseUrl() + "/c.jpg", "Film.jpg"));
    EXPECT_TRUE(importer_.PosterFile.empty());
    EXPECT_TRUE(FilesInAppDir().empty());
    EXPECT_TRUE(prompts_.messages.empty());
}

HttpResponse CutCover() {
    HttpResponse response = HttpResponse::Ok(CoverBytes + std::string(5000, 'x'), "image/jpeg");
    response.cut_after = 3000;
    return response;
}

INSTANTIATE_TEST_SUITE_P(
    Answers, BrokenCoverTest,
    ::testing::Values(
        BrokenCover{"NotFound", HttpResponse::WithStatus(404, "Not Found", "<html>gone</html>")},
        BrokenCover{"Unavailable", HttpResponse::WithStatus(503, "Busy", "<html>later</html>")},
        BrokenCover{"CutOff", CutCover()},
        BrokenCover{"Over32MiB",
                    HttpResponse::Ok(std::string(32u * 1024u * 1024u + 1u, 'j'), "image/jpeg")}),
    [](const ::testing::TestParamInfo<BrokenCover>& info) {
        return std::string(info.param.label);
    });

TEST_F(PosterTest, ALinkNamedLikeTheCoverIsNotFollowed) {
    WriteFileBytes(root_.File("victim"), "the user's file");
    ASSERT_EQ(::symlink(root_.File("victim").c_str(), (AppDir() + "Film.jpg").c_str()), 0);
    EXPECT_FALSE(importer_.DownloadPoster(CoverUrl(), "Film.jpg"));
    EXPECT_TRUE(importer_.PosterFile.empty());
    EXPECT_EQ(ReadFileBytes(root_.File("victim")), "the user's file");
    EXPECT_TRUE(std::filesystem::is_symlink(AppDir() + "Film.jpg"));
}

// ---- Addresses of other schemes ----

// A TCP listener on loopback that only counts: does any connection reach it?
class Listener {
  public:
    Listener() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(fd_, 4) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            throw std::runtime_error("cannot listen on loopback");
        }
        port_ = ntohs(address.sin_port);
    }
    ~Listener() { ::close(fd_); }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }
    // The connections that arrived (queued by the system, accepted now), and their bytes.
    std::size_t ConnectionsAndBytes() const {
        std::size_t count = 0;
        for (int client; (client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
            char buffer[4096];
            pollfd wait{client, POLLIN, 0};
            for (ssize_t got = 1; got > 0 && ::poll(&wait, 1, 200) > 0;) {
                got = ::recv(client, buffer, sizeof buffer, 0);
                count += got > 0 ? static_cast<std::size_t>(got) : 0;
            }
            ::close(client);
            ++count;
        }
        return count;
    }

  private:
    int fd_;
    std::uint16_t port_ = 0;
};

struct OtherScheme {
    const char* label;
    std::string address;  // "@LISTENER@" stands for the listener, "@SECRET@" for a local file
    bool through_redirect;

    friend void PrintTo(const OtherScheme& c, std::ostream* os) { *os << c.label; }
};

class OtherSchemeTest : public PosterTest, public ::testing::WithParamInterface<OtherScheme> {};

TEST_P(OtherSchemeTest, GivesNoCoverReadsNothingAndSendsNothing) {
    Listener listener;
    const std::string secret = root_.File("secret");
    WriteFileBytes(secret, "root:x:0:0:the user's secret");
    std::string address = GetParam().address;
    if (const std::size_t at = address.find("@LISTENER@"); at != std::string::npos) {
        address.replace(at, 10, listener.HostPort());
    }
    if (const std::size_t at = address.find("@SECRET@"); at != std::string::npos) {
        address.replace(at, 8, secret);
    }
    LoopbackServer site([&address](const HttpRequest&) { return HttpResponse::Redirect(address); });
    const std::string asked = GetParam().through_redirect ? site.BaseUrl() + "/c.jpg" : address;

    EXPECT_FALSE(importer_.DownloadPoster(asked, "Film.jpg"));
    EXPECT_TRUE(importer_.PosterFile.empty());
    EXPECT_TRUE(FilesInAppDir().empty());
    EXPECT_EQ(listener.ConnectionsAndBytes(), 0u);

    TransferInfo info;
    EXPECT_FALSE(DownloadToFile(asked, AppDir() + "direct.jpg", {}, &info));
    EXPECT_EQ(info.error, "not an http or https address");
    EXPECT_TRUE(FilesInAppDir().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, OtherSchemeTest,
    ::testing::Values(OtherScheme{"File", "file://@SECRET@", false},
                      OtherScheme{"Gopher", "gopher://@LISTENER@/1secret", false},
                      OtherScheme{"Dict", "dict://@LISTENER@/d:secret", false},
                      OtherScheme{"Ftp", "ftp://@LISTENER@/cover.jpg", false},
                      OtherScheme{"RedirectToFtp", "ftp://@LISTENER@/cover.jpg", true},
                      OtherScheme{"RedirectToFile", "file://@SECRET@", true}),
    [](const ::testing::TestParamInfo<OtherScheme>& info) {
        return std::string(info.param.label);
    });

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
