// The application object's error box and name, the program folder, and the dialogs' filters.

#include "shell/application.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QSize>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <stdexcept>

#include "common/errors.h"
#include "shell/app_dir.h"
#include "shell/picture.h"
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

// An installed program never writes beside its binary, even where it could (as root).
TEST(AppDirTest, AnInstalledBinaryFolderIsNeverTheFolder) {
    TempDir dir;
    const std::string data = dir.File("data");
    for (const std::string& bin :
         {std::string(PrefixBinFolder()), std::string("/usr/bin/"), std::string("/usr/local/bin"),
          std::string("/usr/local/./bin/"), std::string("/usr/share/../bin")}) {
        EXPECT_TRUE(IsInstalledBinFolder(bin)) << bin;
        EXPECT_EQ(ChooseAppDir(bin, data.c_str(), nullptr).folder, data + "/korvid/") << bin;
    }
    EXPECT_FALSE(IsInstalledBinFolder(dir.Dir()));
    EXPECT_FALSE(IsInstalledBinFolder("/usr/local/bin/korvid-1.1"));
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
    // Descriptions that end in their own patterns, as the cover's filter has them, show them
    // once.
    EXPECT_THAT(NameFiltersFromFilter("All (*.jpeg;*.jpg)|*.jpeg;*.jpg|JPEG Image File "
                                      "(*.jpeg)|*.jpeg|Icons (*.ico)|*.ico|Bitmaps (*.bmp)|*.jpg"),
                ElementsAre("All (*.jpeg *.jpg)", "JPEG Image File (*.jpeg)", "Icons (*.ico)",
                            "Bitmaps (*.bmp) (*.jpg)"));
    for (const QString& filter : NameFiltersFromFilter(GraphicFilter())) {
        EXPECT_EQ(filter.count('('), 1) << filter.toStdString();
    }
}

// Filters whose descriptions end in a space, or hold two spaces in a row, as the movie-file
// dialog's do.
constexpr const char* SpacedFilter =
    "All Supported Formats |*.avi;*.mpg|Audio Video Interleave File (AVI) |*.AVI|"
    "MPEG Movie File (mpe)|*.mpe|Moving Picture Experts Group File  (mpg)|*.mpg";

QFileDialog* OpenFileDialog() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QFileDialog*>(window); box != nullptr && box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

// Opens the real file dialog once; the user picks the filter at `choice` (from 0) in its list
// of file types, then the file. Returns the position of the filter shown when it opened.
int OpenChoosingFilter(QtPrompts& prompts, FileDialogState& state, int choice,
                       const std::string& file) {
    int shown = -2;
    QTimer::singleShot(0, [&] {
        QFileDialog* box = OpenFileDialog();
        ASSERT_NE(box, nullptr);
        shown = static_cast<int>(box->nameFilters().indexOf(box->selectedNameFilter()));
        auto* types = box->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        if (types == nullptr) {
            ADD_FAILURE() << "the dialog has no list of file types";
            box->reject();
            return;
        }
        types->setCurrentIndex(choice);
        emit types->activated(choice);
        box->selectFile(QString::fromStdString(file));
        static_cast<QDialog*>(box)->accept();  // as the Open button does
    });
    EXPECT_TRUE(prompts.ExecuteOpenDialog(state));
    return shown;
}

TEST(DialogFilterTest, EachChosenFilterComesBackWhenTheDialogOpensAgain) {
    TempDir dir;
    const std::string file = dir.File("film.avi");
    test_support::WriteFileBytes(file, "movie");
    QtPrompts prompts;
    FileDialogState state;
    state.filter = SpacedFilter;
    EXPECT_EQ(OpenChoosingFilter(prompts, state, 1, file), 0) << "the first filter at first";
    for (int choice = 0; choice < 4; ++choice) {
        SCOPED_TRACE(choice);
        OpenChoosingFilter(prompts, state, choice, file);
        EXPECT_EQ(state.filter_index, choice + 1);
        EXPECT_EQ(OpenChoosingFilter(prompts, state, choice, file), choice);
        EXPECT_EQ(state.file_name, file);
    }
}

// The save dialog of the documents: a name typed without an extension gets the one of the
// file type chosen, whichever type the dialog opened on; "All Files" the default one.
TEST(DialogFilterTest, ANameTypedWithoutExtensionGetsTheChosenTypesExtension) {
    TempDir dir;
    QtPrompts prompts;
    const struct {
        int opened_on;  // the filter_index the dialog opens on
        int choice;     // the type chosen in it, from 0; -1: none
        const char* saved;
    } cases[] = {{2, -1, "films.csv"},
                 {1, -1, "films.xml"},
                 {1, 1, "films.csv"},
                 {2, 0, "films.xml"},
                 {2, 2, "films.csv"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.saved + std::to_string(c.choice));
        FileDialogState state;
        state.filter = "XML Files|*.xml|CSV Files|*.csv|All Files|*.*";
        state.filter_index = c.opened_on;
        state.default_extension = c.opened_on == 2 ? ".csv" : ".xml";
        int shown = -1;
        QTimer::singleShot(0, [&] {
            QFileDialog* box = OpenFileDialog();
            ASSERT_NE(box, nullptr);
            shown = static_cast<int>(box->nameFilters().indexOf(box->selectedNameFilter()));
            if (c.choice >= 0) {
                auto* types = box->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
                ASSERT_NE(types, nullptr);
                types->setCurrentIndex(c.choice);
                emit types->activated(c.choice);
                emit types->textActivated(types->itemText(c.choice));
            }
            box->selectFile(QString::fromStdString(dir.File("films")));
            static_cast<QDialog*>(box)->accept();
        });
        ASSERT_TRUE(prompts.ExecuteSaveDialog(state));
        EXPECT_EQ(shown, c.opened_on - 1);
        EXPECT_EQ(state.file_name, dir.File(c.saved));
    }
}

// Enter on a question presses the button it was asked with as the default; Escape the second.
TEST(QuestionBoxTest, EnterPressesTheDefaultButtonAndEscapeTheSecond) {
    QtPrompts prompts;
    const struct {
        DefaultChoice default_choice;
        Qt::Key key;
        PromptAnswer answer;
    } cases[] = {{DefaultChoice::First, Qt::Key_Return, PromptAnswer::Ok},
                 {DefaultChoice::Second, Qt::Key_Return, PromptAnswer::Cancel},
                 {DefaultChoice::First, Qt::Key_Escape, PromptAnswer::Cancel}};
    for (const auto& c : cases) {
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget();
            ASSERT_NE(box, nullptr);
            QTest::keyClick(box, c.key);
        });
        EXPECT_EQ(prompts.AskChoice("Korvid", "Download?", "&Download", "Not now", c.default_choice),
                  c.answer);
    }
}

// The window icon comes in every size the installed icon theme has, each a picture of its
// own, so that a window switcher asking for 256 pixels gets no 32-pixel one blown up.
TEST(ApplicationNameTest, TheWindowIconHasEverySizeOfTheIconTheme) {
    NameApplication("9.8.7.6");
    EXPECT_EQ(QApplication::windowIcon().availableSizes(),
              (QList<QSize>{{16, 16}, {24, 24}, {32, 32}, {48, 48}, {64, 64}, {128, 128},
                            {256, 256}}));
}

TEST(ApplicationNameTest, NoDisplayNameOfItsOwnIsAppendedToTheCaptions) {
    const QString saved_name = QCoreApplication::applicationName();
    NameApplication("9.8.7.6");
    EXPECT_EQ(QCoreApplication::applicationName().toStdString(), "Korvid");
    EXPECT_EQ(QCoreApplication::applicationVersion().toStdString(), "9.8.7.6");
    // On X11 Qt appends a display name set of its own to every window title. Without one the
    // display name is the application name, whatever that is, and nothing is appended.
    QCoreApplication::setApplicationName("probe");
    EXPECT_EQ(QGuiApplication::applicationDisplayName().toStdString(), "probe");
    QCoreApplication::setApplicationName(saved_name);
}

}  // namespace
}  // namespace korvid
