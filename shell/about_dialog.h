#pragma once
// "About Korvid", opened by the Help! button: the version, the film data's credit line, what
// the local film database holds (as korvid-cli dataset status tells it) or that there is none,
// the button that gets or updates the film data, and whether covers are fetched online.

#include <QDialog>
#include <string>

class QCheckBox;
class QLabel;
class QPushButton;

namespace korvid {

inline constexpr const char* AboutCaption = "About Korvid";

// The film database's state in a few lines: built when, titles, names, size and the date of
// each file; or that there is none at the path, or why it cannot be read.
std::string FilmDataStateText(const std::string& db_path);

class TAboutDialog : public QDialog {
    Q_OBJECT

  public:
    TAboutDialog(std::string db_path, QWidget* parent);

    // Reads the database's state again (after an update).
    void ShowState();

    QLabel* VersionLabel;
    QLabel* CreditLabel;
    QLabel* StateLabel;
    QPushButton* UpdateButton;  // "Get the film data" or "Update the film data"
    QCheckBox* CoversCheckBox;  // "Fetch covers online"
    QPushButton* CloseButton;

  signals:
    void UpdateRequested();

  private:
    std::string db_path_;
};

}  // namespace korvid
