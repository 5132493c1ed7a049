#pragma once
// How the main window waits for a download it started: a lookup's pages and cover, or any
// other download. The download runs on the window's own thread (libcurl's multi interface,
// client/http) and asks the window's keep-going callback at least every TakeEventsEvery, also
// while the server sends nothing. Each time, the window takes its events: it repaints,
// answers the window system, and drops the user's input to itself and its controls, so no
// handler runs and no dialog opens from inside a download. Only the stop inputs count:
// Escape cancels the download (the window stays); the close box and the controls allowed
// with AllowDuringDownload (Go Away) end the download at once and close the window as soon
// as it has returned.
//
// Any download the window starts waits this way: it runs inside a Scope, and its transfer
// asks KeepGoing with the rhythm TakeEventsEvery (HttpOptions::keep_going and
// keep_going_every, or TIMDBImport::SetKeepGoing for the importer's downloads). One download
// (or lookup) waits at a time: the window starts none while another waits.

#include <QObject>
#include <QWidget>
#include <chrono>
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
};

}  // namespace korvid
