// The window's folders come from the one resolver of Korvid's folders: the settings file, the
// program folder of an installed window, and the film data's places. A folder that is a
// symbolic link, or a relative XDG value, is never written into.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
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

// Where the setting is kept, for each XDG_CONFIG_HOME (below the test's folder unless
// relative) and HOME (the test's folder or unset); nothing goes through a link or into the
// working folder.
TEST(UserSettingsFileTest, TheSettingIsKeptInTheResolvedFolderOnly) {
    const struct {
        const char* config_home;
        bool relative;
        bool home;
        const char* file;     // below the test's folder; nullptr: nowhere
        const char* problem;  // part of the problem told
    } cases[] = {
        {"config", false, false, "config/Korvid/korvid.conf", ""},
        {"relative-config", true, true, ".config/Korvid/korvid.conf", ""},
        {"linked", false, true, nullptr, "Korvid is a symbolic link"},
        {"relative-config", true, false, nullptr,
         "neither XDG_CONFIG_HOME nor HOME is an absolute path"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.config_home) + (c.home ? " with HOME" : " without HOME"));
        TempDir dir;
        std::filesystem::create_directories(dir.File("elsewhere"));
        std::filesystem::create_directories(dir.File("linked"));
        std::filesystem::create_directory_symlink(dir.File("elsewhere"), dir.File("linked/Korvid"));
        const ScopedEnv config("XDG_CONFIG_HOME",
                               c.relative ? std::string(c.config_home) : dir.File(c.config_home));
        const ScopedEnv home("HOME",
                             c.home ? std::optional<std::string>(dir.Path()) : std::nullopt);
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
        EXPECT_TRUE(std::filesystem::is_empty(dir.File("elsewhere")));
        EXPECT_FALSE(std::filesystem::exists("relative-config"));
        SetFetchCoversOnline(true);
    }
}

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
