// The database path and the data-set cache folder, from the option and the environment.

#include "dataset/database_path.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace korvid::dataset {
namespace {

// Sets (or, with nullopt, unsets) one variable for the life of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        Set(value);
    }
    ~ScopedEnv() { Set(old_); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    void Set(const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name_, value->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    const char* name_;
    std::optional<std::string> old_;
};

struct PathCase {
    const char* name;
    std::string option;
    std::optional<std::string> korvid_dataset;
    std::optional<std::string> xdg_data_home;
    std::optional<std::string> home;
    std::string expected;
};

class DatabasePathTest : public testing::TestWithParam<PathCase> {};

TEST_P(DatabasePathTest, ChoosesTheFirstThatIsGiven) {
    const PathCase& c = GetParam();
    ScopedEnv dataset("KORVID_DATASET", c.korvid_dataset);
    ScopedEnv data_home("XDG_DATA_HOME", c.xdg_data_home);
    ScopedEnv home("HOME", c.home);
    EXPECT_EQ(DatabasePath(c.option), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, DatabasePathTest,
    testing::Values(
        PathCase{"Option", "/x/my.sqlite", "/env/films.sqlite", "/data", "/home/u", "/x/my.sqlite"},
        PathCase{"Environment", "", "/env/films.sqlite", "/data", "/home/u", "/env/films.sqlite"},
        PathCase{"EmptyEnvironmentIsUnset", "", "", "/data", "/home/u",
                 "/data/korvid/films.sqlite"},
        PathCase{"XdgDataHome", "", std::nullopt, "/data/", "/home/u", "/data/korvid/films.sqlite"},
        PathCase{"Home", "", std::nullopt, std::nullopt, "/home/u",
                 "/home/u/.local/share/korvid/films.sqlite"},
        PathCase{"EmptyXdgIsUnset", "", std::nullopt, "", "/home/u",
                 "/home/u/.local/share/korvid/films.sqlite"}),
    [](const testing::TestParamInfo<PathCase>& info) { return std::string(info.param.name); });

TEST(DatasetCacheFolderTest, XdgCacheHomeElseHome) {
    ScopedEnv home("HOME", std::string("/home/u"));
    {
        ScopedEnv cache("XDG_CACHE_HOME", std::string("/cache"));
        EXPECT_EQ(DatasetCacheFolder(), "/cache/korvid/datasets/");
    }
    ScopedEnv cache("XDG_CACHE_HOME", std::nullopt);
    EXPECT_EQ(DatasetCacheFolder(), "/home/u/.cache/korvid/datasets/");
}

}  // namespace
}  // namespace korvid::dataset
