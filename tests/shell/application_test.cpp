// The application object's error box, the program folder, and the dialogs' filters.

#include "shell/application.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <filesystem>
#include <stdexcept>

#include "common/errors.h"
#include "shell/app_dir.h"
#include "shell/qt_prompts.h"
#include "tests/support/child_process.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using ::testing::ElementsAre;
using test_support::ScriptedPrompts;
using test_support::TempDir;

// An object whose event handler raises the error it was given.
class Thrower : public QObject {
  public:
    explicit Thrower(std::exception_ptr error) : error_(std::move(error)) {}
    bool event(QEvent*) override { std::rethrow_exception(error_); }

  private:
    std::exception_ptr error_;
};

class ErrorBoxTest : public ::testing::Test {
  protected:
    ErrorBoxTest() { App()->SetPrompts(&prompts_); }
    ~ErrorBoxTest() override { App()->SetPrompts(nullptr); }
    static TApplication* App() { return qobject_cast<TApplication*>(QCoreApplication::instance()); }
    ScriptedPrompts prompts_;
};

TEST_F(ErrorBoxTest, AnErrorLeavingAHandlerIsShownOnceAndTheSilentAbortNever) {
    for (const std::exception_ptr& error : {std::make_exception_ptr(FileCreateError("/x/y.xml")),
                                            std::make_exception_ptr(SilentAbort())}) {
        // Through the message loop's net, and through a guarded handler.
        Thrower thrower(error);
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(&thrower, &event);
        RunGuarded([&] { std::rethrow_exception(error); });
    }
    EXPECT_THAT(prompts_.errors,
                ElementsAre("Cannot create file /x/y.xml", "Cannot create file /x/y.xml"));
}

TEST_F(ErrorBoxTest, AnErrorWhilePaintingIsShownOnTheLoopsNextTurn) {
    TApplication::ReportErrorLater(std::make_exception_ptr(JpegError(42)));
    EXPECT_TRUE(prompts_.errors.empty());
    QCoreApplication::processEvents();
    EXPECT_THAT(prompts_.errors, ElementsAre("JPEG error #42"));
}

TEST(AppDirTest, TheExecutablesFolderWhenWritableElseTheUsersDataFolder) {
    TempDir dir;
    EXPECT_EQ(ChooseAppDir(dir.Path(), nullptr, nullptr).folder, dir.Dir());
    EXPECT_EQ(ChooseAppDir(dir.Dir(), nullptr, nullptr).folder, dir.Dir());
    EXPECT_EQ(ChooseAppDir(dir.Dir(), nullptr, nullptr).problem, "");

    const std::string missing = dir.File("no-such-folder");
    EXPECT_EQ(ChooseAppDir(missing, dir.File("data").c_str(), "/nonexistent").folder,
              dir.File("data") + "/korvid/");
    const AppDirChoice home = ChooseAppDir(missing, "", dir.Path().c_str());
    EXPECT_EQ(home.folder, dir.Dir() + ".local/share/korvid/");
    EXPECT_EQ(home.problem, "");
    struct stat info {};
    EXPECT_EQ(::stat((dir.Dir() + ".local/share/korvid").c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));

    // A data folder that cannot be made is named, and stays the folder: not one elsewhere.
    test_support::WriteFileBytes(dir.File("file"), "x");
    const AppDirChoice blocked = ChooseAppDir(missing, dir.File("file").c_str(), nullptr);
    EXPECT_EQ(blocked.folder, dir.File("file") + "/korvid/");
    EXPECT_THAT(blocked.problem, ::testing::StartsWith("Cannot create folder " +
                                                       dir.File("file") + "/korvid/ ("));
}

// Neither the executable's folder nor the data folder writable (as the unprivileged user
// when the tests run as root): the data folder is the folder, and the problem names it.
TEST(AppDirTest, AFolderThatCannotBeWrittenIsNamed) {
    TempDir dir;
    std::filesystem::create_directories(dir.File("exe"));
    std::filesystem::create_directories(dir.File("data/korvid"));
    const auto open_to_all = std::filesystem::perms::owner_all |
                             std::filesystem::perms::others_read |
                             std::filesystem::perms::others_exec;
    for (const char* folder : {"", "exe", "data", "data/korvid"}) {
        std::filesystem::permissions(dir.File(folder), open_to_all);
    }
    const std::string data = dir.File("data");
    const std::string exe = dir.File("exe");
    const int outcome = test_support::RunUnprivileged([&] {
        const AppDirChoice existing = ChooseAppDir(exe, data.c_str(), nullptr);
        const AppDirChoice missing = ChooseAppDir(exe, (data + "/korvid").c_str(), nullptr);
        const bool existing_named =
            existing.folder == data + "/korvid/" &&
            existing.problem ==
                "Cannot write to folder " + data + "/korvid/ (File access denied)";
        const bool missing_named =
            missing.folder == data + "/korvid/korvid/" &&
            missing.problem ==
                "Cannot create folder " + data + "/korvid/korvid/ (File access denied)";
        return (existing_named ? 0 : 1) + (missing_named ? 0 : 2);
    });
    EXPECT_EQ(outcome, 0);
}

TEST(DialogFilterTest, PairsBecomeQtNameFilters) {
    EXPECT_THAT(NameFiltersFromFilter("XML Files|*.xml|CSV Files|*.csv|All Files|*.*"),
                ElementsAre("XML Files (*.xml)", "CSV Files (*.csv)", "All Files (*.*)"));
    EXPECT_THAT(
        NameFiltersFromFilter("All Supported Formats |*.avi;*.mpg|Audio Video (AVI) |*.AVI"),
        ElementsAre("All Supported Formats  (*.avi *.mpg)", "Audio Video (AVI)  (*.AVI)"));
}

}  // namespace
}  // namespace korvid
