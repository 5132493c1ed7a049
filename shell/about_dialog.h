#pragma once
// "About Korvid", opened by the Help! button: the version, the film data's credit line, what
// the local film database holds (as korvid-cli dataset status tells it), that there is none or
// that it was removed; where the database and the downloads are and their sizes, the disk the
// film data needs and what is free; the buttons that get or update the film data, build it
// from a folder of files fetched elsewhere, and remove it; and whether covers are fetched
// online. Dates are in local time, as a person reads them.

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "common/prompts.h"
#include "shell/film_data_places.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace korvid {

inline constexpr const char* AboutCaption = "About Korvid";

// A moment given as "2026-12-08T13:05:00Z" in local time and words: "8 December 2026, 14:05";
// any other text as it is.
std::string LocalDateText(const std::string& iso_utc);

// The film database's state in a few lines: built when, titles, names, size and the date of
// each file; or that there is none at the path (or that it was removed, and when), or why it
// cannot be read.
std::string FilmDataStateText(const FilmDataPlaces& places);

class TAboutDialog : public QDialog {
    Q_OBJECT

  public:
    // prompts: asks whether to remove the film data.
    TAboutDialog(FilmDataPlaces places, Prompts& prompts, QWidget* parent);

    // Reads the film data's state again (after an update).
    void ShowState();

    QLabel* VersionLabel;
    QLabel* CreditLabel;
    QLabel* StateLabel;
    QLabel* PlacesLabel;  // where the database and the downloads are, and their sizes
    QLabel* DiskLabel;    // the disk the film data needs, and what is free
    QPushButton* UpdateButton;  // "Get the film data" or "Update the film data"
    QPushButton* FolderButton;  // "Build from a folder ..."
    QPushButton* RemoveButton;  // "Remove the film data", while there is some
    QCheckBox* CoversCheckBox;  // "Fetch covers online"
    QPushButton* CloseButton;

    // The folder picker of FolderButton (PickDatasetFolder); tests put their own in its place.
    std::function<std::optional<std::string>()> PickFolder;

  signals:
    void UpdateRequested();
    // The update, with the files read from the folder (as --from FOLDER).
    void FolderUpdateRequested(const QString& folder);
    void FilmDataRemoved();

  private:
    void AskToRemove();

    FilmDataPlaces places_;
    Prompts& prompts_;
};

}  // namespace korvid
