#pragma once
// Tmovieform, the main window: the search box and the toolbar, the result list, the film's
// details, plot and cover, and the status bar. The window holds no film data of its own:
// everything it shows is read from the importer right after an importer operation returns.

#include <QWidget>
#include <cstdint>
#include <optional>
#include <string>

#include "client/IMDBImport.h"
#include "common/prompts.h"
#include "shell/download_wait.h"

class QCloseEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QScrollArea;
class QStatusBar;
class QToolButton;
class QPushButton;

namespace korvid {

class LocalCoverFlow;
class TEditTagForm;
class TImage;
class TLocalFilmData;
class TXPThemeAPI;

// The window's caption, and the fixed size of its client area.
inline constexpr const char* MainCaption = "Brellow Korvid";
inline constexpr int MainClientWidth = 1009;
inline constexpr int MainClientHeight = 530;

// Asked when the window is closed while an update of the film data runs.
inline constexpr const char* UpdateRunningQuestion =
    "An update is running; stop it?\nWhat was downloaded is kept for the next update.";

class Tmovieform : public QWidget {
    Q_OBJECT

  public:
    // The window reads and writes the importer's fields; importer and prompts must outlive
    // it. app_dir is the program's folder (with its trailing "/"), host the site's host name.
    Tmovieform(TIMDBImport& importer, Prompts& prompts, std::string app_dir, std::string host,
               QWidget* parent = nullptr);
    ~Tmovieform() override;

    // ---- Components, under their layout names ----
    QWidget* Panel1;
    TImage* Image2;
    QLabel* Label8;
    QLabel* Label1;
    QWidget* ToolBar1;
    QWidget* ToolButton1;
    QLineEdit* Title;
    QToolButton* ToolButton2;
    QWidget* ToolButton3;
    QToolButton* ToolButton6;
    QToolButton* ToolButton5;
    QWidget* ToolButton7;
    QToolButton* ToolButton8;
    QToolButton* ToolButton9;
    QWidget* ToolButton10;
    QToolButton* ToolButton11;
    QWidget* ToolButton12;
    QToolButton* ToolButton13;
    QGroupBox* GroupBox1;
    QListWidget* ListBox1;
    QScrollArea* ScrollBox1;
    TImage* Image1;
    QWidget* Panel3;
    QPushButton* Button2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label2;
    QLabel* Label9;
    QLabel* Label6;
    QLabel* Label7;
    QLabel* Label11;
    QLabel* Label10;
    QPlainTextEdit* plotmemo;
    QStatusBar* StatusBar;
    TXPThemeAPI* XPThemeAPI1;

    // The save dialog of each document, each starting from its own last name, the cover's
    // save-picture dialog, and the open dialog of both tag buttons.
    FileDialogState XmlSaveDialog;
    FileDialogState CsvSaveDialog;
    FileDialogState SavePicture;
    FileDialogState OpenMovieDialog;

    // The tag editor, created hidden at start-up; the tag buttons do nothing without one.
    TEditTagForm* EditTagForm = nullptr;

    // Where the pointer was on the cover when its last drag began.
    std::int32_t DragStartX = 0;
    std::int32_t DragStartY = 0;

    // ---- Operations and handlers ----
    void ClearMovieLabels();
    void Button1Click();
    void ListBox1Click();
    void xmlsavebutClick();
    void Button3Click();
    void Button2Click();
    void Image1MouseDown(Qt::MouseButton button, int x, int y);
    // Whether a drop of the source would be accepted.
    bool ScrollBox1DragOver(QObject* source) const;
    // A drop of the source on target (ScrollBox1 or Image1) at (x, y) in target's coordinates.
    void ScrollBox1DragDrop(QObject* target, QObject* source, int x, int y);
    // Enter (13) searches, Escape (27) closes; the window's own key handler passes the key
    // on only while the window itself, and no control, holds the focus.
    void FormKeyDown(int key);
    void ToolButton13Click();
    void ToolButton8Click();
    void ToolButton9Click();

    // The status bar's one text.
    QString StatusText() const;

    // The local film data: its database, the offer, About Korvid and the update.
    TLocalFilmData& FilmData() const { return *film_data_; }

    // True while a search or an import runs.
    bool LookupRunning() const { return download_wait_.Running(); }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    // A close request during a lookup (the close box, Go Away) ends the lookup's download;
    // the window closes when the lookup has returned.
    void closeEvent(QCloseEvent* event) override;

  private:
    // The layout, one area at a time, top to bottom and left to right.
    void BuildLayout();
    void BuildBanner();
    void BuildToolbar();
    void BuildResultList();
    void BuildFilmPanel();
    void BuildStatusBar();
    void ConnectHandlers();
    void ConnectShortcuts();
    void SetStatus(const std::string& text);
    void ShowFilm();
    void LoadCover();
    void ShowResultTitles();
    // After a lookup: the plot box's note and the cover fetch of a film from the local film
    // data (shell/local_cover).
    void ShowLocalCover();
    // Before a lookup: a local film's cover in flight is dropped, and one shown goes too.
    void DropLocalCover();
    // Keeps the window painted during a download and shows how much has arrived.
    void ShowProgress(std::uint64_t bytes_received);
    class LookupScope;
    class ResultListInput;
    class TitleEnter;
    // After a lookup that found a page of another kind than a film's: says so, and no cover
    // of a film before stays.
    void ReportNotFilmPage();
    // Asks for a movie file; no value when the user cancels.
    std::optional<ShortString> ChooseMovieFile();

    TIMDBImport& importer_;
    Prompts& prompts_;
    TLocalFilmData* film_data_ = nullptr;
    // Routes the cover's drag events to the handlers; it goes first when the window goes.
    QObject* drag_filter_ = nullptr;
    // Routes the result list's keys and clicks (ResultListInput); it goes first too.
    QObject* list_input_ = nullptr;
    LocalCoverFlow* local_cover_ = nullptr;
    const std::string app_dir_;
    const std::string host_;
    std::string status_;  // the status text without the download's byte count
    // How the window waits for its downloads: every download it starts asks it, through
    // the importer's keep-going callback, to take its events.
    DownloadWait download_wait_;
    bool pick_failed_ = false;  // the last import from the list showed no film
};

}  // namespace korvid
