// korvid-cli search: looks a title up on the local film database or the site and prints the
// result list, or the film's fields when the answer was one film; --pick imports one entry of
// the list. The film read can be saved as the XML and CSV documents and as a movie NFO
// document; --json prints either
// answer as one JSON document, naming the source that gave it.

#include <chrono>
#include <nlohmann/json.hpp>
#include <ostream>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/lookup.h"
#include "cli/stop_on_signals.h"
#include "cli/terminal_text.h"
#include "client/IMDBImport.h"
#include "client/nfo_document.h"
#include "common/safe_save.h"
#include "common/short_string.h"
#include "dataset/film_database.h"
#include "korvid_version.h"

namespace korvid::cli {
namespace {

using Json = nlohmann::ordered_json;

void CheckOutputFile(const char* option, const std::optional<std::string>& file) {
    if (file && (file->empty() || file->size() > ShortString::MaxLength)) {
        throw UsageError(std::string(option) + " needs a file name of 1 to 255 characters");
    }
}

// The film's fields in the order and under the names the text form prints them, whole.
std::vector<std::pair<const char*, std::string>> FilmFields(const FilmTexts& film) {
    std::string genres;
    for (const std::string& genre : film.genres) {
        genres += (genres.empty() ? "" : " / ") + genre;
    }
    return {
        {"Title", film.title},
        {"Year", film.year},
        {"Director", film.director},
        {"Genres", genres},
        {"TagLine", film.tagline},
        {"Plot", film.plot},
        {"RunningTime", film.running_time},
        {"LeadRole", film.lead_role},
        {"Rated", film.rated},
        {"PosterFile", film.cover},
        {"MovieUrl", film.address},
    };
}

void PrintList(const TIMDBImport& importer, std::ostream& out) {
    for (int i = 0; i < importer.ResultTitles.Count(); ++i) {
        out << i << '\t' << Utf8ForTerminal(ShownEntry(importer.ResultText(i))) << '\t'
            << ForTerminal(importer.ResultUrls[i]) << '\n';
    }
}

void PrintFilm(const TIMDBImport& importer, std::ostream& out) {
    for (const auto& [name, value] : FilmFields(importer.Texts())) {
        out << name << ": " << Utf8ForTerminal(value) << '\n';
    }
}

// The texts whole; the cover's path is a file name and kept as its bytes (a byte that is not
// part of valid UTF-8 written as "\xHH", so the name stays exact). An entry found through an
// alternative title names it.
Json ListJson(const TIMDBImport& importer) {
    Json results = Json::array();
    for (int i = 0; i < importer.ResultTitles.Count(); ++i) {
        const ResultEntryText entry = importer.ResultText(i);
        Json result = {{"number", i},
                       {"title", entry.title},
                       {"address", Latin1ToUtf8(importer.ResultUrls[i])}};
        if (!entry.matched_title.empty()) {
            result["matched_title"] = entry.matched_title;
            result["matched_region"] = entry.matched_region;
        }
        results.push_back(std::move(result));
    }
    return {{"kind", "list"},
            {"source", FactsOf(importer.Source()).name},
            {"results", std::move(results)}};
}

Json FilmJson(const TIMDBImport& importer) {
    const FilmTexts texts = importer.Texts();
    const Json film = {{"title", texts.title},
                       {"year", texts.year},
                       {"director", texts.director},
                       {"genres", texts.genres},
                       {"tagline", texts.tagline},
                       {"plot", texts.plot},
                       {"running_time", texts.running_time},
                       {"lead_role", texts.lead_role},
                       {"rated", texts.rated},
                       {"cover", FileNameForJson(texts.cover)},
                       {"address", texts.address}};
    Json document = {{"kind", "film"}, {"source", FactsOf(importer.Source()).name}, {"film", film}};
    const ResultEntryText matched = importer.MatchedEntry();
    if (!matched.matched_title.empty()) {
        document["matched_title"] = matched.matched_title;
        document["matched_region"] = matched.matched_region;
    }
    return document;
}

// The document, with the credit line of the local film data where it answered.
void PrintJson(Json document, const TIMDBImport& importer, std::ostream& out) {
    if (const char* credit = FactsOf(importer.Source()).credit; *credit != '\0') {
        document["credit"] = credit;
    }
    out << document.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

}  // namespace

int RunSearchCommand(const SearchOptions& options, std::ostream& out, std::ostream& err) {
    CheckOutputFile("--xml", options.xml_file);
    CheckOutputFile("--csv", options.csv_file);
    CheckOutputFile("--nfo", options.nfo_file);

    TerminalPrompts prompts(err);
    TIMDBImport importer(prompts);
    importer.UseFilmDatabase(OpenFilmSource(options.site));
    const LookupResult found = LookUp(importer, options.title, options.pick, options.site, err);
    if (found.end == LookupEnd::Failed) {
        return found.exit_code;
    }
    if (found.end == LookupEnd::List) {
        if (options.json) {
            PrintJson(ListJson(importer), importer, out);
        } else {
            PrintList(importer, out);
            CreditSource(importer.Source(), err);
        }
        if (options.xml_file || options.csv_file || options.nfo_file) {
            err << MessagePrefix << "several films match; choose one with --pick N to save it\n";
            return ExitNotFound;
        }
        return ExitOk;
    }

    // The documents and the output name the cover once it is known.
    std::string no_cover;
    if (FactsOf(importer.Source()).cover_comes_later && !options.no_cover) {
        // Ctrl-C or SIGTERM ends the cover's download through its own stop path, which removes
        // the part it was writing; the exit code is then the signal's.
        std::stop_source stop;
        const StopOnSignals signals(stop);
        importer.SetKeepGoing([token = stop.get_token()] { return !token.stop_requested(); },
                              std::chrono::milliseconds(100));
        no_cover = importer.FetchLocalCover().failure;
        importer.SetKeepGoing({});
        if (signals.Signal() != 0) {
            err << MessagePrefix << "the cover download was cancelled\n";
            return 128 + signals.Signal();
        }
    }
    if (options.json) {
        PrintJson(FilmJson(importer), importer, out);
    } else {
        PrintFilm(importer, out);
        CreditSource(importer.Source(), err);
    }
    if (!no_cover.empty()) {
        err << MessagePrefix << "no cover: " << ForTerminal(no_cover) << '\n';
    }
    if (options.xml_file) {
        importer.SaveXml(*options.xml_file);
    }
    if (options.csv_file) {
        importer.SaveCsv(*options.csv_file);
    }
    if (options.nfo_file) {
        SaveFileSafely(*options.nfo_file,
                       NfoDocument(importer.Texts(), importer.Source(), KORVID_VERSION));
    }
    return ExitOk;
}

}  // namespace korvid::cli
