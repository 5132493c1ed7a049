#include "shell/local_film_data.h"

#include <sys/stat.h>

#include <QWidget>
#include <cstdlib>
#include <utility>

#include "client/IMDBImport.h"
#include "dataset/database_path.h"
#include "dataset/film_database.h"
#include "shell/about_dialog.h"
#include "shell/update_dialog.h"

namespace korvid {

FilmDataPlaces FilmDataPlaces::FromEnvironment() {
    const char* source = std::getenv("KORVID_DATASETS_URL");
    FilmDataPlaces places;
    places.source = source != nullptr ? source : "";
    // A refused folder is never used: the site answers, and an update cannot start.
    try {
        places.db_path = dataset::DatabasePath("");
    } catch (const dataset::UserFolderError& refused) {
        places.problem = refused.what();
    }
    try {
        places.cache_folder = dataset::DatasetCacheFolder();
    } catch (const dataset::UserFolderError& refused) {
        places.problem = refused.what();
    }
    return places;
}

TLocalFilmData::TLocalFilmData(TIMDBImport& importer, QWidget& window, DownloadWait& wait,
                               StatusCallback status)
    : QObject(&window),
      importer_(importer),
      window_(window),
      wait_(wait),
      status_(std::move(status)),
      places_(FilmDataPlaces::FromEnvironment()),
      offer_(
          importer.UserPrompts(),
          [this] { return !importer_.HasFilmDatabase() && !UpdateRunning(); },
          [this] { return DatabaseThere() && watch_ ? watch_->Problem() : std::string(); },
          // Started once the lookup that made the offer has returned.
          [this] {
              retry_pending_ = true;
              StartUpdate();
          },
          [this] { return UpdateRunning() ? update_->Stage() : std::string(); }) {
    importer_.SetPrompts(offer_);
}

TLocalFilmData::~TLocalFilmData() {
    importer_.SetPrompts(offer_.Inner());
}

void TLocalFilmData::SetPlaces(FilmDataPlaces places) {
    places_ = std::move(places);
    if (watch_) {
        watch_.emplace(importer_, places_.db_path);
    }
}

void TLocalFilmData::Watch() {
    if (places_.db_path.empty()) {
        importer_.UserPrompts().ShowError("Cannot read the film database\n" + places_.problem +
                                          "\nThe site answers the lookups instead.");
        return;
    }
    watch_.emplace(importer_, places_.db_path);
    if (watch_->Check() == FilmDatabaseWatch::Change::Unreadable) {
        importer_.UserPrompts().ShowError("Cannot read the film database\n" + watch_->Problem() +
                                          "\nThe site answers the lookups instead.");
    }
}

bool TLocalFilmData::DatabaseThere() const {
    struct stat info {};
    return !places_.db_path.empty() && ::stat(places_.db_path.c_str(), &info) == 0;
}

std::string TLocalFilmData::BeforeLookup() {
    return watch_ ? watch_->BeforeLookup() : std::string();
}

bool TLocalFilmData::Look(const std::function<bool()>& lookup, std::string& note) {
    return LookWithFallBack(importer_, watch_ ? &*watch_ : nullptr, lookup, note);
}

void TLocalFilmData::ShowAbout() {
    if (about_) {
        about_->ShowState();
        about_->raise();
        about_->activateWindow();
        return;
    }
    about_ = new TAboutDialog(places_.db_path, &window_);
    about_->setAttribute(Qt::WA_DeleteOnClose);
    connect(about_, &TAboutDialog::UpdateRequested, this, &TLocalFilmData::StartUpdate);
    about_->show();
}

TAboutDialog* TLocalFilmData::About() const {
    return about_;
}

TUpdateDialog* TLocalFilmData::Update() const {
    return update_;
}

bool TLocalFilmData::UpdateRunning() const {
    return update_ && update_->Running();
}

void TLocalFilmData::StartUpdate() {
    wait_.AfterDownload([this] { OpenUpdate(); });
}

void TLocalFilmData::OpenUpdate() {
    if (update_) {
        if (update_->Running()) {
            update_->raise();
            update_->activateWindow();
            return;
        }
        update_->close();
    }
    if (places_.db_path.empty() || places_.cache_folder.empty()) {
        importer_.UserPrompts().ShowError("Cannot update the film data\n" + places_.problem);
        return;
    }
    DatasetDownloadOptions options;
    options.source = places_.source;
    options.cache_folder = places_.cache_folder;
    options.db_path = places_.db_path;
    update_ = new TUpdateDialog(std::move(options), &window_);
    update_->setAttribute(Qt::WA_DeleteOnClose);
    connect(update_, &TUpdateDialog::Ended, this, [this](TUpdateWorker::End end) {
        wait_.AfterDownload([this, end] { UpdateEnded(end); });
    });
    update_->show();
}

void TLocalFilmData::UpdateEnded(TUpdateWorker::End end) {
    if (end == TUpdateWorker::End::Done && watch_) {
        // The new data answers at once, not only at the next lookup's check.
        watch_->Check();
        status_(importer_.HasFilmDatabase() ? "The film data is ready: lookups answer from it"
                                            : watch_->Problem());
        // The lookup that led to the offer answers now, from the new data.
        if (std::exchange(retry_pending_, false) && retry_ && importer_.HasFilmDatabase()) {
            QMetaObject::invokeMethod(this, retry_, Qt::QueuedConnection);
        }
    } else if (end == TUpdateWorker::End::Cancelled || end == TUpdateWorker::End::Failed) {
        retry_pending_ = false;  // a refused database may still be put in place
    }
    if (about_) {
        about_->ShowState();
    }
}

}  // namespace korvid
