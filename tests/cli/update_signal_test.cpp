// Ctrl-C or SIGTERM during korvid-cli's data-set update stops it through the update's own stop
// path: the cause is printed, the exit code is the signal's (128 + N), the part downloaded is
// kept for the next update, and no partial database is left.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "loopback/loopback_server.h"
#include "sample-site/sample_site.h"
#include "tests/support/child_process.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace korvid {
namespace {

using test_support::ScopedEnv;
using test_support::TempDir;

std::uint64_t SizeOf(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

TEST(UpdateSignalTest, ASignalStopsTheUpdateAndKeepsThePart) {
    const sample::SampleSite site;
    // title.basics comes slowly, so the signal reaches the update in its download.
    loopback::LoopbackServer server([&site](const loopback::HttpRequest& request) {
        const std::string name = request.target.substr(request.target.rfind('/') + 1);
        const auto file = site.Datasets().find(name);
        if (file == site.Datasets().end()) {
            return loopback::HttpResponse::WithStatus(404, "Not Found", "");
        }
        loopback::HttpResponse response = loopback::ServeEntity(
            request, file->second.gzip, file->second.etag, sample::DatasetsLastModified);
        response.piece_size = 16;
        response.piece_delay = std::chrono::milliseconds(100);
        return response;
    });
    for (const int signal_number : {SIGINT, SIGTERM}) {
        TempDir home;
        const ScopedEnv cache_env("XDG_CACHE_HOME", home.Path());
        const ScopedEnv data_env("XDG_DATA_HOME", home.Path());
        const ScopedEnv host_env("KORVID_HOST", "127.0.0.1:1");
        const std::string err_path = home.File("err.txt");
        const std::string db_path = home.File("films.sqlite");
        std::vector<std::string> args = {KORVID_BINARY_DIR "/cli/korvid-cli", "dataset", "update",
                                         "--from", server.BaseUrl() + "/datasets/", "--db",
                                         db_path};
        const pid_t pid = test_support::StartChild(args, err_path);
        ASSERT_GT(pid, 0);

        const std::string part = home.File("korvid/datasets/title.basics.tsv.gz.part");
        for (int wait = 0; wait < 3000 && SizeOf(part) == 0; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const std::uint64_t received = SizeOf(part);
        ::kill(pid, signal_number);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by the signal itself";
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal_number);
        EXPECT_EQ(test_support::ReadFileBytes(err_path), "korvid-cli: the update was cancelled\n");
        EXPECT_GT(received, 0u);
        EXPECT_GE(SizeOf(part), received);
        EXPECT_FALSE(std::filesystem::exists(db_path));
    }
}

}  // namespace
}  // namespace korvid
