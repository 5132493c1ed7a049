// korvid-cli scan as a child process: a file it may not write is reported while the others are
// tagged, and with standard error a pipe no progress line is written.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "sample-site/sample_site.h"
#include "tag/movie_tag.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

namespace fs = std::filesystem;
using test_support::ReadFileBytes;
using test_support::TempDir;
using test_support::WriteFileBytes;

const std::string CliPath = KORVID_BINARY_DIR "/cli/korvid-cli";

TEST(ScanCli, FileThatCannotBeWrittenFailsAndTheOthersAreTagged) {
    const sample::RunningSampleSite site;
    TempDir dir;
    // The unprivileged user must reach the folders and write the temporary page in work/.
    fs::permissions(dir.Path(), fs::perms::others_read | fs::perms::others_exec,
                    fs::perm_options::add);
    const std::string work = dir.File("work");
    fs::create_directory(work);
    fs::permissions(work, fs::perms::all);
    const std::string movie(4000, 'm');
    const std::string locked = dir.File("Lantern.Road.1971.avi");
    const std::string open = dir.File("Canyon.avi");
    WriteFileBytes(locked, movie);
    WriteFileBytes(open, movie);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::others_read);
    fs::permissions(open, fs::perms::all);

    const test_support::ChildResult run = test_support::RunChild(
        CliPath, {"scan", "--delay", "0", "--host", site.HostPort(), "--dir", work, dir.Path()},
        dir.Path(), {std::nullopt, true});
    EXPECT_EQ(run.exit_code, 3) << run.err;
    EXPECT_EQ(run.err, "korvid-cli: " + locked + ": File access denied\n")
        << "the failure, and no progress line on a pipe";
    EXPECT_EQ(run.out, open + ": tagged as \"Canyon\" (1990), " + site.BaseUrl() +
                           "/title/tt9000016/\n" + locked +
                           ": failed: File access denied\n"
                           "2 files: 1 tagged, 0 skipped, 0 ambiguous, 0 not found, 1 failed\n");
    EXPECT_EQ(ReadFileBytes(locked), movie);
    EXPECT_EQ(ReadLastTagBytes(open).Title(), "Canyon");
}

TEST(ScanCli, HelpNamesTheOptionsAndExitCodes) {
    TempDir dir;
    const test_support::ChildResult help =
        test_support::RunChild(CliPath, {"scan", "--help"}, dir.Path());
    EXPECT_EQ(help.exit_code, 0);
    for (const char* text :
         {"Usage: korvid-cli scan [OPTIONS] PATH...", "--recursive", "--replace", "--dry-run",
          "--json", "--delay", "--host", "--dir", "1 some ambiguous or not found"}) {
        EXPECT_NE(help.out.find(text), std::string::npos) << text << "\n" << help.out;
    }
}

}  // namespace
}  // namespace korvid
