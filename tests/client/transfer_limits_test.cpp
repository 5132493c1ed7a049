// What ends a download before its body is whole: the overall deadline and the keep-going
// callback, against loopback servers that are slow or never answer.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "client/IMDBImport.h"
#include "loopback/loopback_server.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/silent_server.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using loopback::HttpRequest;
using loopback::HttpResponse;
using loopback::LoopbackServer;
using test_support::FileExists;
using test_support::ReadFileBytes;
using test_support::ScriptedPrompts;
using test_support::SilentServer;
using test_support::TempDir;
using test_support::WriteFileBytes;

// A body of 200 bytes, 3 bytes a second: it would take over a minute.
HttpResponse Trickle(const HttpRequest&) {
    HttpResponse response = HttpResponse::Ok(std::string(200, 'x'));
    response.piece_size = 3;
    response.piece_delay = std::chrono::milliseconds(1000);
    return response;
}

TEST(TransferLimitsTest, ADownloadPastItsDeadlineFailsWithItsCauseAndKeepsNothing) {
    LoopbackServer server(Trickle);
    TempDir dir;
    WriteFileBytes(dir.File("page.htm"), "earlier");
    DownloadOptions options;
    options.http.deadline_seconds = 2;
    TransferInfo info;
    EXPECT_FALSE(DownloadToFile(server.BaseUrl() + "/slow", dir.File("page.htm"), {}, &info,
                                options));
    EXPECT_EQ(info.error, "the download took longer than 2 s");
    EXPECT_TRUE(info.stopped);
    EXPECT_FALSE(info.cancelled);
    // Part of the body had arrived and been written: it is no page, and it is removed.
    EXPECT_FALSE(FileExists(dir.File("page.htm")));
}

TEST(TransferLimitsTest, ADeadlineBeforeTheFirstByteIsTheCauseToo) {
    SilentServer server;
    DownloadOptions options;
    options.http.deadline_seconds = 1;
    TransferInfo info;
    TempDir dir;
    EXPECT_FALSE(DownloadToFile(server.BaseUrl() + "/", dir.File("page.htm"), {}, &info, options));
    EXPECT_EQ(info.error, "the download took longer than 1 s");
    EXPECT_FALSE(FileExists(dir.File("page.htm")));
}

TEST(TransferLimitsTest, TheKeepGoingCallbackIsAskedBeforeTheFirstByteAndCanCancel) {
    SilentServer server;
    int asked = 0;
    DownloadOptions options;
    options.http.deadline_seconds = 60;
    options.http.keep_going = [&asked] { return ++asked < 3; };
    TransferInfo info;
    TempDir dir;
    std::uint64_t progress_calls = 0;
    EXPECT_FALSE(DownloadToFile(server.BaseUrl() + "/", dir.File("page.htm"),
                                [&](std::uint64_t) { ++progress_calls; }, &info, options));
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(progress_calls, 0u);  // no byte arrived
    EXPECT_TRUE(info.cancelled);
    EXPECT_TRUE(info.stopped);
    EXPECT_EQ(info.error, "the download was cancelled");
    EXPECT_FALSE(FileExists(dir.File("page.htm")));
}

TEST(TransferLimitsTest, ACancelAfterTheBodyBeganKeepsNoPart) {
    LoopbackServer server(Trickle);
    std::uint64_t received = 0;
    DownloadOptions options;
    options.http.keep_going = [&received] { return received < 6; };
    TransferInfo info;
    TempDir dir;
    EXPECT_FALSE(DownloadToFile(server.BaseUrl() + "/", dir.File("page.htm"),
                                [&](std::uint64_t bytes) { received = bytes; }, &info, options));
    EXPECT_GE(received, 6u);
    EXPECT_TRUE(info.cancelled);
    EXPECT_FALSE(FileExists(dir.File("page.htm")));
}

TEST(TransferLimitsTest, AWholeBodyIsNotHeldByTheCallback) {
    LoopbackServer server([](const HttpRequest&) { return HttpResponse::Ok("<html></html>"); });
    int asked = 0;
    DownloadOptions options;
    options.http.keep_going = [&asked] { return ++asked > 0; };
    TransferInfo info;
    TempDir dir;
    EXPECT_TRUE(DownloadToFile(server.BaseUrl() + "/", dir.File("page.htm"), {}, &info, options));
    EXPECT_GT(asked, 0);
    EXPECT_TRUE(info.error.empty());
    EXPECT_FALSE(info.stopped);
    EXPECT_EQ(ReadFileBytes(dir.File("page.htm")), "<html></html>");
}

// The importer: a lookup past its deadline shows the download message; one the user
// cancelled shows none, and the next lookup starts afresh.
TEST(TransferLimitsTest, ALookupPastItsDeadlineFailsWithTheDownloadMessage) {
    LoopbackServer server(Trickle);
    TempDir dir;
    ScriptedPrompts prompts;
    TIMDBImport importer(prompts);
    HttpOptions options;
    options.deadline_seconds = 1;
    importer.SetHttpOptions(options);
    importer.AppDir = dir.Dir();
    importer.Host = server.HostPort();
    importer.Title = "slow";
    EXPECT_FALSE(importer.SearchTitle());
    EXPECT_EQ(importer.Outcome(), LookupOutcome::DownloadFailed);
    EXPECT_EQ(importer.DownloadFailure(), "the download took longer than 1 s");
    EXPECT_FALSE(importer.DownloadCancelled());
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"Cannot Download Page From Website !\nthe download took longer than 1 s"});
    EXPECT_FALSE(FileExists(dir.File(TempPageName)));
}

TEST(TransferLimitsTest, ACancelledLookupShowsNoMessageAndTheNextOneRunsAgain) {
    SilentServer silent;
    LoopbackServer site([](const HttpRequest&) {
        return HttpResponse::Ok("<html><head><title>The Movie Database</title></head></html>");
    });
    TempDir dir;
    ScriptedPrompts prompts;
    TIMDBImport importer(prompts);
    bool cancel = true;
    importer.SetKeepGoing([&cancel] { return !cancel; });
    // Options set after the callback keep it.
    HttpOptions options;
    options.deadline_seconds = 30;
    importer.SetHttpOptions(options);
    importer.AppDir = dir.Dir();
    importer.Host = silent.HostPort();
    importer.Title = "anything";
    EXPECT_FALSE(importer.SearchTitle());
    EXPECT_TRUE(importer.DownloadCancelled());
    EXPECT_EQ(importer.DownloadFailure(), "the download was cancelled");
    EXPECT_TRUE(prompts.messages.empty());

    cancel = false;
    importer.Host = site.HostPort();
    EXPECT_TRUE(importer.SearchTitle());
    EXPECT_FALSE(importer.DownloadCancelled());
    EXPECT_EQ(importer.Outcome(), LookupOutcome::NoResult);
}

}  // namespace
}  // namespace korvid
