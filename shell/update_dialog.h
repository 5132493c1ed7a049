#pragma once
// The progress of an update of the film data, run by the window: the step (file k of 6, the
// build, its indexes), the bytes of the whole download (or of the file built), the rate and
// the time left, and Cancel. The
// dialog does not block the window; when the update ends it says how, in one line.

#include <QDialog>
#include <string>

#include "client/update_meter.h"
#include "shell/update_worker.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace korvid {

inline constexpr const char* UpdateDialogCaption = "Updating the film data";

class TUpdateDialog : public QDialog {
    Q_OBJECT

  public:
    // Starts the update at once.
    TUpdateDialog(DatasetDownloadOptions options, QWidget* parent);

    bool Running() const { return worker_->Running(); }
    // Where the running update stands, in words: "file 2 of 6", "building the database".
    std::string Stage() const;
    TUpdateWorker& Worker() const { return *worker_; }

    QLabel* StepLabel;
    QProgressBar* ProgressBar;
    QLabel* DetailLabel;
    QPushButton* CancelButton;  // "Cancel" while the update runs, then "Close"
    // Shown when the new database was refused for its size: puts it in place all the same.
    QPushButton* ReplaceButton;

  signals:
    void Ended(korvid::TUpdateWorker::End end);

  public slots:
    // Cancel while the update runs (the dialog stays until it has stopped), else close.
    void reject() override;

  private:
    void ShowProgress(const UpdateProgress& progress);
    void ShowEnd(TUpdateWorker::End end, const QString& summary);
    void ReplaceAnyway();

    std::string database_path_;
    TUpdateWorker* worker_;
    UpdateMeter meter_;
};

}  // namespace korvid
