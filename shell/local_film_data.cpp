#include "shell/local_film_data.h"

#include <sys/stat.h>

#include <QFile>
#include <QWidget>
#include <cstdlib>
#include <utility>

#include "client/IMDBImport.h"
#include "dataset/database_path.h"
#include "dataset/film_database.h"
#include "shell/about_dialog.h"
#include "shell/update_dialog.h"

namespace korvid {

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
    about_ = new TAboutDialog(places_, importer_.UserPrompts(), &window_);
    about_->setAttribute(Qt::WA_DeleteOnClose);
    connect(about_, &TAboutDialog::UpdateRequested, this, &TLocalFilmData::StartUpdate);
    connect(about_, &TAboutDialog::FolderUpdateRequested, this,
            [this](const QString& folder) { StartUpdateFrom(QFile::encodeName(folder).toStdString()); });
    connect(about_, &TAboutDialog::FilmDataRemoved, this, &TLocalFilmData::FilmDataRemoved);
    about_->show();
}

void TLocalFilmData::FilmDataRemoved() {
    // Lookups go to the site at once, not only at the next lookup's check.
    if (watch_) {
        watch_->Check();
    }
    status_("The film data was removed: the site answers the lookups");
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
    StartUpdateFrom(places_.source);
}

void TLocalFilmData::StartUpdateFrom(const std::string& source) {
    wait_.AfterDownload([this, source] { OpenUpdate(source); });
}

void TLocalFilmData::OpenUpdate(const std::string& source) {
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
    options.source = source;
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
