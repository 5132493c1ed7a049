#include "shell/update_dialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <optional>
#include <utility>

#include "dataset/film_database.h"

namespace korvid {
namespace {

QLabel* MakeLine(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    // Room for two lines from the start, so a longer text later is never cut off.
    label->setMinimumHeight(2 * label->fontMetrics().lineSpacing());
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

}  // namespace

TUpdateDialog::TUpdateDialog(DatasetDownloadOptions options, QWidget* parent)
    : QDialog(parent),
      database_path_(options.db_path),
      worker_(new TUpdateWorker(std::move(options), this)) {
    setObjectName("UpdateDialog");
    setWindowTitle(QString::fromLatin1(UpdateDialogCaption));
    setMinimumWidth(460);
    StepLabel = MakeLine(this, "StepLabel");
    StepLabel->setText(QStringLiteral("Starting"));
    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName("ProgressBar");
    ProgressBar->setRange(0, 0);
    DetailLabel = MakeLine(this, "DetailLabel");
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName("CancelButton");
    ReplaceButton = new QPushButton(QStringLiteral("&Replace anyway"), this);
    ReplaceButton->setObjectName("ReplaceButton");
    ReplaceButton->hide();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(StepLabel);
    layout->addWidget(ProgressBar);
    layout->addWidget(DetailLabel);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ReplaceButton);
    buttons->addWidget(CancelButton);
    layout->addLayout(buttons);

    connect(CancelButton, &QPushButton::clicked, this, &TUpdateDialog::reject);
    connect(ReplaceButton, &QPushButton::clicked, this, &TUpdateDialog::ReplaceAnyway);
    connect(worker_, &TUpdateWorker::Progressed, this, &TUpdateDialog::ShowProgress,
            Qt::QueuedConnection);
    connect(worker_, &TUpdateWorker::Finished, this, &TUpdateDialog::ShowEnd,
            Qt::QueuedConnection);
    worker_->Start();
}

void TUpdateDialog::reject() {
    if (worker_->Running()) {
        worker_->Cancel();
        CancelButton->setEnabled(false);
        StepLabel->setText(QStringLiteral("Cancelling ..."));
        return;
    }
    QDialog::reject();
}

void TUpdateDialog::ShowProgress(const UpdateProgress& progress) {
    if (!worker_->Running() || !CancelButton->isEnabled()) {
        return;  // a report that was on its way when the update ended or was cancelled
    }
    meter_.Take(progress, UpdateMeter::Clock::now());
    StepLabel->setText(QString::fromStdString(meter_.StepText()));
    DetailLabel->setText(QString::fromStdString(meter_.DetailText()));
    if (const std::optional<double> fraction = meter_.Fraction()) {
        ProgressBar->setRange(0, 1000);
        ProgressBar->setValue(static_cast<int>(1000.0 * *fraction));
    } else {
        ProgressBar->setRange(0, 0);  // no total to measure against
    }
}

void TUpdateDialog::ShowEnd(TUpdateWorker::End end, const QString& summary) {
    ProgressBar->setRange(0, 1);
    switch (end) {
        case TUpdateWorker::End::Done:
            ProgressBar->setValue(1);
            StepLabel->setText(summary);
            DetailLabel->setText(QString::fromLatin1(dataset::CreditLine));
            break;
        case TUpdateWorker::End::Cancelled:
            ProgressBar->setValue(0);
            StepLabel->setText(QStringLiteral("The update was cancelled; the film data is as it was."));
            DetailLabel->setText(
                QStringLiteral("What was downloaded is kept: the next update goes on from there."));
            break;
        case TUpdateWorker::End::Failed:
            ProgressBar->setValue(0);
            StepLabel->setText(QStringLiteral("The update failed; the film data is as it was."));
            DetailLabel->setText(summary);
            break;
        case TUpdateWorker::End::Refused:
            // The files may have been cut or emptied at their source, or the user may want
            // a smaller selection: the choice is the user's, with what would be replaced named.
            ProgressBar->setValue(0);
            StepLabel->setText(QStringLiteral("The new film data was not put in place; the film "
                                              "data is as it was."));
            DetailLabel->setText(summary + QStringLiteral("\nReplace anyway replaces ") +
                                 QString::fromStdString(database_path_) +
                                 QStringLiteral(" with the new database."));
            ReplaceButton->show();
            break;
    }
    CancelButton->setText(QStringLiteral("Close"));
    CancelButton->setEnabled(true);
    emit Ended(end);
}

std::string TUpdateDialog::Stage() const {
    const UpdateProgress& last = meter_.Last();
    if (last.step == UpdateProgress::Step::Index) {
        return "making its indexes";
    }
    if (last.file_number == 0) {
        return "starting";
    }
    return std::string(last.step == UpdateProgress::Step::Build ? "building, file " : "file ") +
           std::to_string(last.file_number) + " of " + std::to_string(last.file_count);
}

void TUpdateDialog::ReplaceAnyway() {
    ReplaceButton->hide();
    CancelButton->setText(QStringLiteral("Cancel"));
    StepLabel->setText(QStringLiteral("Starting"));
    DetailLabel->clear();
    ProgressBar->setRange(0, 0);
    worker_->StartReplacing();
}

}  // namespace korvid
