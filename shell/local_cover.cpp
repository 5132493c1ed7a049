#include "shell/local_cover.h"

#include <QPlainTextEdit>
#include <algorithm>
#include <exception>
#include <utility>

#include "shell/jpeg_image.h"
#include "shell/user_settings.h"

namespace korvid {

void ShowLocalPlotNote(QPlainTextEdit* plot, const TIMDBImport& importer) {
    const bool film_without_plot = importer.Outcome() == LookupOutcome::Film &&
                                   !FactsOf(importer.Source()).has_plot_and_tagline;
    plot->setPlaceholderText(film_without_plot ? QString::fromLatin1(LocalPlotPlaceholder)
                                               : QString());
}

namespace {

// The cover's picture, read and decoded on the calling thread; null when its file cannot be
// read or holds no JPEG header. A picture that fails later in its decode keeps that error for
// its first draw.
std::unique_ptr<TGraphic> DecodedCover(const std::string& file) {
    auto picture = std::make_unique<TJPEGImage>();
    try {
        picture->LoadFromFile(file);
    } catch (const std::exception&) {
        return nullptr;
    }
    picture->DecodeAhead();
    return picture;
}

}  // namespace

LocalCoverFlow::LocalCoverFlow(TIMDBImport& importer, QObject* parent)
    : QObject(parent), importer_(importer) {}

LocalCoverFlow::~LocalCoverFlow() {
    for (const auto& job : jobs_) {
        job->thread.request_stop();
    }
    for (const auto& job : jobs_) {
        job->thread.join();
    }
}

bool LocalCoverFlow::Drop() {
    ++generation_;
    if (current_ != nullptr) {
        current_->thread.request_stop();
        current_ = nullptr;
    }
    return std::exchange(attached_, false);
}

void LocalCoverFlow::Start(Arrived arrived) {
    Drop();
    if (importer_.LocalFilmId().empty() || !FetchCoversOnline()) {
        return;
    }
    auto job = std::make_unique<Job>();
    job->generation = generation_;
    job->film_id = importer_.LocalFilmId();
    SuggestedCoverRequest request = importer_.LocalCoverRequest();
    Job* started = job.get();
    arrived_ = std::move(arrived);
    current_ = started;
    jobs_.push_back(std::move(job));
    started->thread = std::jthread([this, started, request = std::move(request)](
                                       const std::stop_token& stop) mutable {
        // The importer's own keep-going callback takes the window's events: a fetch on
        // another thread asks only whether it was stopped.
        request.http.keep_going = [stop] { return !stop.stop_requested(); };
        SuggestedCover cover = FetchSuggestedCover(request);
        if (!cover.file.empty() && !stop.stop_requested()) {
            started->picture = DecodedCover(cover.file);
        }
        QMetaObject::invokeMethod(
            this, [this, started, cover = std::move(cover)] { Finished(started, cover); },
            Qt::QueuedConnection);
    });
}

void LocalCoverFlow::Finished(Job* job, const SuggestedCover& cover) {
    const auto found = std::find_if(jobs_.begin(), jobs_.end(),
                                    [job](const auto& held) { return held.get() == job; });
    if (found == jobs_.end()) {
        return;
    }
    job->thread.join();  // it posted this as its last step
    const bool current = job == current_ && job->generation == generation_ &&
                         job->film_id == importer_.LocalFilmId();
    const std::string film_id = job->film_id;
    std::unique_ptr<TGraphic> picture = std::move(job->picture);
    jobs_.erase(found);
    if (!current) {
        return;
    }
    current_ = nullptr;
    if (!cover.file.empty()) {
        importer_.AttachCover(film_id, cover.file);
        attached_ = true;
    }
    if (arrived_) {
        picture_ = std::move(picture);
        arrived_(cover);
        picture_.reset();
    }
}

}  // namespace korvid
