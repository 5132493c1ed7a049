#include "shell/about_dialog.h"

#include <sys/stat.h>

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

#include "client/update_meter.h"
#include "dataset/film_database.h"
#include "korvid_version.h"
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

bool DatabaseThere(const std::string& db_path) {
    struct stat info {};
    return ::stat(db_path.c_str(), &info) == 0;
}

}  // namespace

std::string FilmDataStateText(const std::string& db_path) {
    if (!DatabaseThere(db_path)) {
        return "There is no film data yet: Korvid has no film database at " + db_path + ".";
    }
    dataset::DatabaseStatus status;
    try {
        status = dataset::OpenFilmDatabase(db_path)->Status();
    } catch (const dataset::DatasetError& error) {
        return std::string("The film database cannot be read: ") + error.what();
    }
    std::string text = "Film database: " + status.path + "\nBuilt: " + status.built_at +
                       "\nTitles: " + std::to_string(status.titles) +
                       ", names: " + std::to_string(status.names) +
                       ", size: " + MegabytesText(static_cast<std::uint64_t>(status.size_bytes)) +
                       "\nAlternative titles: " + dataset::AlternativeTitlesText(status) +
                       "\nFiles:";
    for (const auto& [file, date] : status.file_dates) {
        text += "\n  " + file + "  " + date;
    }
    return text;
}

TAboutDialog::TAboutDialog(std::string db_path, QWidget* parent)
    : QDialog(parent), db_path_(std::move(db_path)) {
    setObjectName("AboutDialog");
    setWindowTitle(QString::fromLatin1(AboutCaption));
    setMinimumWidth(480);
    VersionLabel = MakeText(this, "VersionLabel", QStringLiteral("Korvid " KORVID_VERSION));
    QFont bold = VersionLabel->font();
    bold.setBold(true);
    VersionLabel->setFont(bold);
    CreditLabel = MakeText(this, "CreditLabel", QString::fromLatin1(dataset::CreditLine));
    StateLabel = MakeText(this, "StateLabel", QString());
    UpdateButton = new QPushButton(this);
    UpdateButton->setObjectName("UpdateButton");
    CoversCheckBox = new QCheckBox(QStringLiteral("Fetch covers online"), this);
    CoversCheckBox->setObjectName("CoversCheckBox");
    CoversCheckBox->setChecked(FetchCoversOnline());
    CloseButton = new QPushButton(QStringLiteral("Close"), this);
    CloseButton->setObjectName("CloseButton");

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(UpdateButton);
    buttons->addStretch();
    buttons->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(VersionLabel);
    layout->addWidget(CreditLabel);
    layout->addSpacing(8);
    layout->addWidget(StateLabel);
    layout->addWidget(CoversCheckBox);
    layout->addLayout(buttons);

    connect(UpdateButton, &QPushButton::clicked, this, &TAboutDialog::UpdateRequested);
    connect(CoversCheckBox, &QCheckBox::toggled, this, [](bool on) { SetFetchCoversOnline(on); });
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    ShowState();
}

void TAboutDialog::ShowState() {
    StateLabel->setText(QString::fromUtf8(FilmDataStateText(db_path_)));
    UpdateButton->setText(DatabaseThere(db_path_) ? QStringLiteral("Update the film data")
                                                  : QStringLiteral("Get the film data"));
}

}  // namespace korvid
