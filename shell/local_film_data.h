#pragma once
// The window's side of the local film data: where the database and the downloads live, the
// offer of the film data after the site's browser check, About Korvid, and the update run
// from the window. Keeping the database in step with its file and falling back to the site
// are the core's (client/database_watch), forwarded here for the window. Nothing here changes
// the importer's database or opens a dialog in the middle of a lookup: the start and the end
// of an update wait for the window's lookup to end (DownloadWait::AfterDownload).

#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>
#include <string>

#include "client/database_watch.h"
#include "shell/download_wait.h"
#include "shell/film_data_offer.h"
#include "shell/film_data_places.h"
#include "shell/update_worker.h"

class QWidget;

namespace korvid {

class TAboutDialog;
class TIMDBImport;
class TUpdateDialog;

class TLocalFilmData : public QObject {
    Q_OBJECT

  public:
    using StatusCallback = std::function<void(const std::string&)>;

    // Puts the film data offer in front of the importer's prompts while it lives. The
    // window is the dialogs' parent, and wait how it waits for its lookups; status shows a
    // text in its status bar.
    TLocalFilmData(TIMDBImport& importer, QWidget& window, DownloadWait& wait,
                   StatusCallback status);
    ~TLocalFilmData() override;
    TLocalFilmData(const TLocalFilmData&) = delete;
    TLocalFilmData& operator=(const TLocalFilmData&) = delete;

    const FilmDataPlaces& Places() const { return places_; }
    void SetPlaces(FilmDataPlaces places);

    // From now on the importer's database follows the file at Places().db_path; it is
    // opened now, and a file there that cannot be used is told in a message.
    void Watch();
    bool Watching() const { return watch_.has_value(); }

    // FilmDatabaseWatch::BeforeLookup, while watching; else empty.
    std::string BeforeLookup();
    // LookWithFallBack with the watch.
    bool Look(const std::function<bool()>& lookup, std::string& note);

    // What runs the lookup that led to the offer again once the update it started is done.
    void SetRetry(std::function<void()> retry) { retry_ = std::move(retry); }

    // About Korvid, opened by the Help! button (or raised when it is open).
    void ShowAbout();
    // Gets or updates the film data on a worker thread, with its progress dialog; asked for
    // during a lookup, once the lookup has ended.
    void StartUpdate();
    // The same with the files read from a folder (as --from FOLDER).
    void StartUpdateFrom(const std::string& source);
    bool UpdateRunning() const;

    // The dialogs while they are open, else null.
    TAboutDialog* About() const;
    TUpdateDialog* Update() const;

  private:
    bool DatabaseThere() const;
    void OpenUpdate(const std::string& source);
    // The update's end, once no lookup runs: the new database answers from now on.
    void UpdateEnded(TUpdateWorker::End end);
    void FilmDataRemoved();

    TIMDBImport& importer_;
    QWidget& window_;
    DownloadWait& wait_;
    StatusCallback status_;
    FilmDataPlaces places_;
    FilmDataOffer offer_;
    std::optional<FilmDatabaseWatch> watch_;
    QPointer<TAboutDialog> about_;
    QPointer<TUpdateDialog> update_;
    std::function<void()> retry_;
    bool retry_pending_ = false;  // the offer started the update: its lookup runs again
};

}  // namespace korvid
