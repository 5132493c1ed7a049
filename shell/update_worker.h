#pragma once
// One update of the film data (UpdateDatasets, the same core as korvid-cli dataset update)
// on a thread of its own, so the window stays responsive. Its progress and its end reach the
// GUI thread as queued signals; the worker never touches a widget.

#include <QObject>
#include <QString>
#include <thread>

#include "client/dataset_download.h"

namespace korvid {

class TUpdateWorker : public QObject {
    Q_OBJECT

  public:
    // Refused: the new database holds far fewer titles, or a file far fewer rows, than the one
    // it would replace, which is kept (SmallerThanBefore); StartReplacing puts it in place all
    // the same.
    enum class End { Done, Cancelled, Failed, Refused };
    Q_ENUM(End)

    explicit TUpdateWorker(DatasetDownloadOptions options, QObject* parent = nullptr);
    // Asks a running update to stop and waits for it (the core stops within a second).
    ~TUpdateWorker() override;
    TUpdateWorker(const TUpdateWorker&) = delete;
    TUpdateWorker& operator=(const TUpdateWorker&) = delete;

    void Start();
    // Starts the update again, putting the new database in place whatever its size.
    void StartReplacing();
    // Asks the update to stop; Finished follows with End::Cancelled once it has.
    void Cancel();
    bool Running() const { return running_; }

  signals:
    // At most a few times a second, and at each new step.
    void Progressed(const korvid::UpdateProgress& progress);
    // summary: the counts after a build, or the cause of a failure in one line.
    void Finished(korvid::TUpdateWorker::End end, const QString& summary);

  private:
    void Run(std::stop_token stop);

    DatasetDownloadOptions options_;
    bool running_ = false;
    std::jthread thread_;
};

}  // namespace korvid

Q_DECLARE_METATYPE(korvid::UpdateProgress)
