#pragma once
// A film's texts whole, in UTF-8, as a person reads them: what the window, korvid-cli's text
// and JSON and the media centre's NFO show. The importer's fields hold the same texts in
// Latin-1 (a character outside it as "?") for the XML and CSV documents and the tag, which
// keep the bytes they always had. For a film from the local film data the texts are made from
// its record by the code that fills the Latin-1 fields; for a film page, they are its Latin-1
// fields converted.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvid {

namespace dataset {
struct FilmRecord;
}  // namespace dataset

struct FilmTexts {
    std::string title;  // as the Title field: with the space before a year ("Alien ")
    std::string original_title;  // only where the source knows it and it differs
    std::string year;
    std::string director;
    std::string lead_role;       // "Sigourney Weaver as Ripley"
    std::string cast_true_name;  // the lead's name
    std::string cast_name;       // the lead's character
    std::string rated;           // "8.5/10"
    std::string genre;           // the first genre
    std::vector<std::string> genres;
    std::string running_time;  // "117 min"
    std::string tagline;
    std::string plot;
    std::string cover;    // the cover file's path; empty without a cover
    std::string address;  // the film page's address
    std::optional<std::int64_t> votes;  // where the source gives them
    // The cover's address on the image host where the source names it (a film page's cover
    // line); empty otherwise, also when the cover file was had another way.
    std::string cover_address;
};

// The texts of a film of the local film data, before a cover and an address are known.
FilmTexts LocalFilmTexts(const dataset::FilmRecord& film);

// One entry of a result list, whole: "Title (Year)" and, when the film was found through one
// of its alternative titles, that title and the region it belongs to ("RU"; may be empty).
struct ResultEntryText {
    std::string title;
    std::string matched_title;
    std::string matched_region;
};

// The entry as a list shows it: "Title (Year)", then the matched alternative title and its
// region after a dash: "Amélie (2001) — Амели (RU)".
std::string ShownEntry(const ResultEntryText& entry);

}  // namespace korvid
