#include "shell/film_data_offer.h"

#include <cstdint>
#include <utility>

#include "client/film_data_disk.h"
#include "client/http.h"
#include "client/number_text.h"
#include "dataset/film_database.h"
#include "dataset/source_files.h"

namespace korvid {

std::string FilmDataOfferText(const std::string& damage) {
    const std::uint64_t tenths_of_gb = (dataset::ExpectedDatasetBytes() + 50'000'000) / 100'000'000;
    const std::string size = "about " + std::to_string(tenths_of_gb / 10) + "." +
                             std::to_string(tenths_of_gb % 10) + " GB";
    // What the downloads kept in the cache and the database take, and the new database beside
    // the old one while an update builds it.
    DiskNeed need;
    need.files = dataset::ExpectedDatasetBytes();
    need.database = DatabaseEstimate(need.files);
    const std::string disk = " The film data then takes about " +
                             DiskSizeText(need.files + need.database) + " of disk, and about " +
                             DiskSizeText(need.All()) + " while an update builds it anew.";
    const std::string what =
        damage.empty()
            ? "The site publishes its film data as files instead. Korvid can download the "
              "official files (" + size + ") and build its own film database from them on this "
              "computer, which takes a few minutes."
            : "The film database cannot be used (" + damage + "). Korvid can download the "
              "official files again where needed (" + size + ") and rebuild it, which takes a "
              "few minutes.";
    return what + disk + " The data are for personal and non-commercial use.\n" +
           dataset::CreditLine;
}

FilmDataOffer::FilmDataOffer(Prompts& inner, std::function<bool()> wanted,
                             std::function<std::string()> damage, std::function<void()> accepted,
                             std::function<std::string()> coming)
    : inner_(inner),
      wanted_(std::move(wanted)),
      damage_(std::move(damage)),
      accepted_(std::move(accepted)),
      coming_(std::move(coming)) {}

void FilmDataOffer::ShowFailure(const std::string& message, const std::string& cause) {
    if (cause == BrowserCheckCause && coming_) {
        if (const std::string stage = coming_(); !stage.empty()) {
            inner_.ShowFailure(message, cause + "; the film data is on its way (" + stage + ")" +
                                            OnItsWayNote);
            return;
        }
    }
    if (cause == NoConnectionCause && wanted_ && wanted_()) {
        inner_.ShowFailure(message, cause + "; " + OfflinePointer);
        return;
    }
    if (cause != BrowserCheckCause || !wanted_ || !wanted_()) {
        inner_.ShowFailure(message, cause);
        return;
    }
    if (asked_) {
        inner_.ShowFailure(message, cause + "; " + FilmDataPointer);
        return;
    }
    asked_ = true;
    const std::string text =
        message + "\n" + cause + "\n\n" + FilmDataOfferText(damage_ ? damage_() : "");
    // A 1.7 GB download is never started by a stray Enter.
    if (inner_.AskChoice("Korvid", text, "&Download", "Not now", DefaultChoice::Second) ==
            PromptAnswer::Ok &&
        accepted_) {
        accepted_();
    }
}

}  // namespace korvid
