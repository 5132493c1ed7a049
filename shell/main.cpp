// Korvid's desktop program. Start-up brings the long-lived objects into being in a fixed
// order, the message loop runs until the main window is closed, and shutdown takes them
// down in reverse, so no window handler can run against a destroyed importer.

#include <QEvent>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "client/IMDBImport.h"
#include "korvid_version.h"
#include "shell/EditTagUnit.h"
#include "shell/MainUnit.h"
#include "shell/app_dir.h"
#include "shell/application.h"
#include "shell/group_box_style.h"
#include "shell/layout_fonts.h"
#include "shell/layout_resources.h"
#include "shell/local_film_data.h"
#include "shell/picture.h"
#include "shell/qt_prompts.h"
#include "shell/startup_options.h"
#include "shell/user_settings.h"
#include "theme/mdTHEMES.h"

namespace {

constexpr const char* VersionText = "Korvid " KORVID_VERSION;

// Loads the visual-styles library for as long as it lives; a missing library is silent.
struct VisualStyles {
    VisualStyles() { korvid::LoadThemeLibrary(); }
    ~VisualStyles() { korvid::FreeThemeLibrary(); }
    VisualStyles(const VisualStyles&) = delete;
    VisualStyles& operator=(const VisualStyles&) = delete;
};

// Registers the JPEG picture class with the picture loader for as long as it lives.
struct JpegSupport {
    JpegSupport() { korvid::RegisterJpegFormat(); }
    ~JpegSupport() { korvid::UnregisterJpegFormat(); }
    JpegSupport(const JpegSupport&) = delete;
    JpegSupport& operator=(const JpegSupport&) = delete;
};

// For the start-up benchmark: with KORVID_QUIT_AFTER_FIRST_PAINT set, the program ends as
// soon as the main window has been painted once.
class QuitAfterFirstPaint : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            watched->removeEventFilter(this);
        }
        return false;
    }
};

}  // namespace

int main(int argc, char** argv) {
    // --help and --version answer before the display is opened, so they work without one.
    const korvid::StartupOptions options = korvid::ReadStartupOptions(argc, argv);
    switch (options.action) {
        case korvid::StartupOptions::Action::Help:
            std::fputs(korvid::StartupHelpText, stdout);
            return 0;
        case korvid::StartupOptions::Action::Version:
            std::puts(VersionText);
            return 0;
        case korvid::StartupOptions::Action::UsageError:
            std::fprintf(stderr, "%s\n%s\n", options.problem.c_str(), korvid::StartupUsageLine);
            return 2;
        case korvid::StartupOptions::Action::Run:
            break;
    }
    // Without a display the toolkit would abort with a core dump; a sentence and status 1.
    if (const std::string problem =
            korvid::DisplayProblem(options, std::getenv("QT_QPA_PLATFORM"), std::getenv("DISPLAY"),
                                   std::getenv("WAYLAND_DISPLAY"));
        !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    // The toolkit's application object exists before the program's own objects and is
    // taken down after them.
    korvid::TApplication app(argc, argv);
    std::setlocale(LC_TIME, "");  // the user's short date for the XML document's scan date
    // The HTTP layer loads libcurl on the first download, not here: start-up stays quick.
    korvid::InitLayoutResources();
    korvid::QtPrompts prompts;
    app.SetPrompts(&prompts);

    // 1. Module initialisations: JPEG support, the visual styles, then the importer.
    JpegSupport jpeg;
    VisualStyles styles;
    auto importer = std::make_unique<korvid::TIMDBImport>(prompts);

    // 2. The application.
    korvid::NameApplication(KORVID_VERSION);
    korvid::UseFormFontForTheApplication();
    korvid::UseGroupBoxFrameStyle();

    // 3. The main window, the first window and so the application's main window. A program
    // folder where nothing can be written does not stop it: the message names the folder
    // once the window shows, and each lookup then fails as a download does.
    const korvid::AppDirChoice app_dir = korvid::ProgramAppDir();
    if (app_dir.folder.empty()) {
        // No folder that may be written: a lookup would have nowhere to put its page.
        prompts.ShowError(app_dir.problem);
        return 1;
    }
    std::unique_ptr<korvid::Tmovieform> movieform;
    try {
        movieform = std::make_unique<korvid::Tmovieform>(*importer, prompts, app_dir.folder,
                                                         korvid::SiteHost());
    } catch (const std::exception& error) {
        prompts.ShowError(error.what());
        return 1;
    }
    // 4. The tag editor window, hidden until a tag button shows it. The main window owns
    // it, so both windows are gone before the importer.
    movieform->EditTagForm = new korvid::TEditTagForm(prompts, movieform.get());
    // The local film database answers the lookups when one has been built, and is looked at
    // again before each lookup; a file there that cannot be read is reported, and the site
    // answers instead.
    movieform->FilmData().Watch();

    // 5. The message loop shows the main window and runs until it is closed.
    if (std::getenv("KORVID_QUIT_AFTER_FIRST_PAINT") != nullptr) {
        movieform->installEventFilter(new QuitAfterFirstPaint(movieform.get()));
    }
    movieform->show();
    if (!app_dir.problem.empty()) {
        QTimer::singleShot(0, movieform.get(),
                           [&prompts, &app_dir] { prompts.ShowError(app_dir.problem); });
    }
    if (const std::string settings = korvid::UserSettingsProblem(); !settings.empty()) {
        QTimer::singleShot(0, movieform.get(), [&prompts, settings] {
            prompts.ShowError(settings + "\nYour settings are not read or kept.");
        });
    }
    const int exit_code = QApplication::exec();

    // Shutdown: the windows, then the importer; the visual-styles library and JPEG support
    // follow in reverse order of their creation as `styles` and `jpeg` leave scope.
    movieform.reset();
    importer.reset();
    return exit_code;
}
