// The window's folders come from the one resolver of Korvid's folders: the settings file, the
// program folder of an installed window, and the film data's places. A folder that is a
// symbolic link, or a relative XDG value, is never written into.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "shell/app_dir.h"
#include "shell/local_film_data.h"
#include "shell/user_settings.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using test_support::ScopedEnv;
using test_support::TempDir;

struct SettingsCase {
    const char* name;
    // The XDG_CONFIG_HOME and HOME values, given the test's folder.
    std::function<std::optional<std::string>(const TempDir&)> config_home;
    std::function<std::optional<std::string>(const TempDir&)> home;
    const char* file;     // where the setting is kept, below the test's folder; nullptr: nowhere
    const char* problem;  // part of the problem told, or "" for none
};

class UserSettingsFileTest : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(UserSettingsFileTest, TheSettingIsKeptInTheResolvedFolderOnly) {
    const SettingsCase& c = GetParam();
    TempDir dir;
    std::filesystem::create_directories(dir.File("elsewhere"));
    std::filesystem::create_directories(dir.File("linked"));
    std::filesystem::create_directory_symlink(dir.File("elsewhere"), dir.File("linked/Korvid"));
    const ScopedEnv config("XDG_CONFIG_HOME", c.config_home(dir));
    const ScopedEnv home("HOME", c.home(dir));

    SetFetchCoversOnline(false);
    if (c.file != nullptr) {
        EXPECT_THAT(test_support::ReadFileBytes(dir.File(c.file)),
                    ::testing::HasSubstr("fetch-online=false"));
        EXPECT_FALSE(FetchCoversOnline());
        EXPECT_EQ(UserSettingsProblem(), "");
    } else {
        EXPECT_TRUE(FetchCoversOnline());  // the default, nothing read
        EXPECT_THAT(UserSettingsProblem(), ::testing::HasSubstr(c.problem));
    }
    // Nothing went through the link, nor into the working folder.
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("elsewhere")));
    EXPECT_FALSE(std::filesystem::exists("relative-config"));
    SetFetchCoversOnline(true);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, UserSettingsFileTest,
    ::testing::Values(
        SettingsCase{"XdgConfigHome", [](const TempDir& d) { return d.File("config"); },
                     [](const TempDir&) { return std::nullopt; }, "config/Korvid/korvid.conf", ""},
        SettingsCase{"HomeWhenTheXdgValueIsRelative",
                     [](const TempDir&) { return std::string("relative-config"); },
                     [](const TempDir& d) { return d.Path(); }, ".config/Korvid/korvid.conf", ""},
        SettingsCase{"ALinkedFolderIsRefused", [](const TempDir& d) { return d.File("linked"); },
                     [](const TempDir& d) { return d.Path(); }, nullptr,
                     "Korvid is a symbolic link"},
        SettingsCase{"NoHomeAndARelativeValue",
                     [](const TempDir&) { return std::string("relative-config"); },
                     [](const TempDir&) { return std::nullopt; }, nullptr,
                     "neither XDG_CONFIG_HOME nor HOME is an absolute path"}),
    [](const auto& info) { return std::string(info.param.name); });

// An installed window whose data folder is refused gets no folder: the problem says why.
TEST(AppDirFolderTest, ARefusedDataFolderIsNoFolder) {
    TempDir dir;
    std::filesystem::create_directories(dir.File("elsewhere"));
    std::filesystem::create_directories(dir.File("data"));
    std::filesystem::create_directory_symlink(dir.File("elsewhere"), dir.File("data/korvid"));
    const AppDirChoice linked = ChooseAppDir("/usr/bin/", dir.File("data").c_str(), nullptr);
    EXPECT_EQ(linked.folder, "");
    EXPECT_EQ(linked.problem, "The folder " + dir.File("data/korvid") +
                                  " is a symbolic link; Korvid does not follow it");
    const AppDirChoice relative = ChooseAppDir("/usr/bin/", "data", nullptr);
    EXPECT_EQ(relative.folder, "");
    EXPECT_THAT(relative.problem, ::testing::HasSubstr("neither XDG_DATA_HOME nor HOME"));
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("elsewhere")));
}

// The film data's database and downloads in a refused folder are never used: the places are
// empty and the problem is told.
TEST(FilmDataPlacesTest, RefusedFoldersAreLeftEmptyWithTheirReason) {
    TempDir dir;
    std::filesystem::create_directories(dir.File("elsewhere"));
    std::filesystem::create_directories(dir.File("cache"));
    std::filesystem::create_directory_symlink(dir.File("elsewhere"), dir.File("cache/korvid"));
    const ScopedEnv dataset("KORVID_DATASET", std::nullopt);
    const ScopedEnv data("XDG_DATA_HOME", dir.File("data"));
    const ScopedEnv cache("XDG_CACHE_HOME", dir.File("cache"));
    const FilmDataPlaces places = FilmDataPlaces::FromEnvironment();
    EXPECT_EQ(places.db_path, dir.File("data/korvid/films.sqlite"));
    EXPECT_EQ(places.cache_folder, "");
    EXPECT_THAT(places.problem,
                ::testing::HasSubstr(dir.File("cache/korvid") + " is a symbolic link"));
}

}  // namespace
}  // namespace korvid
