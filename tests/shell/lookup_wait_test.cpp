// The main window while a lookup waits on the site: it keeps painting and shows its status,
// drops the user's input but for the stop inputs (Escape cancels the lookup, Go Away and the
// close box end it and close the window); and a lookup in a program folder where nothing can
// be written fails as a download does.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QShortcut>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <chrono>
#include <functional>
#include <ostream>
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
        options.deadline_seconds = 10;  // a hung test ends
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
    int shortcut_uses = 0;
    const QShortcut save(QKeySequence(Qt::CTRL | Qt::Key_S), &form_, [&] { ++shortcut_uses; });
    bool running_after_input = false;
    QTimer::singleShot(std::chrono::milliseconds(300), &form_, [&] {
        status_while_waiting = form_.StatusText();
        paints_while_waiting = counter.paints;
        running_while_waiting = form_.LookupRunning();
        // The user's input to the window is dropped while the lookup runs: no second lookup,
        // no shortcut, and the lookup goes on.
        QTest::keyClicks(form_.Title, "x");
        QTest::mouseClick(form_.ToolButton2, Qt::LeftButton);
        QTest::keyClick(form_.Title, Qt::Key_S, Qt::ControlModifier);
        QTest::keyClick(form_.Title, Qt::Key_Return);
        running_after_input = form_.LookupRunning() && !importer_.DownloadCancelled();
        form_.close();
    });
    const auto started = std::chrono::steady_clock::now();
    form_.Title->setText("orchard");
    QTest::mouseClick(form_.ToolButton2, Qt::LeftButton);
    const auto waited = std::chrono::steady_clock::now() - started;

    EXPECT_TRUE(running_while_waiting);
    EXPECT_TRUE(running_after_input);
    EXPECT_EQ(shortcut_uses, 0);
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

// An input that stops a lookup, sent while it waits for the site's first byte.
struct StopInput {
    const char* name;
    std::function<void(Tmovieform&)> send;
    bool closes;  // the window closes; otherwise it stays, ready for the next lookup
};

void PrintTo(const StopInput& input, std::ostream* out) {
    *out << input.name;
}

class StopInputTest : public LookupWaitTest, public ::testing::WithParamInterface<StopInput> {
  protected:
    // Searches for "orchard" on the silent site; `during` runs while the lookup waits.
    // True when the lookup was still running then.
    bool SearchWhile(const std::function<void()>& during) {
        bool running = false;
        QTimer::singleShot(std::chrono::milliseconds(300), &form_, [&] {
            running = form_.LookupRunning();
            during();
        });
        form_.Title->setText("orchard");
        QTest::mouseClick(form_.ToolButton2, Qt::LeftButton);
        return running;
    }
};

TEST_P(StopInputTest, EndsTheLookupAtOnceWithoutAMessage) {
    const StopInput& input = GetParam();
    EXPECT_TRUE(SearchWhile([&] { input.send(form_); }));

    EXPECT_TRUE(importer_.DownloadCancelled());
    EXPECT_FALSE(form_.LookupRunning());
    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_TRUE(prompts_.errors.empty());
    EXPECT_EQ(form_.StatusText(), "Lookup cancelled");
    QCoreApplication::processEvents();
    EXPECT_EQ(form_.isVisible(), !input.closes);
    if (!input.closes) {
        // The stop belonged to that lookup alone: the next one waits again until stopped.
        EXPECT_TRUE(SearchWhile([&] {
            EXPECT_FALSE(importer_.DownloadCancelled());
            input.send(form_);
        }));
        EXPECT_TRUE(importer_.DownloadCancelled());
        EXPECT_TRUE(form_.isVisible());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, StopInputTest,
    ::testing::Values(
        StopInput{"EscapeInTheTitleBox",
                  [](Tmovieform& form) { QTest::keyClick(form.Title, Qt::Key_Escape); }, false},
        StopInput{"EscapeToTheWindow",
                  [](Tmovieform& form) { QTest::keyClick(&form, Qt::Key_Escape); }, false},
        StopInput{"GoAway",
                  [](Tmovieform& form) { QTest::mouseClick(form.ToolButton13, Qt::LeftButton); },
                  true},
        StopInput{"GoAwayShortcut",
                  [](Tmovieform& form) {
                      QApplication::setActiveWindow(&form);
                      QTest::keyClick(form.Title, Qt::Key_Q, Qt::ControlModifier);
                  },
                  true},
        StopInput{"TheCloseBox", [](Tmovieform& form) { form.close(); }, true}),
    [](const ::testing::TestParamInfo<StopInput>& info) { return std::string(info.param.name); });

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
