// The main window while a lookup waits on the site: it keeps painting and shows its status,
// a close request ends the lookup and closes the window; and a lookup in a program folder
// where nothing can be written fails as a download does.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <chrono>
#include <string>

#include "shell/MainUnit.h"
#include "shell/app_dir.h"
#include "shell/application.h"
#include "loopback/loopback_server.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/silent_server.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using loopback::HttpRequest;
using loopback::HttpResponse;
using loopback::LoopbackServer;
using test_support::ScriptedPrompts;
using test_support::SilentServer;
using test_support::TempDir;

TApplication* App() {
    return qobject_cast<TApplication*>(QCoreApplication::instance());
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
  public:
    int paints = 0;
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
};

class LookupWaitTest : public ::testing::Test {
  protected:
    LookupWaitTest()
        : importer_(prompts_), form_(importer_, prompts_, dir_.Dir(), silent_.HostPort()) {
        App()->SetPrompts(&prompts_);
        HttpOptions options;
        options.deadline_seconds = 30;  // a hung test ends
        importer_.SetHttpOptions(options);
        form_.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form_));
    }
    ~LookupWaitTest() override { App()->SetPrompts(nullptr); }

    TempDir dir_;
    SilentServer silent_;
    ScriptedPrompts prompts_;
    TIMDBImport importer_;
    Tmovieform form_;
};

TEST_F(LookupWaitTest, BeforeTheFirstByteTheWindowPaintsAndACloseEndsTheLookupAndTheWindow) {
    PaintCounter counter;
    form_.StatusBar->installEventFilter(&counter);
    QString status_while_waiting;
    int paints_while_waiting = -1;
    bool running_while_waiting = false;
    // A timer is no user input: it fires while the lookup waits, as a window-system event does.
    QTimer::singleShot(std::chrono::milliseconds(300), &form_, [&] {
        status_while_waiting = form_.StatusText();
        paints_while_waiting = counter.paints;
        running_while_waiting = form_.LookupRunning();
        // The user's input to the window is dropped while the lookup runs: no second lookup.
        QTest::keyClicks(form_.Title, "x");
        QTest::mouseClick(form_.ToolButton2, Qt::LeftButton);
        form_.close();
    });
    const auto started = std::chrono::steady_clock::now();
    form_.Title->setText("orchard");
    QTest::mouseClick(form_.ToolButton2, Qt::LeftButton);
    const auto waited = std::chrono::steady_clock::now() - started;

    EXPECT_TRUE(running_while_waiting);
    EXPECT_EQ(form_.Title->text(), "orchard");
    EXPECT_EQ(status_while_waiting, "Scanning .......");
    EXPECT_GT(paints_while_waiting, 0);
    // The close ended the download long before the deadline, without a message.
    EXPECT_LT(waited, std::chrono::seconds(20));
    EXPECT_TRUE(importer_.DownloadCancelled());
    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_TRUE(prompts_.errors.empty());
    EXPECT_FALSE(form_.LookupRunning());
    // The window closes on the message loop's next turn.
    QCoreApplication::processEvents();
    EXPECT_FALSE(form_.isVisible());
}

TEST_F(LookupWaitTest, OutsideALookupACloseClosesAtOnce) {
    form_.close();
    EXPECT_FALSE(form_.isVisible());
}

// A program folder that cannot be created (below a file: not even root can) is the folder
// all the same; a lookup in it fails with the download message.
TEST(UnwritableProgramFolderTest, ALookupFailsWithTheDownloadMessage) {
    TempDir dir;
    test_support::WriteFileBytes(dir.File("file"), "x");
    const AppDirChoice choice = ChooseAppDir(dir.File("no-such-folder"),
                                             dir.File("file").c_str(), nullptr);
    ASSERT_FALSE(choice.problem.empty());
    LoopbackServer site([](const HttpRequest&) {
        return HttpResponse::Ok("<html><head><title>IMDb Search</title></head></html>");
    });
    ScriptedPrompts prompts;
    App()->SetPrompts(&prompts);
    TIMDBImport importer(prompts);
    {
        Tmovieform form(importer, prompts, choice.folder, site.HostPort());
        form.show();
        form.Title->setText("orchard");
        QTest::mouseClick(form.ToolButton2, Qt::LeftButton);
        EXPECT_THAT(prompts.messages, ::testing::ElementsAre(::testing::StartsWith(
                                          "Cannot Download Page From Website !\n")));
        EXPECT_THAT(form.StatusText().toStdString(), ::testing::StartsWith("Lookup failed: "));
        EXPECT_EQ(site.Requests().size(), 1u);
    }
    App()->SetPrompts(nullptr);
}

}  // namespace
}  // namespace korvid
