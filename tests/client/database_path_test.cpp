// The database path, the data-set cache folder and Korvid's other per-user folders, from the
// option and the environment; folders that are links or another user's are refused.

#include "dataset/database_path.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace korvid::dataset {
namespace {

using test_support::ScopedEnv;

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

// ---- The one resolver of Korvid's folders ----

// The folder from the XDG value, else from HOME; a relative value is ignored, so the working
// folder is never the base, and with neither absolute the folder is refused.
TEST(KorvidFolderTest, FromTheXdgValueElseHome) {
    struct Case {
        UserFolderKind kind;
        const char* xdg_value;  // nullptr: not set
        const char* home;       // nullptr: not set
        std::string below;
        std::string expected;  // the folder, or part of the message when refused
        bool refused = false;
    };
    const Case cases[] = {
        {UserFolderKind::Data, "/x/data", "/x/u", "", "/x/data/korvid/"},
        {UserFolderKind::Cache, "", "/x/u/", "datasets/", "/x/u/.cache/korvid/datasets/"},
        {UserFolderKind::Config, nullptr, "/x/u", "", "/x/u/.config/Korvid/"},
        {UserFolderKind::State, "/x/state", "/x/u", "", "/x/state/korvid/"},
        {UserFolderKind::Data, "data", "/x/u", "", "/x/u/.local/share/korvid/"},
        {UserFolderKind::Data, nullptr, nullptr, "",
         "Cannot find a folder for Korvid's data: neither XDG_DATA_HOME nor HOME is an "
         "absolute path",
         true},
        {UserFolderKind::State, "state", nullptr, "", "neither XDG_STATE_HOME nor HOME", true},
        {UserFolderKind::Config, "", "u", "", "neither XDG_CONFIG_HOME nor HOME", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        if (c.refused) {
            try {
                KorvidFolderFrom(c.kind, c.xdg_value, c.home, ::geteuid(), c.below);
                ADD_FAILURE() << "no UserFolderError";
            } catch (const UserFolderError& error) {
                EXPECT_THAT(error.what(), testing::HasSubstr(c.expected));
            }
        } else {
            EXPECT_EQ(KorvidFolderFrom(c.kind, c.xdg_value, c.home, ::geteuid(), c.below),
                      c.expected);
        }
    }
}

// A folder of the chain that is a symbolic link or belongs to another user is refused, with a
// message naming it; the link is never followed. The user's own folders and root's are taken.
TEST(KorvidFolderTest, LinksAndOtherUsersFoldersAreRefused) {
    struct Case {
        const char* folder;  // below the base, "" for the base itself
        bool link;           // else another user's folder
    };
    const Case cases[] = {{"", true}, {"korvid/datasets", true}, {"korvid", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.folder) + (c.link ? " link" : " other user's"));
        test_support::TempDir dir;
        const std::string base = dir.File("base");
        const std::string refused = std::string(c.folder).empty() ? base : base + "/" + c.folder;
        uid_t user = ::geteuid();
        uid_t owner = ::geteuid();
        if (c.link) {
            std::filesystem::create_directories(dir.File("elsewhere/korvid/datasets"));
            std::filesystem::create_directories(std::filesystem::path(refused).parent_path());
            std::filesystem::create_directory_symlink(
                dir.File("elsewhere") + refused.substr(base.size()), refused);
        } else {
            std::filesystem::create_directories(refused);
            // As root the folder is given away; otherwise the check is asked for another user.
            if (test_support::RunningAsRoot()) {
                ASSERT_EQ(::chown(refused.c_str(), 4242, 4242), 0);
                owner = 4242;
            } else {
                user = ::geteuid() + 1;
            }
        }
        try {
            KorvidFolderFrom(UserFolderKind::Cache, base.c_str(), "/x/u", user, "datasets/");
            ADD_FAILURE() << "no UserFolderError";
        } catch (const UserFolderError& error) {
            EXPECT_EQ(error.what(),
                      "The folder " + refused +
                          (c.link ? " is a symbolic link; Korvid does not follow it"
                                  : " belongs to another user (uid " + std::to_string(owner) +
                                        "); Korvid uses only folders of its own user or root"));
        }
    }
    test_support::TempDir dir;
    std::filesystem::create_directories(dir.File("base/korvid"));
    EXPECT_EQ(
        KorvidFolderFrom(UserFolderKind::Data, dir.File("base").c_str(), nullptr, ::geteuid()),
        dir.File("base/korvid/"));
    EXPECT_EQ(KorvidFolderFrom(UserFolderKind::State, "/", nullptr, ::geteuid() + 1), "/korvid/");
}

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
