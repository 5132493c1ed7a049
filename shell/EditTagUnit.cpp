#include "shell/EditTagUnit.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <string>

#include "common/text.h"
#include "shell/application.h"
#include "shell/banner.h"
#include "shell/latin1_text.h"
#include "shell/layout_fonts.h"
#include "tag/tag_routines.h"

namespace korvid {
namespace {

// The window's outer size with the frame, for centring it on the screen.
constexpr int OuterWidth = 359;
constexpr int OuterHeight = 341;

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, const QRect& geometry) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(geometry);
    return label;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const QRect& geometry) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(geometry);
    return edit;
}

QFrame* MakePanel(QWidget* parent, const char* name) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    return panel;
}

class EditBoxField : public TagTextField {
  public:
    explicit EditBoxField(QLineEdit* edit) : edit_(edit) {}
    std::string Text() const override { return ToBytes(edit_->text()); }
    void SetText(const std::string& text) override { edit_->setText(FromBytes(text)); }

  private:
    QLineEdit* edit_;
};

// The genre box as the routines rely on it: setting the index it already has changes
// nothing, -1 clears selection and text, setting the text leaves the selection alone.
class GenreBoxField : public TagGenreBox {
  public:
    explicit GenreBoxField(QComboBox* box) : box_(box) {}

    int ItemIndex() const override { return box_->currentIndex(); }

    void SetItemIndex(int index) override {
        if (index < 0 || index >= box_->count()) {
            index = -1;
        }
        if (index == box_->currentIndex()) {
            return;
        }
        box_->setCurrentIndex(index);
        box_->setEditText(index < 0 ? QString() : box_->itemText(index));
    }

    std::string Text() const override { return ToBytes(box_->currentText()); }
    void SetText(const std::string& text) override { box_->setEditText(FromBytes(text)); }

    // The first item whose text equals text, ignoring the case of a to z; -1 for none.
    int FindItem(const QString& text) const {
        const std::string wanted = ToBytes(text);
        for (int i = 0; i < box_->count(); ++i) {
            if (EqualIgnoringAsciiCase(ToBytes(box_->itemText(i)), wanted)) {
                return i;
            }
        }
        return -1;
    }

    // After the user typed: the selection follows the typed text (the matching item or
    // none), and the text stays as typed. Without this the box would keep the item chosen
    // before and Save would store a genre other than the one shown.
    void FollowTypedText() {
        QLineEdit* edit = box_->lineEdit();
        const QString typed = edit->text();
        const int match = FindItem(typed);
        if (match == box_->currentIndex()) {
            return;
        }
        const int cursor = edit->cursorPosition();
        box_->setCurrentIndex(match);
        edit->setText(typed);
        edit->setCursorPosition(cursor);
    }

  private:
    QComboBox* box_;
};

}  // namespace

class TEditTagForm::FieldAdapters {
  public:
    explicit FieldAdapters(TEditTagForm& form)
        : title(form.edTitle),
          director(form.edDirector),
          imdb(form.edIMDB),
          year(form.edYear),
          comment(form.edComment),
          genre(form.edGenre) {}

    EditBoxField title;
    EditBoxField director;
    EditBoxField imdb;
    EditBoxField year;
    EditBoxField comment;
    GenreBoxField genre;
};

TEditTagForm::TEditTagForm(Prompts& prompts, QWidget* parent) : QDialog(parent), prompts_(prompts) {
    BuildLayout();
    fields_ = std::make_unique<FieldAdapters>(*this);
    ConnectHandlers();
}

TEditTagForm::~TEditTagForm() = default;

void TEditTagForm::BuildLayout() {
    setObjectName(QStringLiteral("EditTagForm"));
    setWindowTitle(QString::fromLatin1(EditTagCaption));
    setFont(LayoutFont(QStringLiteral("MS Sans Serif"), 11));
    // A fixed client area of 351 x 314; the frame brings the window to about 359 x 341. The
    // window cannot be resized: its minimum and maximum sizes are that size (the window
    // manager's size hints), and on Windows its frame is the fixed one.
    setFixedSize(EditTagClientWidth, EditTagClientHeight);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->geometry().center() - QPoint(OuterWidth / 2, OuterHeight / 2));
    }

    // Created in tab order: Save and Close first, then the fields with the genre box last.
    Panel1 = MakePanel(this, "Panel1");
    Panel1->setGeometry(0, EditTagClientHeight - 41, EditTagClientWidth, 41);
    Button1 = new QPushButton(QStringLiteral("&Save"), Panel1);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(184, 8, 75, 25);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("&Close"), Panel1);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(266, 8, 75, 25);

    GroupBox1 = new QGroupBox(QStringLiteral("EKT Movie Tag information:"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(11, 78, 329, 180);
    Label1 = MakeLabel(GroupBox1, "Label1", "Title", {8, 24, 57, 13});
    Label2 = MakeLabel(GroupBox1, "Label2", "Director", {8, 48, 57, 13});
    Label3 = MakeLabel(GroupBox1, "Label3", "IMDB ID", {8, 72, 57, 13});
    Label4 = MakeLabel(GroupBox1, "Label4", "Year", {8, 96, 57, 13});
    Label5 = MakeLabel(GroupBox1, "Label5", "Genre", {8, 118, 57, 13});
    Label6 = MakeLabel(GroupBox1, "Label6", "Comment", {8, 142, 57, 13});
    edTitle = MakeEdit(GroupBox1, "edTitle", {60, 16, 250, 21});
    edDirector = MakeEdit(GroupBox1, "edDirector", {60, 40, 250, 21});
    edIMDB = MakeEdit(GroupBox1, "edIMDB", {60, 64, 250, 21});
    edYear = MakeEdit(GroupBox1, "edYear", {60, 88, 250, 21});
    edComment = MakeEdit(GroupBox1, "edComment", {60, 136, 250, 21});

    edGenre = new QComboBox(GroupBox1);
    edGenre->setObjectName(QStringLiteral("edGenre"));
    edGenre->setGeometry(60, 111, 251, 21);
    edGenre->setEditable(true);
    // Typing never adds an item, and no completer rewrites what is typed: the selection
    // follows the typed text instead (GenreBoxField::FollowTypedText).
    edGenre->setInsertPolicy(QComboBox::NoInsert);
    edGenre->setCompleter(nullptr);
    edGenre->setMaxVisibleItems(static_cast<int>(GenreNames.size()));
    for (const std::string_view name : GenreNames) {
        edGenre->addItem(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    }
    edGenre->setCurrentIndex(-1);
    edGenre->setEditText(QString());

    Panel2 = MakePanel(this, "Panel2");
    Panel2->setGeometry(0, 0, EditTagClientWidth, 65);
    const QFont banner_font = LayoutFont(QStringLiteral("Trebuchet MS"), 19);
    const BannerCaption captions[] = {
        {"Label7", "EKT Movie Tag Ver 2006", {127, 16}, banner_font, QColor(Qt::black), {202, 24}},
    };
    const Banner banner = FillBanner(Panel2, banner_font, captions);
    Image2 = banner.logo;
    Label7 = banner.captions[0];

    // The genre box comes after the comment box, although it stands above it.
    QWidget::setTabOrder(Button1, Button2);
    QWidget::setTabOrder(Button2, edTitle);
    QWidget::setTabOrder(edTitle, edDirector);
    QWidget::setTabOrder(edDirector, edIMDB);
    QWidget::setTabOrder(edIMDB, edYear);
    QWidget::setTabOrder(edYear, edComment);
    QWidget::setTabOrder(edComment, edGenre);
}

void TEditTagForm::ConnectHandlers() {
    connect(Button1, &QPushButton::clicked, this, Guarded([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, Guarded([this] { Button2Click(); }));
    connect(edGenre->lineEdit(), &QLineEdit::textEdited, this,
            Guarded([this] { fields_->genre.FollowTypedText(); }));
}

TagFields TEditTagForm::Fields() {
    return {fields_->title, fields_->director, fields_->imdb,
            fields_->year,  fields_->comment,  fields_->genre};
}

void TEditTagForm::EditTagForFile(const ShortString& file_name) {
    MovieFileName = file_name;
    ConfirmReplaceTag(MovieFileName, Fields(), prompts_);
    ShowModal();
}

void TEditTagForm::ShowTagOfFile(const ShortString& file_name) {
    MovieFileName = file_name;
    ReadTagIntoFields(MovieFileName, Fields());
    ShowModal();
}

TagPlacement TEditTagForm::SaveTag() {
    return korvid::SaveTag(MovieFileName, Fields());
}

void TEditTagForm::Button1Click() {
    // The result is set only after the tag is written, so a failed save leaves the window
    // open with the user's edits.
    SaveTag();
    done(QDialog::Accepted);
}

void TEditTagForm::Button2Click() {
    done(QDialog::Rejected);
}

int TEditTagForm::ShowModal() {
    return exec();
}

void TEditTagForm::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace korvid
