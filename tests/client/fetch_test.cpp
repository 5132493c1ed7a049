// Page fetching against a real HTTP server on loopback.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "client/IMDBImport.h"
#include "common/errors.h"
#include "tests/support/child_process.h"
#include "loopback/loopback_server.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"
#include "tests/support/all_lines.h"

namespace korvid {
namespace {

using test_support::AllLines;
using test_support::FileExists;
using loopback::HttpRequest;
using loopback::HttpResponse;
using loopback::LoopbackServer;
using test_support::ReadFileBytes;
using test_support::ScriptedPrompts;
using test_support::TempDir;
using test_support::WriteFileBytes;

std::string RandomBytes(std::size_t size) {
    std::mt19937 generator(1234);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(byte(generator));
    }
    return bytes;
}

LoopbackServer ServeBody(const std::string& body) {
    return LoopbackServer([body](const HttpRequest&) { return HttpResponse::Ok(body); });
}

TEST(DownloadToFileTest, SendsOnlyTheUserAgentAndWhatHttpNeeds) {
    LoopbackServer server = ServeBody("<html></html>");
    TempDir dir;
    ASSERT_TRUE(DownloadToFile(server.BaseUrl() + "/title/tt0000001/", dir.File("page.htm")));

    const std::vector<HttpRequest> requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].request_line, "GET /title/tt0000001/ HTTP/1.1");
    ASSERT_EQ(requests[0].headers.size(), 2u);
    EXPECT_EQ(requests[0].headers[0].first, "Host");
    EXPECT_EQ(requests[0].headers[0].second, server.HostPort());
    EXPECT_EQ(requests[0].headers[1].first, "User-Agent");
    EXPECT_EQ(requests[0].headers[1].second, "Korvid.exe");
}

TEST(DownloadToFileTest, SavesTheBodyByteForByte) {
    for (const std::size_t size : {0u, 1u, 1023u, 1024u, 1025u, 2048u, 3u * 1024u * 1024u + 7u}) {
        const std::string body = RandomBytes(size);
        LoopbackServer server = ServeBody(body);
        TempDir dir;
        const std::string path = dir.File("body.bin");
        std::uint64_t last_progress = 0;
        ASSERT_TRUE(DownloadToFile(server.BaseUrl() + "/x", path, [&](std::uint64_t received) {
            EXPECT_GT(received, last_progress);
            EXPECT_LE(received - last_progress, 1024u);
            last_progress = received;
        })) << size;
        ASSERT_TRUE(FileExists(path)) << size;
        EXPECT_EQ(ReadFileBytes(path), body) << size;
        EXPECT_EQ(last_progress, size);
    }
}

TEST(DownloadToFileTest, ReplacesAnExistingFile) {
    LoopbackServer server = ServeBody("new");
    TempDir dir;
    WriteFileBytes(dir.File("page.htm"), "an older and longer content");
    ASSERT_TRUE(DownloadToFile(server.BaseUrl() + "/", dir.File("page.htm")));
    EXPECT_EQ(ReadFileBytes(dir.File("page.htm")), "new");
}

TEST(DownloadToFileTest, FollowsRedirectsAndReportsTheFinalAddress) {
    LoopbackServer server([](const HttpRequest& request) {
        if (request.target == "/find?s=all&q=Alien") {
            return HttpResponse::Redirect("/moved");
        }
        if (request.target == "/moved") {
            return HttpResponse::Redirect("/title/tt0000001/", 301);
        }
        return HttpResponse::Ok("film page");
    });
    TempDir dir;
    TransferInfo info;
    ASSERT_TRUE(
        DownloadToFile(server.BaseUrl() + "/find?s=all&q=Alien", dir.File("p.htm"), {}, &info));
    EXPECT_EQ(ReadFileBytes(dir.File("p.htm")), "film page");
    EXPECT_EQ(info.effective_url, server.BaseUrl() + "/title/tt0000001/");
    EXPECT_EQ(info.status, 200);
    EXPECT_EQ(server.Requests().size(), 3u);
    // The redirected requests carry the same agent and nothing more.
    EXPECT_EQ(server.Requests().back().Header("User-Agent"), "Korvid.exe");
    EXPECT_EQ(server.Requests().back().headers.size(), 2u);
}

TEST(DownloadToFileTest, ACutOffTransferKeepsThePartReceived) {
    const std::string body = RandomBytes(5000);
    LoopbackServer server([body](const HttpRequest&) {
        HttpResponse response = HttpResponse::Ok(body);
        response.cut_after = 3000;
        return response;
    });
    TempDir dir;
    TransferInfo info;
    ASSERT_TRUE(DownloadToFile(server.BaseUrl() + "/", dir.File("cut.bin"), {}, &info));
    EXPECT_EQ(ReadFileBytes(dir.File("cut.bin")), body.substr(0, 3000));
    EXPECT_FALSE(info.complete);
}

TEST(DownloadToFileTest, ASlowBodyArrivesWholeWithProgressOnTheWay) {
    const std::string body = RandomBytes(4096);
    LoopbackServer server([body](const HttpRequest&) {
        HttpResponse response = HttpResponse::Ok(body);
        response.piece_size = 512;
        response.piece_delay = std::chrono::milliseconds(20);
        return response;
    });
    TempDir dir;
    std::vector<std::uint64_t> progress;
    ASSERT_TRUE(DownloadToFile(server.BaseUrl() + "/", dir.File("slow.bin"),
                               [&](std::uint64_t received) { progress.push_back(received); }));
    EXPECT_EQ(ReadFileBytes(dir.File("slow.bin")), body);
    ASSERT_GE(progress.size(), 8u);  // at least one report per piece
    EXPECT_EQ(progress.back(), body.size());
}

TEST(DownloadToFileTest, NoConnectionGivesFalseAndNoFile) {
    TempDir dir;
    const std::string path = dir.File("none.htm");
    const std::string address =
        "http://127.0.0.1:" + std::to_string(LoopbackServer::UnusedPort()) + "/find?s=all&q=x";
    EXPECT_FALSE(DownloadToFile(address, path));
    EXPECT_FALSE(FileExists(path));
}

TEST(DownloadToFileTest, ARedirectToAnUnreachableHostGivesFalseAndNoFile) {
    const std::uint16_t unused = LoopbackServer::UnusedPort();
    LoopbackServer server([unused](const HttpRequest&) {
        return HttpResponse::Redirect("http://127.0.0.1:" + std::to_string(unused) +
                                      "/title/tt0000001/");
    });
    TempDir dir;
    EXPECT_FALSE(DownloadToFile(server.BaseUrl() + "/find?s=all&q=x", dir.File("p.htm")));
    EXPECT_FALSE(FileExists(dir.File("p.htm")));
}

// A download that fails leaves no file it wrote, and an earlier file of that name as it was.
struct FailedCase {
    const char* label;
    std::function<HttpResponse(const HttpRequest&)> answer;  // empty: nothing listens
    std::string cause;

    friend void PrintTo(const FailedCase& c, std::ostream* os) { *os << c.label; }
};

class FailedDownloadTest : public ::testing::TestWithParam<FailedCase> {};

TEST_P(FailedDownloadTest, GivesFalseWithTheCauseAndLeavesTheEarlierFile) {
    std::optional<LoopbackServer> server;
    std::string base = "http://127.0.0.1:" + std::to_string(LoopbackServer::UnusedPort());
    if (GetParam().answer) {
        server.emplace(GetParam().answer);
        base = server->BaseUrl();
    }
    TempDir dir;
    WriteFileBytes(dir.File("page.htm"), "earlier");
    TransferInfo info;
    DownloadOptions options;
    options.http.low_speed_seconds = 1;
    EXPECT_FALSE(
        DownloadToFile(base + "/find?s=all&q=x", dir.File("page.htm"), {}, &info, options));
    EXPECT_EQ(info.error, GetParam().cause);
    EXPECT_EQ(ReadFileBytes(dir.File("page.htm")), "earlier");
}

HttpResponse Stalled(const HttpRequest&) {
    HttpResponse response = HttpResponse::Ok("never sent");
    response.piece_size = 1;
    response.piece_delay = std::chrono::milliseconds(30000);  // ends when the server stops
    return response;
}

HttpResponse CutBeforeTheBody(const HttpRequest&) {
    HttpResponse response = HttpResponse::Ok("announced but not sent");
    response.cut_after = 0;
    return response;
}

HttpResponse NoAnswer(const HttpRequest&) {
    HttpResponse response = HttpResponse::Ok("");
    response.close_without_answer = true;
    return response;
}

std::function<HttpResponse(const HttpRequest&)> BrowserCheck(int status, std::string body) {
    return [status, body](const HttpRequest&) {
        HttpResponse response = HttpResponse::WithStatus(status, "Accepted", body);
        response.headers.emplace_back("x-amzn-waf-action", "challenge");
        return response;
    };
}

HttpResponse Accepted202Empty(const HttpRequest&) {
    return HttpResponse::WithStatus(202, "Accepted", "");
}

INSTANTIATE_TEST_SUITE_P(
    Transfers, FailedDownloadTest,
    ::testing::Values(FailedCase{"NotFound",
                                 [](const HttpRequest&) {
                                     return HttpResponse::WithStatus(404, "Not Found",
                                                                     "<html>404 Error</html>");
                                 },
                                 "the site answered 404"},
                      FailedCase{"Unavailable",
                                 [](const HttpRequest&) {
                                     return HttpResponse::WithStatus(503, "Busy",
                                                                     "<title>503 Error</title>");
                                 },
                                 "the site answered 503"},
                      FailedCase{"RedirectLoop",
                                 [](const HttpRequest& request) {
                                     return HttpResponse::Redirect(request.target);
                                 },
                                 "too many redirects"},
                      FailedCase{"StalledBody", Stalled, "the transfer stalled"},
                      FailedCase{"CutBeforeTheBody", CutBeforeTheBody, "the connection broke"},
                      FailedCase{"NoAnswer", NoAnswer, "the server sent no answer"},
                      FailedCase{"NothingListens", {}, "connection refused"},
                      // The site's browser check: 202 with an empty body and the WAF header,
                      // either sign alone, and the header on an error answer.
                      FailedCase{"BrowserCheck", BrowserCheck(202, ""),
                                 "the site asked for a browser check"},
                      FailedCase{"AcceptedWithAnEmptyBody", Accepted202Empty,
                                 "the site asked for a browser check"},
                      FailedCase{"BrowserCheckHeaderOnAPage",
                                 BrowserCheck(200, "<html>check</html>"),
                                 "the site asked for a browser check"},
                      FailedCase{"BrowserCheckHeaderOnAnError", BrowserCheck(405, ""),
                                 "the site asked for a browser check"}),
    [](const ::testing::TestParamInfo<FailedCase>& info) { return std::string(info.param.label); });

TEST(DownloadToFileTest, ASymbolicLinkAtTheNameIsNotFollowed) {
    LoopbackServer server = ServeBody("page-chosen bytes");
    TempDir dir;
    WriteFileBytes(dir.File("victim"), "the user's file");
    ASSERT_EQ(::symlink(dir.File("victim").c_str(), dir.File("link.jpg").c_str()), 0);
    try {
        DownloadToFile(server.BaseUrl() + "/", dir.File("link.jpg"));
        FAIL() << "no error";
    } catch (const FileCreateError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + dir.File("link.jpg"));
    }
    EXPECT_EQ(ReadFileBytes(dir.File("victim")), "the user's file");
}

TEST(DownloadToFileTest, AFileThatCannotBeCreatedRaisesAnIoError) {
    LoopbackServer server = ServeBody("body");
    TempDir dir;
    try {
        DownloadToFile(server.BaseUrl() + "/", dir.File("missing-folder/page.htm"));
        FAIL() << "no error";
    } catch (const IoError& e) {
        EXPECT_EQ(e.Code(), 2);
    }
}

TEST(EncodeRequestTargetTest, EncodesOnlyWhatCannotStandInARequestTarget) {
    struct Case {
        std::string in;
        std::string out;
    };
    const std::vector<Case> cases = {
        {"http://h/find?s=all&q=star wars", "http://h/find?s=all&q=star%20wars"},
        {"http://h/find?s=all&q=Salt & Pepper", "http://h/find?s=all&q=Salt%20&%20Pepper"},
        {"http://h/q=a+b=c%20d/e", "http://h/q=a+b=c%20d/e"},
        {"http://h/q=\"#<>\\^`{|}", "http://h/q=%22%23%3C%3E%5C%5E%60%7B%7C%7D"},
        {"http://h/q=Am\xE9lie\x7F\x01\t", "http://h/q=Am%E9lie%7F%01%09"},
        {"http://h/q=!$'()*,;:@~[]", "http://h/q=!$'()*,;:@~[]"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeRequestTarget(c.in), c.out) << c.in;
    }
}

TEST(DownloadToFileTest, ATitleWithSpacesAndLatin1ReachesTheServerPercentEncoded) {
    LoopbackServer server = ServeBody("list");
    TempDir dir;
    ASSERT_TRUE(DownloadToFile(server.BaseUrl() + "/find?s=all&q=star wars Am\xE9lie 100%",
                               dir.File("p.htm")));
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].target, "/find?s=all&q=star%20wars%20Am%E9lie%20100%");
}

class FetchPageTest : public ::testing::Test {
  protected:
    ScriptedPrompts prompts;
    TIMDBImport importer{prompts};
    TempDir dir;

    void SetUp() override { importer.AppDir = dir.Dir(); }
    std::string TempPage() const { return dir.File("imdbtemp.htm"); }
};

TEST_F(FetchPageTest, LoadsThePageAsLinesWhateverTheLineEnds) {
    for (const std::string& body : {std::string("<html>\r\n<title>A</title>\r\nend"),
                                    std::string("<html>\n<title>A</title>\nend\n"),
                                    std::string("<html>\r<title>A</title>\rend\r")}) {
        LoopbackServer server = ServeBody(body);
        ASSERT_TRUE(importer.FetchPage(server.BaseUrl() + "/"));
        EXPECT_EQ(AllLines(importer.PageLines),
                  (std::vector<std::string>{"<html>", "<title>A</title>", "end"}));
        EXPECT_EQ(ReadFileBytes(TempPage()), body);
    }
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(FetchPageTest, TheTextEndsAtTheFirstNulByte) {
    LoopbackServer server = ServeBody(std::string("one\r\ntw\0o\r\nthree", 16));
    ASSERT_TRUE(importer.FetchPage(server.BaseUrl() + "/"));
    EXPECT_EQ(AllLines(importer.PageLines), (std::vector<std::string>{"one", "tw"}));
}

TEST_F(FetchPageTest, AnUnreachableHostGivesFalseNoFileAndKeepsTheLines) {
    importer.PageLines.Add("previous page");
    WriteFileBytes(TempPage(), "old temporary page");
    const std::string address =
        "http://127.0.0.1:" + std::to_string(LoopbackServer::UnusedPort()) + "/";
    EXPECT_FALSE(importer.FetchPage(address));
    EXPECT_FALSE(FileExists(TempPage()));  // the old one was deleted before the download
    EXPECT_EQ(AllLines(importer.PageLines), std::vector<std::string>{"previous page"});
    EXPECT_TRUE(prompts.messages.empty());  // FetchPage itself never tells the user
}

TEST_F(FetchPageTest, AFolderWhereNoFileCanBeCreatedGivesFalseAndEmptyLines) {
    LoopbackServer server = ServeBody("page");
    importer.PageLines.Add("previous page");
    // A folder path that runs through a regular file: creation fails even for root.
    WriteFileBytes(dir.File("plain-file"), "x");
    importer.AppDir = dir.File("plain-file") + "/";
    EXPECT_FALSE(importer.FetchPage(server.BaseUrl() + "/"));
    EXPECT_TRUE(importer.PageLines.Empty());
}

TEST_F(FetchPageTest, AReadOnlyFolderGivesFalseAndEmptyLines) {
    LoopbackServer server = ServeBody("page");
    importer.PageLines.Add("previous page");
    // Root writes into read-only folders: the fetch then runs as an unprivileged user.
    std::filesystem::permissions(dir.Path(), std::filesystem::perms::others_exec,
                                 std::filesystem::perm_options::add);
    const std::string folder = dir.File("read-only");
    ASSERT_EQ(::mkdir(folder.c_str(), 0555), 0);
    importer.AppDir = folder + "/";
    const int result = test_support::RunUnprivileged([&] {
        const bool fetched = importer.FetchPage(server.BaseUrl() + "/");
        return (fetched ? 1 : 0) + (importer.PageLines.Empty() ? 0 : 2);
    });
    EXPECT_EQ(result, 0) << "1: fetched anyway, 2: the old lines stayed, 99: no unprivileged user";
    EXPECT_EQ(server.Requests().size(), 1u);  // the server answered; the file could not be made
    EXPECT_FALSE(FileExists(TempPage()));
}

TEST_F(FetchPageTest, AnErrorAnswerIsAFailedFetchAndLeavesNoPage) {
    LoopbackServer server([](const HttpRequest&) {
        return HttpResponse::WithStatus(503, "Busy", "<html><title>503 Error</title></html>");
    });
    importer.PageLines.Add("previous page");
    EXPECT_FALSE(importer.FetchPage(server.BaseUrl() + "/"));
    EXPECT_EQ(importer.DownloadFailure(), "the site answered 503");
    EXPECT_EQ(AllLines(importer.PageLines), std::vector<std::string>{"previous page"});
    EXPECT_FALSE(FileExists(TempPage()));
}

TEST_F(FetchPageTest, ALinkNamedLikeTheTemporaryPageIsReplacedNotFollowed) {
    LoopbackServer server = ServeBody("<title>A</title>");
    WriteFileBytes(dir.File("victim"), "the user's file");
    ASSERT_EQ(::symlink(dir.File("victim").c_str(), TempPage().c_str()), 0);
    ASSERT_TRUE(importer.FetchPage(server.BaseUrl() + "/"));
    EXPECT_EQ(AllLines(importer.PageLines), std::vector<std::string>{"<title>A</title>"});
    EXPECT_EQ(ReadFileBytes(dir.File("victim")), "the user's file");
    EXPECT_EQ(importer.DownloadFailure(), "");
}

TEST_F(FetchPageTest, AnEmptyProgramFolderUsesTheWorkingFolder) {
    LoopbackServer server = ServeBody("here");
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    importer.AppDir = "";
    const bool fetched = importer.FetchPage(server.BaseUrl() + "/");
    std::filesystem::current_path(before);
    ASSERT_TRUE(fetched);
    EXPECT_EQ(ReadFileBytes(TempPage()), "here");
    EXPECT_EQ(AllLines(importer.PageLines), std::vector<std::string>{"here"});
}

TEST_F(FetchPageTest, ReportsProgressAndTheFinalAddress) {
    LoopbackServer server([](const HttpRequest& request) {
        return request.target == "/start" ? HttpResponse::Redirect("/title/tt0000002/")
                                          : HttpResponse::Ok(std::string(3000, 'x'));
    });
    std::uint64_t received = 0;
    importer.SetProgress([&](std::uint64_t bytes) { received = bytes; });
    ASSERT_TRUE(importer.FetchPage(server.BaseUrl() + "/start"));
    EXPECT_EQ(received, 3000u);
    EXPECT_EQ(importer.LastFetchedUrl(), server.BaseUrl() + "/title/tt0000002/");
}

}  // namespace
}  // namespace korvid
