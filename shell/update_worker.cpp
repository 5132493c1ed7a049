#include "shell/update_worker.h"

#include <chrono>
#include <utility>

namespace korvid {
namespace {

using Clock = std::chrono::steady_clock;

// The worker reports no more often than this, so the GUI thread's queue never floods.
constexpr auto ReportInterval = std::chrono::milliseconds(100);

QString UpdateSummary(const DatasetUpdateReport& report) {
    const std::string counts = std::to_string(report.build.titles) + " titles, " +
                               std::to_string(report.build.names) + " names";
    return QString::fromStdString(report.rebuilt ? "The film data is ready: " + counts + "."
                                                 : "The film data is up to date: " + counts +
                                                       ".");
}

}  // namespace

TUpdateWorker::TUpdateWorker(DatasetDownloadOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)) {
    qRegisterMetaType<korvid::UpdateProgress>();
    qRegisterMetaType<korvid::TUpdateWorker::End>();
    connect(this, &TUpdateWorker::Finished, this, [this] { running_ = false; });
}

TUpdateWorker::~TUpdateWorker() {
    // Nothing the worker still reports reaches a receiver; then it is stopped and joined.
    disconnect();
    thread_.request_stop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void TUpdateWorker::Start() {
    if (running_) {
        return;
    }
    running_ = true;
    thread_ = std::jthread([this](std::stop_token stop) { Run(std::move(stop)); });
}

void TUpdateWorker::StartReplacing() {
    if (running_) {
        return;
    }
    options_.force = true;
    Start();
}

void TUpdateWorker::Cancel() {
    thread_.request_stop();
}

void TUpdateWorker::Run(std::stop_token stop) {
    DatasetDownloadOptions options = options_;
    options.stop = stop;
    Clock::time_point reported{};
    UpdateProgress last;
    options.progress = [&](const UpdateProgress& progress) {
        const Clock::time_point now = Clock::now();
        const bool new_step = progress.step != last.step || progress.file != last.file;
        // A file's end always comes through: the dialog counts the file at its size.
        const bool file_end = progress.total > 0 && progress.bytes == progress.total;
        if (new_step || file_end || now - reported >= ReportInterval) {
            reported = now;
            emit Progressed(progress);
        }
        last = progress;
    };
    try {
        const DatasetUpdateReport report = UpdateDatasets(options);
        emit Finished(End::Done, UpdateSummary(report));
    } catch (const UpdateCancelled& cancelled) {
        emit Finished(End::Cancelled, QString::fromUtf8(cancelled.what()));
    } catch (const dataset::SmallerThanBefore& refused) {
        emit Finished(End::Refused, QString::fromUtf8(refused.what()));
    } catch (const std::exception& error) {
        emit Finished(End::Failed, QString::fromUtf8(error.what()));
    }
}

}  // namespace korvid
