#pragma once
// TEditTagForm, the tag editor: a small modal window that shows the six fields of a movie
// file's EKT tag, lets the user edit them, and writes them as the file's tag on Save. It is
// created once, hidden, and shown modally again for each use; its components keep their
// contents between uses.
//
// The window is the desktop side of the tag routines: it implements their six-field interface
// (Fields()) with its edit boxes and genre box. Texts cross between the routines' bytes and Qt
// as Latin-1, one character per byte; a typed character outside Latin-1 is stored as "?".
//
// A save that fails leaves the window open with the user's edits, so the cause can be fixed
// and Save pressed again; nothing is written to the file (the writer guarantees that).

#include <QDialog>
#include <memory>

#include "common/prompts.h"
#include "common/short_string.h"
#include "tag/movie_tag.h"
#include "tag/tag_fields.h"

class QComboBox;
class QFrame;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace korvid {

class TImage;

inline constexpr const char* EditTagCaption = "Edit EKT Tag";
// The client area; with the window frame the window measures about 359 x 341.
inline constexpr int EditTagClientWidth = 351;
inline constexpr int EditTagClientHeight = 314;

class TEditTagForm : public QDialog {
    Q_OBJECT

  public:
    // Questions (the replace question) go through prompts; it must outlive the window.
    explicit TEditTagForm(Prompts& prompts, QWidget* parent = nullptr);
    ~TEditTagForm() override;

    // ---- Components, under their layout names ----
    QFrame* Panel1;
    QPushButton* Button1;  // "&Save", the default button
    QPushButton* Button2;  // "&Close"
    QGroupBox* GroupBox1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLineEdit* edTitle;
    QLineEdit* edDirector;
    QLineEdit* edIMDB;
    QLineEdit* edYear;
    QLineEdit* edComment;
    // Editable; the 27 genres in tag order. Typing selects the item whose name equals the
    // typed text ignoring case, or no item, so the index saved always matches what is shown.
    QComboBox* edGenre;
    QFrame* Panel2;
    TImage* Image2;
    QLabel* Label7;

    // The movie file the editor was last opened for; Save writes to it.
    ShortString MovieFileName;

    // The six fields in the routines' order: title, director, database identifier, year,
    // comment, genre. The view stays valid for the window's life.
    TagFields Fields();

    // Sets MovieFileName and, when the file already has a tag, asks whether to replace it:
    // on "OK" the fields keep what the caller put into them, on "Cancel" they take the old
    // tag's values. Then shows the window modally. When the file cannot be opened,
    // FileOpenError leaves before the window is shown.
    void EditTagForFile(const ShortString& file_name);
    // Sets MovieFileName, fills the fields from the file's last 128 bytes (tag or not) and
    // shows the window modally. FileOpenError as above; the fields are then untouched.
    void ShowTagOfFile(const ShortString& file_name);

    // Builds the record from the fields and writes it to MovieFileName. Errors pass through.
    TagPlacement SaveTag();

    // Save: writes the tag, then closes the window with the result Accepted. When writing
    // fails the error leaves here and the window stays open with the fields unchanged.
    void Button1Click();
    // Close: closes the window with the result Rejected; nothing is written.
    void Button2Click();

  protected:
    // Shows the window modally and returns when it closes. Tests override it to show the
    // window without blocking.
    virtual int ShowModal();
    // Escape does not close the window (it has no cancel button); everything else as usual.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    class FieldAdapters;

    void BuildLayout();
    void ConnectHandlers();

    Prompts& prompts_;
    std::unique_ptr<FieldAdapters> fields_;
};

}  // namespace korvid
