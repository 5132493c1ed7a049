#pragma once
// The application object of the desktop program. Its notify() is the message loop's error
// box: an error that leaves an event handler is shown with its text (error icon, one OK
// button) and the program goes on; SilentAbort is swallowed without a word. While a lookup
// of the main window runs, the box waits until it has ended (DownloadWait::AfterAnyDownload).
//
// Qt Widgets is built without exception support, so an error must not unwind through its
// frames: every handler the windows connect is entered through Guarded(), which catches at
// the handler's edge and hands the error to the same box. notify() is the net behind that.

#include <QApplication>
#include <exception>
#include <functional>
#include <utility>

#include "common/prompts.h"

namespace korvid {

class TApplication : public QApplication {
    Q_OBJECT

  public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Where the error box is shown (the dialogs, or scripted prompts in tests).
    void SetPrompts(Prompts* prompts) { prompts_ = prompts; }

    // Shows the error box for an error that ended a handler; SilentAbort shows nothing.
    // Outside a TApplication (no application object) the error is dropped.
    static void ReportError(std::exception_ptr error);
    // The same, from the message loop's next turn: for errors raised while painting,
    // where a modal box must not open.
    static void ReportErrorLater(std::exception_ptr error);

  private:
    void ShowError(std::exception_ptr error);
    void ShowErrorNow(const std::exception_ptr& error);

    Prompts* prompts_ = nullptr;
};

// Names the program for Qt: "Korvid", the version, the window icon. It sets no display name:
// on X11 Qt appends one to every window title, and the captions are the layouts' own.
void NameApplication(const char* version);

// Runs a handler, reporting an error that leaves it.
void RunGuarded(const std::function<void()>& handler);

// A slot for connect() that runs the handler guarded; the signal's arguments are ignored.
template <typename Handler>
auto Guarded(Handler handler) {
    return [handler = std::move(handler)]() { RunGuarded(handler); };
}

}  // namespace korvid
