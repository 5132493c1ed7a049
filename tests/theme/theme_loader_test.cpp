// The visual-styles loader, run in a probe program as start-up and shutdown run it. The
// dynamic linker reads LD_LIBRARY_PATH when a process starts, so each case starts the probe
// with the folder of the stand-in "uxtheme.dll", or an empty folder, on that path.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"
#include "theme/mdTHEMES.h"

namespace korvid {
namespace {

using test_support::ChildResult;
using test_support::TempDir;

// Sets an environment variable for the test's lifetime, restoring the old value afterwards.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = ::getenv(name)) {
            old_ = old;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

struct LoadCase {
    const char* name;
    bool library_on_path;
    const char* out;  // what the probe prints
    const char* log;  // the library's load and unload lines among the probe's own steps
};

class ThemeLoaderTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(ThemeLoaderTest, LoadsAndReleasesOnce) {
    const LoadCase& c = GetParam();
    TempDir work;
    TempDir empty_folder;
    const ScopedEnv library_path("LD_LIBRARY_PATH",
                                 c.library_on_path ? KORVID_UXTHEME_DIR : empty_folder.Path());
    const ScopedEnv log("KORVID_UXTHEME_LOG", work.File("log"));

    const ChildResult result = test_support::RunChild(KORVID_THEME_PROBE, {}, work.Path());

    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.err, "");  // silent in both cases
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(test_support::ReadFileBytes(work.File("log")), c.log);
}

INSTANTIATE_TEST_SUITE_P(
    Library, ThemeLoaderTest,
    ::testing::Values(
        LoadCase{"Present", true,
                 "loaded 1 library 1\n"
                 "set OpenThemeData\nset CloseThemeData\nset IsThemeActive\nset IsAppThemed\n"
                 "set GetThemeAppProperties\nset EnableTheming\n"
                 "GetThemeAppProperties 7\n"
                 "freed loaded 0 library 0 set 0\n",
                 "load\nafter-load\nunload\nafter-free\nend\n"},
        LoadCase{"Absent", false,
                 "loaded 0 library 0\n"
                 "freed loaded 0 library 0 set 0\n",
                 "after-load\nafter-free\nend\n"}),
    [](const ::testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace korvid
