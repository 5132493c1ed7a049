#include "shell/about_dialog.h"

#include <sys/stat.h>

#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>
#include <vector>

#include "client/film_data_disk.h"
#include "client/film_data_removal.h"
#include "client/number_text.h"
#include "dataset/film_database.h"
#include "korvid_version.h"
#include "shell/dataset_folder_picker.h"
#include "shell/remove_film_data.h"
#include "shell/user_settings.h"

namespace korvid {
namespace {

QLabel* MakeText(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    // The state names files and paths: never read as rich text.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

bool DatabaseThere(const std::string& db_path) {
    struct stat info {};
    return !db_path.empty() && ::stat(db_path.c_str(), &info) == 0;
}

// Where the database and the downloads are, and how much each takes.
std::string PlacesText(const FilmDataPlaces& places) {
    const std::vector<FilmDataFile> files = FilmDataFiles(places.db_path, places.cache_folder);
    const bool database = DatabaseThere(places.db_path);
    const bool downloads = FilmDataBytes(files, true) > 0;
    return "The database: " + places.db_path + " (" +
           (database ? DiskSizeText(FilmDataBytes(files, false)) : std::string("none")) +
           ")\nThe downloads: " + places.cache_folder + " (" +
           (downloads ? DiskSizeText(FilmDataBytes(files, true)) : std::string("none")) + ")";
}

// The disk the film data needs at most (the downloads kept, the database and the new one of
// an update beside it), and what is free where it goes.
std::string DiskText(const FilmDataPlaces& places) {
    const DiskNeed need = EstimateDiskNeed(places.cache_folder);
    std::string text = "The film data needs about " + DiskSizeText(need.All()) +
                       " of disk: the downloads " + DiskSizeText(need.files) +
                       ", the database about " + DiskSizeText(need.database) +
                       ", and as much again while an update builds the new one.\nFree: ";
    const std::string db_folder = places.db_path.substr(0, places.db_path.rfind('/') + 1);
    if (SameDisk(places.cache_folder, db_folder)) {
        return text + DiskSizeText(FreeBytes(db_folder)) + ".";
    }
    return text + DiskSizeText(FreeBytes(places.cache_folder)) + " for the downloads, " +
           DiskSizeText(FreeBytes(db_folder)) + " for the database.";
}

}  // namespace

std::string LocalDateText(const std::string& iso_utc) {
    const QDateTime moment = QDateTime::fromString(QString::fromStdString(iso_utc), Qt::ISODate);
    if (!moment.isValid()) {
        return iso_utc;
    }
    return QLocale().toString(moment.toLocalTime(), QStringLiteral("d MMMM yyyy, HH:mm"))
        .toStdString();
}

std::string FilmDataStateText(const FilmDataPlaces& places) {
    const std::string& db_path = places.db_path;
    if (!DatabaseThere(db_path)) {
        if (const std::optional<std::string> removed = FilmDataRemovedAt(places.cache_folder)) {
            return "The film data was removed on " + LocalDateText(*removed) +
                   ": Korvid has no film database at " + db_path + ".";
        }
        return "There is no film data yet: Korvid has no film database at " + db_path + ".";
    }
    dataset::DatabaseStatus status;
    try {
        status = dataset::OpenFilmDatabase(db_path)->Status();
    } catch (const dataset::DatasetError& error) {
        return std::string("The film database cannot be read: ") + error.what();
    }
    std::string text = "Film database built " + LocalDateText(status.built_at) +
                       "\nTitles: " + std::to_string(status.titles) +
                       ", names: " + std::to_string(status.names) +
                       "\nAlternative titles: " + dataset::AlternativeTitlesText(status) +
                       "\nBuilt from the files of:";
    for (const auto& [file, date] : status.file_dates) {
        text += "\n  " + file + "  " + LocalDateText(date);
    }
    return text;
}

TAboutDialog::TAboutDialog(FilmDataPlaces places, Prompts& prompts, QWidget* parent)
    : QDialog(parent), places_(std::move(places)), prompts_(prompts) {
    setObjectName("AboutDialog");
    setWindowTitle(QString::fromLatin1(AboutCaption));
    setMinimumWidth(520);
    VersionLabel = MakeText(this, "VersionLabel", QStringLiteral("Korvid " KORVID_VERSION));
    QFont bold = VersionLabel->font();
    bold.setBold(true);
    VersionLabel->setFont(bold);
    CreditLabel = MakeText(this, "CreditLabel", QString::fromLatin1(dataset::CreditLine));
    StateLabel = MakeText(this, "StateLabel", QString());
    PlacesLabel = MakeText(this, "PlacesLabel", QString());
    DiskLabel = MakeText(this, "DiskLabel", QString());
    UpdateButton = MakeButton(this, "UpdateButton", QString());
    FolderButton = MakeButton(this, "FolderButton", QStringLiteral("Build from a folder..."));
    RemoveButton = MakeButton(this, "RemoveButton", QStringLiteral("Remove the film data"));
    CoversCheckBox = new QCheckBox(QStringLiteral("Fetch covers online"), this);
    CoversCheckBox->setObjectName("CoversCheckBox");
    CoversCheckBox->setChecked(FetchCoversOnline());
    CloseButton = MakeButton(this, "CloseButton", QStringLiteral("Close"));
    CloseButton->setDefault(true);
    PickFolder = [this] { return PickDatasetFolder(this); };

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(UpdateButton);
    buttons->addWidget(FolderButton);
    buttons->addWidget(RemoveButton);
    buttons->addStretch();
    buttons->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(VersionLabel);
    layout->addWidget(CreditLabel);
    layout->addSpacing(8);
    layout->addWidget(StateLabel);
    layout->addSpacing(4);
    layout->addWidget(PlacesLabel);
    layout->addWidget(DiskLabel);
    layout->addWidget(CoversCheckBox);
    layout->addLayout(buttons);

    connect(UpdateButton, &QPushButton::clicked, this, &TAboutDialog::UpdateRequested);
    connect(FolderButton, &QPushButton::clicked, this, [this] {
        if (const std::optional<std::string> folder = PickFolder()) {
            emit FolderUpdateRequested(QFile::decodeName(QByteArray::fromStdString(*folder)));
        }
    });
    connect(RemoveButton, &QPushButton::clicked, this, &TAboutDialog::AskToRemove);
    connect(CoversCheckBox, &QCheckBox::toggled, this, [](bool on) { SetFetchCoversOnline(on); });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    ShowState();
}

void TAboutDialog::ShowState() {
    StateLabel->setText(QString::fromUtf8(FilmDataStateText(places_)));
    PlacesLabel->setText(QFile::decodeName(QByteArray::fromStdString(PlacesText(places_))));
    DiskLabel->setText(QString::fromUtf8(DiskText(places_)));
    UpdateButton->setText(DatabaseThere(places_.db_path) ? QStringLiteral("Update the film data")
                                                         : QStringLiteral("Get the film data"));
    RemoveButton->setEnabled(!FilmDataFiles(places_.db_path, places_.cache_folder).empty());
    // A shorter state leaves no gaps.
    adjustSize();
}

void TAboutDialog::AskToRemove() {
    if (AskAndRemoveFilmData(places_, prompts_)) {
        ShowState();
        emit FilmDataRemoved();
    }
}

}  // namespace korvid
