#pragma once
// How the main window waits for a download it started: a lookup's pages and cover, or any
// other download. The download runs on the window's own thread (libcurl's multi interface,
// client/http) and asks the window's keep-going callback at least every TakeEventsEvery, also
// while the server sends nothing; its progress callback takes the events too. Each time, the
// window takes its events, and the message loop runs whatever is queued for the window's
// thread in the middle of the lookup. So what may run there is limited:
//
// - Runs during a lookup: painting and the window system's events; the stop inputs (Escape
//   cancels the download and the window stays; the close box and the controls allowed with
//   AllowDuringDownload, Go Away, end the download at once and close the window as soon as
//   it has returned); queued calls that touch neither the importer nor a dialog (an update's
//   progress in its dialog, the end of a cover fetch, which a lookup has already dropped);
//   input to the other windows (About Korvid, the update's dialog); and the lookup's own
//   prompts, which it opens itself.
// - Dropped: the user's input to the window and its controls, so none of its handlers runs.
// - Held until the lookup has ended: every piece of work that touches the importer or opens
//   a dialog and may come while a lookup runs goes through AfterDownload (AfterAnyDownload
//   where no window is at hand): the end of an update (the importer's database changes, the
//   search that led to the offer runs again), the start of an update (from the offer or
//   About Korvid), and the message loop's error box (TApplication). Held work runs from the
//   message loop's next turn after the lookup has returned, in the order it came.
//
// Any download the window starts waits this way: it runs inside a Scope, and its transfer
// asks KeepGoing with the rhythm TakeEventsEvery (HttpOptions::keep_going and
// keep_going_every, or TIMDBImport::SetKeepGoing for the importer's downloads). One download
// (or lookup) waits at a time: the window starts none while another waits.

#include <QObject>
#include <QWidget>
#include <chrono>
#include <functional>
#include <vector>

namespace korvid {

class DownloadWait {
  public:
    // The longest the window goes without taking its events during a download.
    static constexpr std::chrono::milliseconds TakeEventsEvery{20};

    explicit DownloadWait(QWidget& window) : window_(window) {}
    DownloadWait(const DownloadWait&) = delete;
    DownloadWait& operator=(const DownloadWait&) = delete;

    // The input to this control (a click on it, its shortcut or an action shown by it) still
    // counts during a download: the Go Away button.
    void AllowDuringDownload(QObject* control) { allowed_.push_back(control); }

    // The keep-going callback of every download the window starts: takes the window's events
    // and answers false once the download is to end (cancelled, or the window is to close).
    bool KeepGoing();
    // Takes the window's events as above, without answering anything (the byte count).
    void TakeEvents();

    bool Running() const { return running_; }

    // Work that touches the importer or opens a dialog: runs now when no download of the
    // window runs, else is held and runs from the message loop's next turn once the
    // outermost Scope has ended (held again when another download has begun by then).
    void AfterDownload(std::function<void()> work);
    // The same with the window whose download runs, if any: for work that knows no window.
    static void AfterAnyDownload(std::function<void()> work);
    // Escape during a download: the download ends as cancelled.
    void Cancel();
    // A request to close the window: true when it must wait, because a download runs; the
    // download then ends and the window closes once it has returned.
    bool DeferClose();

    // Marks a download (or a whole lookup with its downloads) as running while it lives.
    class Scope {
      public:
        explicit Scope(DownloadWait& wait);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

      private:
        DownloadWait& wait_;
        bool outer_;  // another scope already runs: this one leaves its state alone
    };

  private:
    class InputFilter;
    bool Allowed(const QObject* target) const;
    // The widget, or the action's or shortcut's widget, belongs to the window.
    bool BelongsToWindow(const QObject* target) const;

    QWidget& window_;
    std::vector<const QObject*> allowed_;
    bool running_ = false;
    bool cancel_requested_ = false;
    bool close_requested_ = false;
    std::vector<std::function<void()>> held_;  // AfterDownload's work, in the order it came
    // The wait whose download runs; one runs at a time in the program.
    static inline DownloadWait* running_wait_ = nullptr;
};

}  // namespace korvid
