// The built program as a user starts it: its version, and a start-up and shutdown that load
// and release the visual-styles library found on the library path.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

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

// --help and --version answer before any display is opened (none is set here: opening one
// would abort); the toolkit's own options still reach it; any other option or a file name is
// a usage error; a start with neither a display nor a platform that needs none says so in
// words before the toolkit starts (QT_QPA_PLATFORM names the platform unless -platform does).
TEST(ProgramTest, ReadsItsCommandLineAndLooksForADisplayBeforeOpeningIt) {
    struct Case {
        std::vector<std::string> args;
        const char* platform_variable;  // QT_QPA_PLATFORM, or nullptr for none
        int exit_code;
        const char* out_begins;
        const char* err_has;
    };
    const char* const help_begins =
        "Usage: korvid [--help] [--version] [Qt options]\n\nLooks up films by title in a local";
    const char* const no_display = "korvid: no display (DISPLAY / WAYLAND_DISPLAY is not set)";
    const Case cases[] = {
        {{"--help"}, nullptr, 0, help_begins, ""},
        {{"-h"}, nullptr, 0, "Usage: korvid", ""},
        {{"-platform", "offscreen", "--help"}, nullptr, 0, "Usage: korvid", ""},
        {{"--version"}, nullptr, 0, "Korvid 1.1.1.0\n", ""},
        {{"--frobnicate"}, nullptr, 2, "", "korvid: unknown option --frobnicate\nUsage: korvid"},
        {{"film.avi"}, nullptr, 2, "", "korvid takes no file argument: film.avi"},
        {{"-style"}, nullptr, 2, "", "unknown option -style"},
        {{"-platform", "offscreen", "-style=Fusion", "--reverse"}, nullptr, 0, "", ""},
        {{"--platform", "offscreen", "-style", "Fusion"}, nullptr, 0, "", ""},
        {{"-platform=offscreen"}, nullptr, 2, "", "unknown option -platform=offscreen"},
        {{}, nullptr, 1, "", no_display},
        {{"-platform", "xcb"}, "offscreen", 1, "", no_display},
        {{}, "wayland;xcb", 1, "", no_display},
        {{}, "xcb;offscreen:fontengine=freetype", 0, "", ""},
    };
    for (const Case& run : cases) {
        SCOPED_TRACE(::testing::PrintToString(run.args) + " " +
                     (run.platform_variable ? run.platform_variable : "-"));
        TempDir dir;
        if (run.platform_variable != nullptr) {
            ::setenv("QT_QPA_PLATFORM", run.platform_variable, 1);
        } else {
            ::unsetenv("QT_QPA_PLATFORM");
        }
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::setenv("KORVID_QUIT_AFTER_FIRST_PAINT", "1", 1);
        const test_support::ChildResult result = RunChild(KORVID_PROGRAM, run.args, dir.Path());
        ::unsetenv("KORVID_QUIT_AFTER_FIRST_PAINT");
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        EXPECT_EQ(result.exit_code, run.exit_code) << result.err;
        EXPECT_EQ(result.out.substr(0, std::string(run.out_begins).size()), run.out_begins);
        EXPECT_THAT(result.err, ::testing::HasSubstr(run.err_has));
    }
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

// The window draws its pictures (the icons, the group box frame) with its own decoders: up
// to its first paint Qt loads no image-format plugin. The loader's own log names every
// library it opens.
TEST(ProgramTest, FirstPaintLoadsNoImageFormatPlugin) {
    TempDir dir;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("KORVID_QUIT_AFTER_FIRST_PAINT", "1", 1);
    ::setenv("LD_DEBUG", "files", 1);
    const test_support::ChildResult result = RunChild(KORVID_PROGRAM, {}, dir.Path());
    ::unsetenv("LD_DEBUG");
    ::unsetenv("KORVID_QUIT_AFTER_FIRST_PAINT");
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_THAT(result.err, ::testing::HasSubstr("platforms/libqoffscreen.so"));
    EXPECT_THAT(result.err, ::testing::Not(::testing::HasSubstr("imageformats/")));
}

}  // namespace
}  // namespace korvid
