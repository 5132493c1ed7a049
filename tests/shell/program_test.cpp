// The built program as a user starts it: its version, and a start-up and shutdown that load
// and release the visual-styles library found on the library path.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using test_support::ReadFileBytes;
using test_support::RunChild;
using test_support::TempDir;

TEST(ProgramTest, PrintsItsVersion) {
    TempDir dir;
    const test_support::ChildResult result = RunChild(KORVID_PROGRAM, {"--version"}, dir.Path());
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.out, "Korvid 1.1.1.0\n");
}

TEST(ProgramTest, StartsWithTheStylesLibraryWhenFoundAndReleasesItOnTheWayOut) {
    struct Case {
        const char* library_path;
        const char* log;
    };
    for (const Case& run : {Case{KORVID_UXTHEME_DIR, "load\nunload\n"}, Case{"/nonexistent", ""}}) {
        TempDir dir;
        const std::string log = dir.File("uxtheme.log");
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("KORVID_QUIT_AFTER_FIRST_PAINT", "1", 1);
        ::setenv("KORVID_UXTHEME_LOG", log.c_str(), 1);
        ::setenv("LD_LIBRARY_PATH", run.library_path, 1);
        const test_support::ChildResult result = RunChild(KORVID_PROGRAM, {}, dir.Path());
        ::unsetenv("LD_LIBRARY_PATH");
        ::unsetenv("KORVID_UXTHEME_LOG");
        ::unsetenv("KORVID_QUIT_AFTER_FIRST_PAINT");
        EXPECT_EQ(result.exit_code, 0) << result.err;
        EXPECT_EQ(test_support::FileExists(log) ? ReadFileBytes(log) : "", run.log);
    }
}

}  // namespace
}  // namespace korvid
