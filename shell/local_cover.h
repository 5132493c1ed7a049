#pragma once
// The cover of a film from the local film data in the main window: after the lookup has shown
// the film's fields, its cover is fetched from the site's suggestion service on a thread of
// its own (the core's FetchSuggestedCover), so the window keeps answering meanwhile. When it
// arrives for the film still shown, the importer attaches it (the documents then name it) and
// the window is told, with the picture decoded on the fetch's thread; a new lookup drops a
// cover in flight.

#include <QObject>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <thread>

#include "client/IMDBImport.h"
#include "shell/picture.h"

class QPlainTextEdit;

namespace korvid {

// The grey text of the plot box of a film from the local film data, which has no plots.
inline constexpr const char* LocalPlotPlaceholder = "The local film data has no plot.";

// Shows the placeholder in the plot box after a lookup that read a film from the local film
// data, and no placeholder after any other.
void ShowLocalPlotNote(QPlainTextEdit* plot, const TIMDBImport& importer);

class LocalCoverFlow : public QObject {
    Q_OBJECT

  public:
    // Told how the fetch ended, after the importer has attached the cover it found.
    using Arrived = std::function<void(const SuggestedCover& cover)>;

    explicit LocalCoverFlow(TIMDBImport& importer, QObject* parent = nullptr);
    // Cancels the fetches still running and waits for them (a cancel ends one within about a
    // second).
    ~LocalCoverFlow() override;
    LocalCoverFlow(const LocalCoverFlow&) = delete;
    LocalCoverFlow& operator=(const LocalCoverFlow&) = delete;

    // After a lookup: when the importer holds a film from the local film data and the user
    // lets covers be fetched online, starts fetching its cover. arrived is called on this
    // object's thread, only for the film that is still the importer's.
    void Start(Arrived arrived);
    // A new lookup begins: any cover in flight is cancelled and never attached; this does not
    // wait for its transfer, which ends on its own thread within about a second. True when a
    // cover this flow attached is still shown: the window then empties its cover box, since a
    // cover never outlives its film.
    bool Drop();
    // True while a fetch for the current film runs.
    bool Running() const { return current_ != nullptr; }
    // While arrived runs for a cover that arrived: the picture, already decoded on the job's
    // thread, so that the window only paints it. Null when the file could not be read or its
    // header is no JPEG header; the window then loads the file itself and says so.
    std::unique_ptr<TGraphic> TakePicture() { return std::move(picture_); }

  private:
    struct Job {
        std::uint64_t generation = 0;
        std::string film_id;
        // Its stop token is the fetch's keep-going test: a stop ends the transfer.
        std::jthread thread;
        // The cover's picture, decoded by the job (set before it posts Finished).
        std::unique_ptr<TGraphic> picture;
    };
    // Called on this object's thread when a job's fetch has ended.
    void Finished(Job* job, const SuggestedCover& cover);

    TIMDBImport& importer_;
    std::list<std::unique_ptr<Job>> jobs_;
    Job* current_ = nullptr;
    Arrived arrived_;
    std::uint64_t generation_ = 0;
    bool attached_ = false;
    std::unique_ptr<TGraphic> picture_;  // the arrived cover's, for TakePicture
};

}  // namespace korvid
