// korvid-cli loads libcurl at its first download only: commands that download nothing never
// map it. The dynamic loader itself reports what it maps (LD_DEBUG=files, written to a file
// of the test's own), so the real program is watched as it runs.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "dataset/database_build.h"
#include "tests/dataset/dataset_files.h"
#include "tests/support/child_process.h"
#include "tests/support/local_films.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using test_support::ReadFileBytes;
using test_support::ScopedEnv;
using test_support::TempDir;
using test_support::WriteFileBytes;

const std::string Cli = KORVID_BINARY_DIR "/cli/korvid-cli";

// Runs korvid-cli with the arguments and tells whether the loader mapped libcurl into it.
bool LoadsCurl(const std::vector<std::string>& args, const std::string& work_dir) {
    TempDir log_dir;
    const ScopedEnv debug("LD_DEBUG", std::string("files"));
    // glibc appends the process id: ld.PID
    const ScopedEnv output("LD_DEBUG_OUTPUT", log_dir.File("ld"));
    test_support::RunChild(Cli, args, work_dir);
    std::string log;
    for (const auto& entry : std::filesystem::directory_iterator(log_dir.Path())) {
        log += ReadFileBytes(entry.path().string());
    }
    // The log names every file the loader opened; an empty one means it was not written.
    EXPECT_NE(log.find("libc.so"), std::string::npos) << "the loader wrote no log";
    return log.find("libcurl") != std::string::npos;
}

TEST(CurlLoadingTest, OnlyACommandThatDownloadsLoadsLibcurl) {
    TempDir dir;
    const std::string database = dir.File("films.sqlite");
    dataset::BuildDatabase(test_support::WriteDataset(dir.Path(), test_support::LocalFilmRows),
                           database);
    const std::string movie = dir.File("movie.avi");
    WriteFileBytes(movie, std::string(1000, 'm'));
    // A loopback port where nothing listens: the site's lookup fails at its download.
    const std::string closed = "127.0.0.1:9";

    struct Case {
        std::vector<std::string> args;
        bool loads_curl;
    };
    const std::vector<Case> cases = {
        {{"--version"}, false},
        {{"show-tag", movie}, false},
        {{"tag", "--title", "Lantern Road", movie}, false},
        {{"dataset", "status", "--db", database}, false},
        // The local film data: a result list, and a film without its cover, neither
        // downloading anything; a film's cover is a download.
        {{"search", "--db", database, "--host", closed, "-d", dir.Path(), "lantern road"}, false},
        {{"search", "--db", database, "--no-cover", "-d", dir.Path(), "joelle"}, false},
        {{"search", "--db", database, "-d", dir.Path(), "joelle"}, true},
        {{"search", "--source", "site", "--host", closed, "-d", dir.Path(), "alien"}, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LoadsCurl(c.args, dir.Path()), c.loads_curl) << c.args.front() << " "
                                                              << c.args.back();
    }
}

}  // namespace
}  // namespace korvid
