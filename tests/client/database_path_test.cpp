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

struct FolderCase {
    const char* name;
    UserFolderKind kind;
    const char* xdg_value;  // nullptr: not set
    const char* home;       // nullptr: not set
    std::string below;
    std::string expected;  // the folder, or part of the message when refused
    bool refused = false;
};

class KorvidFolderTest : public testing::TestWithParam<FolderCase> {};

TEST_P(KorvidFolderTest, FromTheXdgValueElseHome) {
    const FolderCase& c = GetParam();
    if (c.refused) {
        try {
            KorvidFolderFrom(c.kind, c.xdg_value, c.home, ::geteuid(), c.below);
            ADD_FAILURE() << "no UserFolderError";
        } catch (const UserFolderError& error) {
            EXPECT_THAT(error.what(), testing::HasSubstr(c.expected));
        }
    } else {
        EXPECT_EQ(KorvidFolderFrom(c.kind, c.xdg_value, c.home, ::geteuid(), c.below), c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, KorvidFolderTest,
    testing::Values(
        FolderCase{"Data", UserFolderKind::Data, "/x/data", "/x/u", "", "/x/data/korvid/"},
        FolderCase{"DataFromHome", UserFolderKind::Data, nullptr, "/x/u", "",
                   "/x/u/.local/share/korvid/"},
        FolderCase{"Cache", UserFolderKind::Cache, "/x/cache/", "/x/u", "datasets/",
                   "/x/cache/korvid/datasets/"},
        FolderCase{"CacheFromHome", UserFolderKind::Cache, "", "/x/u/", "datasets/",
                   "/x/u/.cache/korvid/datasets/"},
        FolderCase{"Config", UserFolderKind::Config, "/x/config", "/x/u", "", "/x/config/Korvid/"},
        FolderCase{"ConfigFromHome", UserFolderKind::Config, nullptr, "/x/u", "",
                   "/x/u/.config/Korvid/"},
        FolderCase{"State", UserFolderKind::State, "/x/state", "/x/u", "", "/x/state/korvid/"},
        FolderCase{"StateFromHome", UserFolderKind::State, nullptr, "/x/u", "",
                   "/x/u/.local/state/korvid/"},
        // A relative value is invalid and ignored: the working folder is never the base.
        FolderCase{"RelativeXdgValueIgnored", UserFolderKind::Data, "data", "/x/u", "",
                   "/x/u/.local/share/korvid/"},
        FolderCase{"DotXdgValueIgnored", UserFolderKind::Cache, "./cache", "/x/u", "",
                   "/x/u/.cache/korvid/"},
        FolderCase{"NoHomeNoXdg", UserFolderKind::Data, nullptr, nullptr, "",
                   "Cannot find a folder for Korvid's data: neither XDG_DATA_HOME nor HOME is an "
                   "absolute path",
                   true},
        FolderCase{"NoHomeRelativeXdg", UserFolderKind::State, "state", nullptr, "",
                   "neither XDG_STATE_HOME nor HOME", true},
        FolderCase{"RelativeHome", UserFolderKind::Config, "", "u", "",
                   "neither XDG_CONFIG_HOME nor HOME", true}),
    [](const testing::TestParamInfo<FolderCase>& info) { return std::string(info.param.name); });

// A folder of the chain that is a symbolic link or belongs to another user is refused, with a
// message naming it; the link is never followed.
struct RefusedCase {
    const char* name;
    const char* folder;  // below the base, "" for the base itself
    bool link;           // else another user's folder
};

class RefusedFolderTest : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedFolderTest, NamesTheFolderAndWhy) {
    const RefusedCase& c = GetParam();
    test_support::TempDir dir;
    const std::string base = dir.File("base");
    const std::string refused = std::string(c.folder).empty() ? base : base + "/" + c.folder;
    uid_t user = ::geteuid();
    if (c.link) {
        std::filesystem::create_directories(dir.File("elsewhere/korvid/datasets"));
        std::filesystem::create_directories(std::filesystem::path(refused).parent_path());
        std::filesystem::create_directory_symlink(
            dir.File("elsewhere") + (refused == base ? "" : refused.substr(base.size())), refused);
    } else {
        std::filesystem::create_directories(refused);
        // As root, the folder is given to another user; otherwise the check is asked for
        // another user than the one who owns it.
        if (test_support::RunningAsRoot()) {
            ASSERT_EQ(::chown(refused.c_str(), 4242, 4242), 0);
        } else {
            user = ::geteuid() + 1;
        }
    }
    try {
        KorvidFolderFrom(UserFolderKind::Cache, base.c_str(), "/x/u", user, "datasets/");
        ADD_FAILURE() << "no UserFolderError";
    } catch (const UserFolderError& error) {
        EXPECT_EQ(
            error.what(),
            "The folder " + refused +
                (c.link ? " is a symbolic link; Korvid does not follow it"
                        : " belongs to another user (uid " +
                              std::to_string(test_support::RunningAsRoot() ? 4242 : ::geteuid()) +
                              "); Korvid uses only folders of its own user or root"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Folders, RefusedFolderTest,
    testing::Values(RefusedCase{"BaseIsALink", "", true},
                    RefusedCase{"KorvidFolderIsALink", "korvid", true},
                    RefusedCase{"FolderBelowIsALink", "korvid/datasets", true},
                    RefusedCase{"BaseOfAnotherUser", "", false},
                    RefusedCase{"KorvidFolderOfAnotherUser", "korvid", false},
                    RefusedCase{"FolderBelowOfAnotherUser", "korvid/datasets", false}),
    [](const testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.name); });

TEST(KorvidFolderTest, OwnAndRootsFoldersAreTaken) {
    test_support::TempDir dir;
    std::filesystem::create_directories(dir.File("base/korvid"));
    // The user's own folders; and root's, which the system's folders are (/tmp, say).
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
