// Ctrl-C or SIGTERM while korvid-cli search downloads a local film's cover ends the download
// through its own stop path: the part it was writing is removed, the cover of the same name
// that was there stays as it was, and the exit code is the signal's (128 + N).

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dataset/database_build.h"
#include "loopback/loopback_server.h"
#include "tests/dataset/dataset_files.h"
#include "tests/support/local_films.h"
#include "tests/support/child_process.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace korvid {
namespace {

using test_support::ReadFileBytes;
using test_support::TempDir;

// The cover download's part files in the folder.
std::vector<std::string> Parts(const std::string& folder) {
    std::vector<std::string> parts;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename().string().starts_with(".korvid-cover-")) {
            parts.push_back(entry.path().filename().string());
        }
    }
    return parts;
}

TEST(CoverSignalTest, ASignalEndsTheCoverDownloadAndRemovesItsPart) {
    TempDir data;
    const std::string db = data.File("films.sqlite");
    dataset::BuildDatabase(test_support::WriteDataset(data.Path(), test_support::LocalFilmRows),
                           db);
    const std::string picture =
        ReadFileBytes(KORVID_SOURCE_DIR "/sample-site/pages/covers/tt9000004.jpg");
    // The picture comes slowly, so that the signal reaches the search in its download.
    std::unique_ptr<loopback::LoopbackServer> service =
        std::make_unique<loopback::LoopbackServer>([&](const loopback::HttpRequest& request) {
            if (request.target == "/suggestion/x/tt9100003.json") {
                return loopback::HttpResponse::Ok(R"({"d":[{"i":{"imageUrl":")" +
                                                  service->BaseUrl() +
                                                  R"(/images/M/A@._V1_.jpg"},"id":"tt9100003"}]})");
            }
            loopback::HttpResponse slow = loopback::HttpResponse::Ok(picture, "image/jpeg");
            slow.piece_size = 16;
            slow.piece_delay = std::chrono::milliseconds(100);
            return slow;
        });
    const test_support::ScopedEnv suggest("KORVID_SUGGEST_URL", service->BaseUrl());
    for (const int signal_number : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal_number);
        TempDir dir;
        const std::string earlier = "an earlier cover";
        test_support::WriteFileBytes(dir.File("Lantern Road Home .jpg"), earlier);
        const std::string err_path = dir.File("err.txt");
        std::vector<std::string> args = {KORVID_BINARY_DIR "/cli/korvid-cli",
                                         "search",
                                         "--db",
                                         db,
                                         "--host",
                                         "127.0.0.1:9",
                                         "-d",
                                         dir.Path(),
                                         "lantern road home"};
        const pid_t pid = test_support::StartChild(args, err_path);
        ASSERT_GT(pid, 0);

        for (int wait = 0; wait < 3000 && Parts(dir.Path()).empty(); ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const std::vector<std::string> parts = Parts(dir.Path());
        ::kill(pid, signal_number);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_EQ(parts.size(), 1u) << "the download had begun";
        ASSERT_TRUE(WIFEXITED(status)) << "ended by the signal itself";
        EXPECT_EQ(WEXITSTATUS(status), 128 + signal_number);
        EXPECT_THAT(ReadFileBytes(err_path),
                    ::testing::EndsWith("korvid-cli: the cover download was cancelled\n"));
        EXPECT_THAT(Parts(dir.Path()), ::testing::IsEmpty());
        EXPECT_EQ(ReadFileBytes(dir.File("Lantern Road Home .jpg")), earlier);
    }
}

}  // namespace
}  // namespace korvid
