#include "shell/MainUnit.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDrag>
#include <QDropEvent>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <exception>
#include <filesystem>
#include <limits>

#include "client/film_page.h"
#include "client/nfo_document.h"
#include "common/errors.h"
#include "common/safe_save.h"
#include "dataset/film_database.h"
#include "shell/EditTagUnit.h"
#include "shell/application.h"
#include "shell/banner.h"
#include "shell/latin1_text.h"
#include "shell/local_cover.h"
#include "shell/layout_fonts.h"
#include "shell/local_film_data.h"
#include "shell/lookup_status.h"
#include "shell/mdCONTROLS.h"
#include "shell/picture.h"
#include "shell/replace_question.h"
#include "shell/user_settings.h"
#include "shell/png_image.h"
#include "korvid_version.h"
#include "tag/tag_routines.h"

namespace korvid {
namespace {

constexpr int KeyEnter = 13;
constexpr int KeyEscape = 27;

// Each document's dialog lists its own type first; the XML one also the media centres' NFO
// document, which the type chosen (not the extension typed) picks.
constexpr const char* XmlFilter = "XML Files|*.xml|Media centre NFO|*.nfo|All Files|*.*";
constexpr int NfoFilterIndex = 2;
constexpr const char* CsvFilter = "CSV Files|*.csv|All Files|*.*";
// The message of a lookup that found a page of another kind than a film's.
constexpr const char* NotFilmPageMessage = "Cannot Download Page From Website !";
// The right edge of the detail labels: the plot box's.
constexpr int LabelRightEdge = 1001;
// The movie files both tag buttons offer; the patterns only choose what the dialog lists.
constexpr const char* MovieFilter =
    "All Supported Formats |*.avi;*.mpe;*.mpeg;*.mpg;*.mp4;*.mov;*.asf;*.asx;*.wmv;*.qt|"
    "Audio Video Interleave File (AVI) |*.AVI|MPEG Movie File (mpe)|*.mpe|"
    "Moving Picture Experts Group File (mpeg) |*.mpeg|"
    "Moving Picture Experts Group File  (mpg)|*.mpg|MPEG-4 Video File (mp4) |*.mp4|"
    "Apple QuickTime Movie (mov)|*.mov|Advanced Systems Format (asf) |*.asf|"
    "Microsoft ASF Redirector File (asx)|*.asx|Windows Media Video (wmv) |*.wmv|"
    "Apple QuickTime Movie (qt)|*.qt";
// What a drag of the cover carries; the dragged control itself is the drag's source.
constexpr const char* PictureDragFormat = "application/x-korvid-picture";

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, int left, int top) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setObjectName(name);
    // Labels show page text: never as rich text.
    label->setTextFormat(Qt::PlainText);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QLabel* MakeFixedLabel(QWidget* parent, const char* name, const char* text, QRect geometry) {
    QLabel* label = MakeLabel(parent, name, text, geometry.left(), geometry.top());
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(geometry);
    return label;
}

// A label without a fixed size grows with its text (UTF-8) up to the right edge of the
// details; a longer text is cut with "…" and shown whole in the label's tooltip, as plain text.
void SetLabelText(QLabel* label, const std::string& text) {
    const QString whole = QString::fromStdString(text);
    if (label->wordWrap()) {
        label->setText(whole);
        return;
    }
    const int room = LabelRightEdge - label->x();
    const QString shown = label->fontMetrics().elidedText(whole, Qt::ElideRight, room);
    label->setText(shown);
    label->setToolTip(shown == whole ? QString()
                                     : Qt::convertFromPlainText(whole, Qt::WhiteSpaceNoWrap));
    label->adjustSize();
}

QWidget* MakeSeparator(QWidget* toolbar, const char* name, int left, int width) {
    auto* separator = new QWidget(toolbar);
    separator->setObjectName(name);
    separator->setGeometry(left, 0, width, 22);
    return separator;
}

QToolButton* MakeToolButton(QWidget* toolbar, const char* name, int left, int icon,
                            const char* hint) {
    auto* button = new QToolButton(toolbar);
    button->setObjectName(name);
    button->setGeometry(left, 0, 23, 22);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIconSize(QSize(16, 16));
    // Decoded here: Qt's own readers would load its image-format plugins first.
    button->setIcon(QIcon(BuiltInPng(QStringLiteral(":/korvid/icon%1.png").arg(icon))));
    button->setToolTip(QString::fromLatin1(hint));
    return button;
}

// File names are kept as short strings; a longer name would be cut to the name of some
// other file, so it is refused instead.
template <typename Error>
ShortString ChosenFileName(const std::string& file_name) {
    if (file_name.size() > ShortString::MaxLength) {
        throw Error(file_name);
    }
    return ShortString(file_name);
}

ShortString ChosenDocumentName(const std::string& file_name) {
    return ChosenFileName<FileCreateError>(file_name);
}

}  // namespace

// Routes the drag events of the cover and of the scroll box's client area to the window's
// drag handlers, and keeps the cover filling the scroll box whenever it has been moved.
class CoverDragFilter : public QObject {
  public:
    explicit CoverDragFilter(Tmovieform& form) : QObject(&form), form_(form) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        QObject* target = watched == form_.Image1 ? static_cast<QObject*>(form_.Image1)
                                                  : static_cast<QObject*>(form_.ScrollBox1);
        switch (event->type()) {
            case QEvent::DragEnter:
            case QEvent::DragMove: {
                auto* drag = static_cast<QDragMoveEvent*>(event);
                drag->setAccepted(form_.ScrollBox1DragOver(drag->source()));
                return true;
            }
            case QEvent::Drop: {
                auto* drop = static_cast<QDropEvent*>(event);
                const QPoint at = drop->position().toPoint();
                RunGuarded(
                    [&] { form_.ScrollBox1DragDrop(target, drop->source(), at.x(), at.y()); });
                drop->acceptProposedAction();
                return true;
            }
            case QEvent::Move:
                if (watched == form_.Image1) {
                    FillScrollBox();
                }
                return false;
            default:
                return false;
        }
    }

    void FillScrollBox() {
        const QRect area = form_.ScrollBox1->viewport()->rect();
        if (form_.Image1->geometry() != area) {
            form_.Image1->setGeometry(area);
        }
    }

  private:
    Tmovieform& form_;
};

// The result list by keyboard and mouse: with no entry chosen yet, the first Down chooses
// entry 0 (the list's current row is already 0, so Down alone would go to entry 1); a click
// on the chosen entry after its import failed imports it again.
class Tmovieform::ResultListInput : public QObject {
  public:
    explicit ResultListInput(Tmovieform& form) : QObject(&form), form_(form) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        QListWidget* list = form_.ListBox1;
        if (event->type() == QEvent::KeyPress && watched == list) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Down && key->modifiers() == Qt::NoModifier &&
                list->count() > 0 && list->selectedItems().isEmpty()) {
                list->setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
                return true;
            }
        } else if (event->type() == QEvent::MouseButtonPress && watched == list->viewport()) {
            const auto* press = static_cast<QMouseEvent*>(event);
            const QListWidgetItem* item = list->itemAt(press->position().toPoint());
            if (press->button() == Qt::LeftButton && item != nullptr && item->isSelected() &&
                form_.pick_failed_) {
                RunGuarded([this] { form_.ListBox1Click(); });
                return true;
            }
        }
        return false;
    }

  private:
    Tmovieform& form_;
};

// Enter and keypad Enter in the Title box search, as the magnifier does. The key is taken
// here, so it never goes on to the window, whose own Enter would search a second time when
// the focus has moved during the first search.
class Tmovieform::TitleEnter : public QObject {
  public:
    // Owned by the Title box, and looks at nothing of the window but for Enter, so the
    // events of the window's teardown pass it by.
    explicit TitleEnter(Tmovieform& form) : QObject(form.Title), form_(form) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != parent() || event->type() != QEvent::KeyPress) {
            return false;
        }
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter) {
            return false;
        }
        RunGuarded([this] { form_.Button1Click(); });
        return true;
    }

  private:
    Tmovieform& form_;
};

Tmovieform::Tmovieform(TIMDBImport& importer, Prompts& prompts, std::string app_dir,
                       std::string host, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      importer_(importer),
      prompts_(prompts),
      app_dir_(std::move(app_dir)),
      host_(std::move(host)),
      download_wait_(*this) {
    setObjectName("movieform");
    film_data_ = new TLocalFilmData(importer_, *this, download_wait_,
                                    [this](const std::string& text) { SetStatus(text); });
    // The search that led to the offer of the film data answers again once the data is there.
    film_data_->SetRetry([this] {
        if (!Title->text().isEmpty() && !download_wait_.Running()) {
            RunGuarded([this] { Button1Click(); });
        }
    });
    BuildLayout();
    ConnectHandlers();

    XmlSaveDialog.title = "Save DVD Xml File";
    XmlSaveDialog.filter = XmlFilter;
    XmlSaveDialog.default_extension = ".xml";
    CsvSaveDialog.title = "Save DVD Csv File";
    CsvSaveDialog.filter = CsvFilter;
    CsvSaveDialog.default_extension = ".csv";
    SavePicture.title = "Save Cover Image";
    SavePicture.default_extension = ".jpg";
    SavePicture.filter = GraphicFilter();
    OpenMovieDialog.filter = MovieFilter;

    download_wait_.AllowDuringDownload(ToolButton13);
    importer_.SetProgress([this](std::uint64_t bytes) { ShowProgress(bytes); });
    importer_.SetKeepGoing([this] { return download_wait_.KeepGoing(); },
                           DownloadWait::TakeEventsEvery);
    local_cover_ = new LocalCoverFlow(importer_, this);
    SetStatus("OK");
}

Tmovieform::~Tmovieform() {
    importer_.SetProgress({});
    importer_.SetKeepGoing({});
    // The filter reads this window's members: it must not see the events of the children
    // that QWidget's destructor takes down after this destructor has run.
    delete drag_filter_;
    delete list_input_;
}

void Tmovieform::BuildLayout() {
    setWindowTitle(QString::fromLatin1(MainCaption));
    setFixedSize(MainClientWidth, MainClientHeight);
    move(125, 111);
    setFont(LayoutFont("Tahoma", 11));

    BuildBanner();
    BuildToolbar();
    BuildResultList();
    BuildFilmPanel();
    BuildStatusBar();
    XPThemeAPI1 = new TXPThemeAPI(this);

    // Tab order and the control that has the focus when the window opens.
    setTabOrder(ListBox1, Button2);
    setTabOrder(Button2, plotmemo);
    setTabOrder(plotmemo, Title);
    ListBox1->setFocus();
}

// The white banner along the top: the logo, the program's name and the tag version.
void Tmovieform::BuildBanner() {
    Panel1 = new QWidget(this);
    Panel1->setObjectName("Panel1");
    Panel1->setGeometry(0, 0, MainClientWidth, 65);
    const QFont name_font = LayoutFont("Trebuchet MS", 24);
    const QFont version_font = LayoutFont("Trebuchet MS", 19, false, true);
    const QColor navy(0, 0, 128);
    const BannerCaption captions[] = {
        {"Label8", "IMDB Korvid", {146, 13}, name_font, std::nullopt, {}},
        {"Label1", "EKT Tag Version 2006", {561, 37}, version_font, navy, {}},
    };
    const Banner banner = FillBanner(Panel1, LayoutFont("Trebuchet MS", 19), captions);
    Image2 = banner.logo;
    Label8 = banner.captions[0];
    Label1 = banner.captions[1];
}

// The toolbar under the banner: the search box and the buttons, with separators between.
void Tmovieform::BuildToolbar() {
    ToolBar1 = new QWidget(this);
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setGeometry(0, 65, MainClientWidth, 24);
    ToolButton1 = MakeSeparator(ToolBar1, "ToolButton1", 0, 21);
    Title = new QLineEdit(ToolBar1);
    Title->setObjectName("Title");
    Title->setGeometry(21, 0, 231, 22);
    Title->setMaxLength(std::numeric_limits<int>::max());
    ToolButton2 = MakeToolButton(ToolBar1, "ToolButton2", 252, 0, "Search For Film By Title");
    ToolButton3 = MakeSeparator(ToolBar1, "ToolButton3", 275, 55);
    ToolButton6 = MakeToolButton(ToolBar1, "ToolButton6", 330, 2, "Save Movie Data as CSV File");
    ToolButton5 = MakeToolButton(ToolBar1, "ToolButton5", 353, 3, "Save Movie Data as XML File");
    ToolButton7 = MakeSeparator(ToolBar1, "ToolButton7", 376, 8);
    ToolButton8 = MakeToolButton(ToolBar1, "ToolButton8", 384, 4,
                                 "Add Movie Data to a Movie File as EKT Tag");
    ToolButton9 = MakeToolButton(ToolBar1, "ToolButton9", 407, 5, "Show Movie File EKT Tag");
    ToolButton10 = MakeSeparator(ToolBar1, "ToolButton10", 430, 8);
    ToolButton11 = MakeToolButton(ToolBar1, "ToolButton11", 438, 6, "Help!");
    ToolButton12 = MakeSeparator(ToolBar1, "ToolButton12", 461, 8);
    ToolButton13 = MakeToolButton(ToolBar1, "ToolButton13", 469, 7, "Go Away, and dont come back!");
}

// The search results down the left side.
void Tmovieform::BuildResultList() {
    GroupBox1 = new QGroupBox(QStringLiteral("Search Results"), this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(0, 89, 497, 422);
    ListBox1 = new QListWidget(GroupBox1);
    ListBox1->setObjectName("ListBox1");
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox1->setUniformItemSizes(true);
    auto* list_layout = new QVBoxLayout(GroupBox1);
    list_layout->setContentsMargins(2, 2, 2, 2);
    list_layout->addWidget(ListBox1);
}

// The film on the right: the cover with its drag handling and save button, the detail
// labels, and the plot.
void Tmovieform::BuildFilmPanel() {
    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName("ScrollBox1");
    ScrollBox1->setGeometry(504, 95, 185, 234);
    ScrollBox1->setFocusPolicy(Qt::NoFocus);
    ScrollBox1->setWidgetResizable(true);
    Image1 = new TImage;
    Image1->setObjectName("Image1");
    ScrollBox1->setWidget(Image1);
    drag_filter_ = new CoverDragFilter(*this);
    for (QWidget* drop_target : {static_cast<QWidget*>(Image1), ScrollBox1->viewport()}) {
        drop_target->setAcceptDrops(true);
        drop_target->installEventFilter(drag_filter_);
    }

    Panel3 = new QWidget(this);
    Panel3->setObjectName("Panel3");
    Panel3->setGeometry(504, 331, 185, 32);
    Button2 = new QPushButton(QStringLiteral("&Save Cover"), Panel3);
    Button2->setObjectName("Button2");
    Button2->setGeometry(6, 4, 88, 25);

    Label3 = MakeLabel(this, "Label3", "Title", 697, 95);
    Label3->setFont(LayoutFont("Verdana", 13, true));
    Label3->adjustSize();
    Label4 = MakeLabel(this, "Label4", "Year", 699, 116);
    Label5 = MakeLabel(this, "Label5", "Director", 699, 138);
    Label2 = MakeLabel(this, "Label2", "Lead Role", 699, 159);
    Label9 = MakeLabel(this, "Label9", "Running Time", 699, 181);
    Label6 = MakeLabel(this, "Label6", "Rated", 699, 201);
    Label7 = MakeFixedLabel(this, "Label7", "Genre", QRect(699, 220, 285, 17));
    Label11 = MakeFixedLabel(this, "Label11", "Tag Line", QRect(698, 272, 295, 89));
    Label10 = MakeLabel(this, "Label10", "Plot Overview", 505, 376);

    plotmemo = new QPlainTextEdit(this);
    plotmemo->setObjectName("plotmemo");
    plotmemo->setGeometry(505, 391, 496, 114);
    plotmemo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Tab moves the focus on, as in every other control, instead of typing a tab.
    plotmemo->setTabChangesFocus(true);
}

void Tmovieform::BuildStatusBar() {
    StatusBar = new QStatusBar(this);
    StatusBar->setObjectName("StatusBar");
    StatusBar->setGeometry(0, MainClientHeight - 19, MainClientWidth, 19);
    StatusBar->setSizeGripEnabled(false);
}

void Tmovieform::ConnectHandlers() {
    // Enter and the keypad's Enter in the Title box search, as the magnifier does.
    Title->installEventFilter(new TitleEnter(*this));
    connect(ToolButton2, &QToolButton::clicked, this, Guarded([this] { Button1Click(); }));
    connect(ToolButton6, &QToolButton::clicked, this, Guarded([this] { Button3Click(); }));
    connect(ToolButton5, &QToolButton::clicked, this, Guarded([this] { xmlsavebutClick(); }));
    connect(ToolButton8, &QToolButton::clicked, this, Guarded([this] { ToolButton8Click(); }));
    connect(ToolButton9, &QToolButton::clicked, this, Guarded([this] { ToolButton9Click(); }));
    connect(ToolButton11, &QToolButton::clicked, this, Guarded([this] { film_data_->ShowAbout(); }));
    connect(ToolButton13, &QToolButton::clicked, this, Guarded([this] { ToolButton13Click(); }));
    connect(Button2, &QPushButton::clicked, this, Guarded([this] { Button2Click(); }));
    connect(ListBox1, &QListWidget::itemSelectionChanged, this,
            Guarded([this] { ListBox1Click(); }));
    connect(Image1, &TImage::MouseDown, this, [this](Qt::MouseButton button, int x, int y) {
        RunGuarded([&] { Image1MouseDown(button, x, y); });
    });
    list_input_ = new ResultListInput(*this);
    ListBox1->installEventFilter(list_input_);
    ListBox1->viewport()->installEventFilter(list_input_);
    ConnectShortcuts();
}

// A key for every toolbar button. During a lookup they are dropped like the window's other
// input; Go Away closes as the close box does.
void Tmovieform::ConnectShortcuts() {
    const struct {
        QKeySequence keys;
        QToolButton* button;
    } shortcuts[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_F), ToolButton2},
        {QKeySequence(Qt::CTRL | Qt::Key_S), ToolButton6},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), ToolButton5},
        {QKeySequence(Qt::CTRL | Qt::Key_T), ToolButton8},
        {QKeySequence(Qt::CTRL | Qt::Key_R), ToolButton9},
        {QKeySequence(Qt::Key_F1), ToolButton11},
        {QKeySequence(Qt::CTRL | Qt::Key_Q), ToolButton13},
    };
    for (const auto& [keys, button] : shortcuts) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        QToolButton* const target = button;
        if (target == ToolButton13) {
            download_wait_.AllowDuringDownload(shortcut);  // Go Away also stops a lookup
        }
        connect(shortcut, &QShortcut::activated, this, [this, target] {
            if (target == ToolButton13) {
                RunGuarded([this] { ToolButton13Click(); });
            } else if (!download_wait_.Running()) {
                target->click();
            }
        });
    }
}

QString Tmovieform::StatusText() const {
    return StatusBar->currentMessage();
}

void Tmovieform::SetStatus(const std::string& text) {
    status_ = text;
    StatusBar->showMessage(FromBytes(text));
}

void Tmovieform::ShowProgress(std::uint64_t bytes_received) {
    StatusBar->showMessage(FromBytes(status_) +
                           QStringLiteral(" %1 KB").arg((bytes_received + 1023) / 1024));
    download_wait_.TakeEvents();
}

// Marks a lookup as running for as long as it lives; a close request that came meanwhile
// is carried out once the lookup has returned.
class Tmovieform::LookupScope : public DownloadWait::Scope {
  public:
    explicit LookupScope(Tmovieform& form) : DownloadWait::Scope(form.download_wait_) {}
};

void Tmovieform::closeEvent(QCloseEvent* event) {
    if (download_wait_.DeferClose()) {
        event->ignore();
        return;
    }
    // A build takes minutes at full size: quitting in the middle of one is asked first. The
    // downloads are kept either way, so a later update goes on from there.
    if (film_data_->UpdateRunning() &&
        prompts_.AskChoice("Korvid", UpdateRunningQuestion, "&Stop it and quit", "&Go on",
                           DefaultChoice::Second) != PromptAnswer::Ok) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void Tmovieform::ClearMovieLabels() {
    SetLabelText(Label3, "Title : ");
    SetLabelText(Label4, "Year : ");
    SetLabelText(Label5, "Dir : ");
    SetLabelText(Label2, "Lead : ");
    SetLabelText(Label6, "Rated : ");
    SetLabelText(Label7, "Genre : ");
    SetLabelText(Label9, "Running Time : ");
    SetLabelText(Label11, "Tag : ");
    plotmemo->clear();
}

// The film's texts whole: a title in any script is shown as the film data holds it, also in
// the Title box, which the next search then takes as typed.
void Tmovieform::ShowFilm() {
    const FilmTexts film = importer_.Texts();
    Title->setText(QString::fromStdString(film.title));
    SetLabelText(Label3, "Title : " + film.title);
    SetLabelText(Label4, "Year : " + film.year);
    SetLabelText(Label5, "Dir : " + film.director);
    SetLabelText(Label2, "Lead : " + film.lead_role);
    SetLabelText(Label6, "Rated : " + film.rated);
    SetLabelText(Label7, "Genre : " + film.genre);
    SetLabelText(Label9, "Running Time : " + film.running_time);
    SetLabelText(Label11, "Tag : " + film.tagline);
    plotmemo->appendPlainText(QString::fromStdString(film.plot));
    LoadCover();
}

// A film is never shown beside another film's cover: without a cover of its own, or when
// its cover cannot be loaded, the cover area is emptied.
void Tmovieform::LoadCover() {
    if (importer_.PosterFile.empty()) {
        Image1->Picture().Clear();
    } else {
        try {
            Image1->Picture().LoadFromFile(importer_.PosterFile);
        } catch (const std::exception&) {
            Image1->Picture().Clear();
            SetStatus("Found Error while Loading Image !");
        }
    }
    Image1->PictureChanged();
}

// The list always mirrors the importer's result titles, so every entry can be imported.
void Tmovieform::ShowResultTitles() {
    const QSignalBlocker quiet(ListBox1);
    ListBox1->clear();
    for (std::int32_t i = 0; i < importer_.ResultTitles.Count(); ++i) {
        ListBox1->addItem(QString::fromStdString(ShownEntry(importer_.ResultText(i))));
    }
    ListBox1->setCurrentRow(-1, QItemSelectionModel::Clear);
    pick_failed_ = false;
    // A new list starts at its top, not where the last one was scrolled to.
    ListBox1->scrollToTop();
}

void Tmovieform::Button1Click() {
    if (Title->text().isEmpty()) {
        prompts_.ShowMessage("No title entered!");
        return;
    }
    DropLocalCover();
    plotmemo->clear();
    SetStatus("Scanning .......");
    importer_.AppDir = app_dir_;
    importer_.SetTypedTitle(Title->text().toStdString());
    importer_.Host = host_;
    ClearMovieLabels();
    // Nothing of the film shown before stays beside a new search's answer, not its cover.
    Image1->Picture().Clear();
    Image1->PictureChanged();
    std::string note = film_data_->BeforeLookup();
    const LookupScope lookup(*this);
    bool found = false;
    try {
        found = film_data_->Look([this] { return importer_.SearchTitle(); }, note);
    } catch (...) {
        ShowResultTitles();
        SetStatus("Found Error while Parsing !");
        throw;
    }
    ShowResultTitles();
    if (found && importer_.MovieFound) {
        SetStatus("Retrieving Movie Info....");
        ShowFilm();
    }
    ReportNotFilmPage();
    SetStatus(LookupDoneStatus(importer_, note));
    StatusBar->setToolTip(LookupSourceToolTip(importer_));
    ShowLocalCover();
}

void Tmovieform::ListBox1Click() {
    const QList<QListWidgetItem*> selected = ListBox1->selectedItems();
    const int index = selected.isEmpty() ? -1 : ListBox1->row(selected.constFirst());
    // The list gives its focus to the window while it is disabled, and the window keeps it,
    // so Enter and Escape reach FormKeyDown until the user clicks into a control.
    if (ListBox1->hasFocus()) {
        setFocus();
    }
    ListBox1->setEnabled(false);
    DropLocalCover();
    const LookupScope lookup(*this);
    std::string note;
    bool failed = false;
    try {
        plotmemo->clear();
        importer_.Host = host_;
        ClearMovieLabels();
        SetStatus("Retrieving Movie Info....");
        note = film_data_->BeforeLookup();
        pick_failed_ = true;
        if (film_data_->Look([&] { return importer_.ImportResult(index); }, note)) {
            SetStatus("Found Info, Importing Data....");
            ShowFilm();
            pick_failed_ = false;
        }
        ReportNotFilmPage();
    } catch (...) {
        failed = true;
        SetStatus("Found Error while Parsing !");
    }
    // The status ends on how the lookup ended: an error's status stays.
    if (!failed) {
        SetStatus(LookupDoneStatus(importer_, note));
    }
    StatusBar->setToolTip(LookupSourceToolTip(importer_));
    ListBox1->setEnabled(true);
    ShowLocalCover();
}

void Tmovieform::DropLocalCover() {
    if (local_cover_->Drop()) {
        Image1->Picture().Clear();
        Image1->PictureChanged();
    }
}

void Tmovieform::ShowLocalCover() {
    ShowLocalPlotNote(plotmemo, importer_);
    if (!importer_.LocalFilmId().empty() && !FetchCoversOnline()) {
        SetStatus(LookupDoneStatus(importer_) + " no cover: fetching covers online is off");
        return;
    }
    // The fields are shown; the cover follows when it arrives, or the status says why not.
    local_cover_->Start([this](const SuggestedCover& cover) {
        RunGuarded([&] {
            if (std::unique_ptr<TGraphic> picture = local_cover_->TakePicture()) {
                // Decoded on the fetch's thread: the window only paints it.
                Image1->Picture().Assign(std::move(picture));
                Image1->PictureChanged();
            } else if (!cover.file.empty()) {
                LoadCover();
            } else {
                SetStatus(LookupDoneStatus(importer_) + " no cover: " + cover.failure);
            }
        });
    });
}

void Tmovieform::ReportNotFilmPage() {
    if (importer_.Outcome() == LookupOutcome::NotFilmPage) {
        Image1->Picture().Clear();
        Image1->PictureChanged();
        prompts_.ShowMessage(std::string(NotFilmPageMessage) + "\n" + NotFilmPageCause);
    }
}

// Each document's button opens its own dialog, on its own file type and its own last name;
// a file already there is replaced only when the user says so.
void Tmovieform::xmlsavebutClick() {
    if (!prompts_.ExecuteSaveDialog(XmlSaveDialog) ||
        !MayReplace(prompts_, XmlSaveDialog.file_name)) {
        return;
    }
    const ShortString name = ChosenDocumentName(XmlSaveDialog.file_name);
    if (XmlSaveDialog.filter_index == NfoFilterIndex) {
        SaveFileSafely(name.str(),
                       NfoDocument(importer_.Texts(), importer_.Source(), KORVID_VERSION));
    } else {
        importer_.SaveXml(name);
    }
}

void Tmovieform::Button3Click() {
    if (prompts_.ExecuteSaveDialog(CsvSaveDialog) &&
        MayReplace(prompts_, CsvSaveDialog.file_name)) {
        importer_.SaveCsv(ChosenDocumentName(CsvSaveDialog.file_name));
    }
}

// The dialog offers the cover's own name, in the folder a cover was saved to last.
void Tmovieform::Button2Click() {
    if (!importer_.PosterFile.empty()) {
        const std::filesystem::path cover(importer_.PosterFile.str());
        const std::filesystem::path last(SavePicture.file_name);
        SavePicture.file_name = (last.has_parent_path() ? last.parent_path() / cover.filename()
                                                        : cover.filename())
                                    .string();
    }
    if (prompts_.ExecuteSaveDialog(SavePicture) && MayReplace(prompts_, SavePicture.file_name)) {
        Image1->Picture().SaveToFile(SavePicture.file_name);
    }
}

void Tmovieform::Image1MouseDown(Qt::MouseButton /*button*/, int x, int y) {
    DragStartX = x;
    DragStartY = y;
    auto* drag = new QDrag(Image1);
    auto* data = new QMimeData;
    data->setData(PictureDragFormat, QByteArray());
    drag->setMimeData(data);
    drag->exec(Qt::MoveAction);
}

bool Tmovieform::ScrollBox1DragOver(QObject* source) const {
    return qobject_cast<TImage*>(source) != nullptr;
}

void Tmovieform::ScrollBox1DragDrop(QObject* target, QObject* source, int x, int y) {
    auto* picture = qobject_cast<TImage*>(source);
    if (picture == nullptr) {
        return;
    }
    if (qobject_cast<TImage*>(target) != nullptr) {
        picture->move(picture->x() + x - DragStartX, picture->y());
        picture->move(picture->x(), picture->y() + y - DragStartY);
    } else {
        picture->move(x - DragStartX, picture->y());
        picture->move(picture->x(), y - DragStartY);
    }
}

void Tmovieform::keyPressEvent(QKeyEvent* event) {
    QWidget* focus = QApplication::focusWidget();
    if (focus == nullptr || focus == this) {
        const int key = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ? KeyEnter
                        : event->key() == Qt::Key_Escape                                ? KeyEscape
                                                                                        : 0;
        RunGuarded([&] { FormKeyDown(key); });
    }
    QWidget::keyPressEvent(event);
}

void Tmovieform::FormKeyDown(int key) {
    if (key == KeyEnter) {
        Button1Click();
    } else if (key == KeyEscape) {
        ToolButton13Click();
    }
}

void Tmovieform::ToolButton13Click() {
    close();
}

std::optional<ShortString> Tmovieform::ChooseMovieFile() {
    if (EditTagForm == nullptr || !prompts_.ExecuteOpenDialog(OpenMovieDialog)) {
        return std::nullopt;
    }
    return ChosenFileName<FileOpenError>(OpenMovieDialog.file_name);
}

// Tags a movie file with the film last looked up, after the user has seen and edited it.
void Tmovieform::ToolButton8Click() {
    const std::optional<ShortString> file = ChooseMovieFile();
    if (!file) {
        return;
    }
    FillFieldsFromFilm({importer_.Title, importer_.Director, importer_.LeadRole, importer_.MovieUrl,
                        importer_.Year, importer_.Genre},
                       EditTagForm->Fields());
    EditTagForm->EditTagForFile(*file);
}

// Shows what a movie file's last 128 bytes hold, in the editor.
void Tmovieform::ToolButton9Click() {
    if (const std::optional<ShortString> file = ChooseMovieFile()) {
        EditTagForm->ShowTagOfFile(*file);
    }
}

}  // namespace korvid
