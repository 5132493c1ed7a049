// Pages that a hostile or broken server sends, and names in a shared folder that are not what
// they seem: a page over the size limit, pages cut short, a FIFO at the temporary page or at a
// cover's name, and two lookups sharing one folder.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "client/IMDBImport.h"
#include "common/errors.h"
#include "common/file_descriptor.h"
#include "loopback/loopback_server.h"
#include "tests/support/loopback_socket.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using loopback::HttpRequest;
using loopback::HttpResponse;
using loopback::LoopbackServer;
using test_support::FileExists;
using test_support::ReadFileBytes;
using test_support::ScriptedPrompts;
using test_support::TempDir;
using test_support::WriteFileBytes;

std::string FilmPage(const std::string& title) {
    return "<html><head>\n<title>" + title + " (2001)</title>\n</head><body>\n" +
           std::string(4000, ' ') + "\n<b>7.5/10</b>\n</body></html>\n";
}

// A server on 127.0.0.1 that answers every connection with the same raw bytes, whatever
// they are, and then closes it, or with hold_open keeps it open without sending more until
// the server stops: for answers the loopback server would never send.
class RawServer {
  public:
    explicit RawServer(std::string answer, bool hold_open = false)
        : answer_(std::move(answer)),
          hold_open_(hold_open),
          listener_(test_support::ListenOnLoopback(4, port_)),
          thread_([this] { Serve(); }) {}
    RawServer(const RawServer&) = delete;
    RawServer& operator=(const RawServer&) = delete;
    ~RawServer() {
        stop_ = true;
        ::shutdown(listener_.Get(), SHUT_RDWR);  // wakes accept
        thread_.join();
    }

    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }

  private:
    void Serve() {
        while (!stop_) {
            const FileDescriptor client(::accept(listener_.Get(), nullptr, nullptr));
            if (!client.IsOpen()) {
                return;
            }
            std::string head;
            char buffer[1024];
            while (head.find("\r\n\r\n") == std::string::npos) {
                const ssize_t got = ::read(client.Get(), buffer, sizeof buffer);
                if (got <= 0) {
                    break;
                }
                head.append(buffer, static_cast<std::size_t>(got));
            }
            (void)!::write(client.Get(), answer_.data(), answer_.size());
            while (hold_open_ && !stop_) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
    }

    std::string answer_;
    bool hold_open_;
    std::uint16_t port_ = 0;  // before listener_, which sets it
    FileDescriptor listener_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class HostilePageTest : public ::testing::Test {
  protected:
    HostilePageTest() { importer.AppDir = dir.Dir(); }

    std::string TempPage() const { return dir.File("imdbtemp.htm"); }

    // Fetches the address as a lookup does; the page must fail with the cause and leave no
    // temporary page and no lines behind.
    void ExpectFailedFetch(const std::string& address, const std::string& cause) {
        importer.PageLines.Add("previous page");
        EXPECT_FALSE(importer.FetchPage(address));
        EXPECT_EQ(importer.DownloadFailure(), cause);
        EXPECT_FALSE(FileExists(TempPage()));
    }

    ScriptedPrompts prompts;
    TempDir dir;
    TIMDBImport importer{prompts};
};

// ---- Pages over the size limit ----

TEST_F(HostilePageTest, APageOverTheLimitIsAFailedDownloadWithItsCause) {
    const std::string page(MaxPageBytes + 1, '\n');
    LoopbackServer server([&page](const HttpRequest&) { return HttpResponse::Ok(page); });
    ExpectFailedFetch(server.BaseUrl() + "/",
                      "more than " + std::to_string(MaxPageBytes) + " bytes");
}

TEST_F(HostilePageTest, APageOfLineBreaksJustUnderTheLimitIsRead) {
    const std::string page(MaxPageBytes, '\n');
    LoopbackServer server([&page](const HttpRequest&) { return HttpResponse::Ok(page); });
    ASSERT_TRUE(importer.FetchPage(server.BaseUrl() + "/"));
    ASSERT_EQ(importer.PageLines.Count(), static_cast<int>(MaxPageBytes));
    EXPECT_EQ(importer.PageLines[0], "");
    EXPECT_EQ(importer.PageLines.LineAt(MaxPageBytes - 1), static_cast<int>(MaxPageBytes) - 1);
}

// ---- Pages cut short ----

TEST_F(HostilePageTest, ABodyShorterThanItsLengthIsAFailedDownload) {
    LoopbackServer server([](const HttpRequest&) {
        HttpResponse response = HttpResponse::Ok(FilmPage("Cut Film"));
        response.cut_after = 60;  // the title line arrives, the rest does not
        return response;
    });
    ExpectFailedFetch(server.BaseUrl() + "/", "the connection broke");
}

TEST_F(HostilePageTest, AStallAfterSomeBytesIsAFailedDownload) {
    RawServer server("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n<html><title>Stalled Film",
                     true);
    HttpOptions options;
    options.low_speed_seconds = 1;
    importer.SetHttpOptions(options);
    std::uint64_t received = 0;
    importer.SetProgress([&](std::uint64_t bytes) { received = bytes; });
    ExpectFailedFetch(server.BaseUrl() + "/", "the transfer stalled");
    EXPECT_GT(received, 0u);  // some of the page had arrived
}

TEST_F(HostilePageTest, AConnectionClosedInsideTheHeaderIsAFailedDownload) {
    RawServer server("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Le");
    ExpectFailedFetch(server.BaseUrl() + "/", "the connection broke");
}

TEST_F(HostilePageTest, ACutSearchPageFailsTheLookupWithTheDownloadMessage) {
    LoopbackServer server([](const HttpRequest&) {
        HttpResponse response = HttpResponse::Ok(FilmPage("Cut Film"));
        response.cut_after = 60;
        return response;
    });
    importer.Host = server.HostPort();
    importer.Title = "cut";
    EXPECT_FALSE(importer.SearchTitle());
    EXPECT_EQ(importer.Outcome(), LookupOutcome::DownloadFailed);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"Cannot Download Page From Website !\n" +
                                                         importer.DownloadFailure()});
    EXPECT_TRUE(importer.Title.empty() || importer.Title == "cut");
}

// ---- FIFOs in the shared folder ----

// A FIFO at the temporary page, with or without a reader, is refused at once and left alone.
TEST_F(HostilePageTest, AFifoAtTheTemporaryPageIsRefusedWithoutBlocking) {
    LoopbackServer server([](const HttpRequest&) { return HttpResponse::Ok(FilmPage("A")); });
    ASSERT_EQ(::mkfifo(TempPage().c_str(), 0666), 0);
    for (const bool with_reader : {false, true}) {
        const FileDescriptor reader(
            with_reader ? ::open(TempPage().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1);
        EXPECT_FALSE(importer.FetchPage(server.BaseUrl() + "/")) << with_reader;
        EXPECT_EQ(importer.DownloadFailure(), "Cannot create file " + TempPage()) << with_reader;
        struct stat info {};
        ASSERT_EQ(::lstat(TempPage().c_str(), &info), 0);
        EXPECT_TRUE(S_ISFIFO(info.st_mode));
    }
}

TEST_F(HostilePageTest, AFifoAtTheCoverNameIsRefusedWithoutBlocking) {
    LoopbackServer server([](const HttpRequest&) { return HttpResponse::Ok("cover bytes"); });
    const std::string cover = dir.File("Plain Film .jpg");
    ASSERT_EQ(::mkfifo(cover.c_str(), 0666), 0);
    for (const bool with_reader : {false, true}) {
        const FileDescriptor reader(
            with_reader ? ::open(cover.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1);
        try {
            DownloadToFile(server.BaseUrl() + "/covers/1.jpg", cover);
            ADD_FAILURE() << "no error, with_reader " << with_reader;
        } catch (const FileCreateError& error) {
            EXPECT_EQ(std::string(error.what()), "Cannot create file " + cover);
        }
        if (with_reader) {
            char byte = 0;
            EXPECT_LE(::read(reader.Get(), &byte, 1), 0);  // nothing was written into it
        }
        struct stat info {};
        ASSERT_EQ(::lstat(cover.c_str(), &info), 0);
        EXPECT_TRUE(S_ISFIFO(info.st_mode));
    }
}

// ---- Two lookups sharing one folder ----

// Two lookups in one folder, each on its own site: the first site sends its film slowly, the
// second at once, so the second lookup starts while the first page is still arriving. Each
// reads its own film, and the temporary page is gone after both.
TEST_F(HostilePageTest, TwoLookupsSharingAFolderNeverReadEachOthersPage) {
    LoopbackServer slow_site([](const HttpRequest&) {
        HttpResponse response = HttpResponse::Ok(FilmPage("Slow Film"));
        response.piece_size = 400;
        response.piece_delay = std::chrono::milliseconds(30);
        return response;
    });
    LoopbackServer fast_site(
        [](const HttpRequest&) { return HttpResponse::Ok(FilmPage("Fast Film")); });
    for (int round = 0; round < 3; ++round) {
        ScriptedPrompts slow_prompts;
        ScriptedPrompts fast_prompts;
        TIMDBImport slow(slow_prompts);
        TIMDBImport fast(fast_prompts);
        for (auto [lookup, site, title] :
             {std::tuple{&slow, &slow_site, "slow"}, std::tuple{&fast, &fast_site, "fast"}}) {
            lookup->AppDir = dir.Dir();
            lookup->Host = site->HostPort();
            lookup->Title = title;
        }
        bool slow_found = false;
        std::thread first([&] { slow_found = slow.SearchTitle(); });
        while (slow_site.Requests().size() <= static_cast<std::size_t>(round)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        const bool fast_found = fast.SearchTitle();
        first.join();
        ASSERT_TRUE(slow_found);
        ASSERT_TRUE(fast_found);
        EXPECT_EQ(slow.Outcome(), LookupOutcome::Film);
        EXPECT_EQ(slow.Title, "Slow Film ");
        EXPECT_EQ(fast.Outcome(), LookupOutcome::Film);
        EXPECT_EQ(fast.Title, "Fast Film ");
        EXPECT_FALSE(FileExists(TempPage()));
    }
}

}  // namespace
}  // namespace korvid
