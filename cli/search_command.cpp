// korvid-cli search: looks a title up on the local film database or the site and prints the
// result list, or the film's fields when the answer was one film; --pick imports one entry of
// the list. The film read can be saved as the XML and CSV documents; --json prints either
// answer as one JSON document, naming the source that gave it.

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/lookup.h"
#include "cli/terminal_text.h"
#include "client/IMDBImport.h"
#include "common/short_string.h"
#include "dataset/film_database.h"

namespace korvid::cli {
namespace {

using Json = nlohmann::ordered_json;

void CheckOutputFile(const char* option, const std::optional<std::string>& file) {
    if (file && (file->empty() || file->size() > ShortString::MaxLength)) {
        throw UsageError(std::string(option) + " needs a file name of 1 to 255 characters");
    }
}

std::vector<std::string> Genres(const TIMDBImport& importer) {
    std::vector<std::string> genres;
    for (std::int32_t slot = 1; slot < importer.GenreSlot && slot < 11; ++slot) {
        genres.push_back(importer.Genres[static_cast<std::size_t>(slot)].str());
    }
    return genres;
}

// The film's fields in the order and under the names the text form prints them.
std::vector<std::pair<const char*, std::string>> FilmFields(const TIMDBImport& importer) {
    std::string genres;
    for (const std::string& genre : Genres(importer)) {
        genres += (genres.empty() ? "" : " / ") + genre;
    }
    return {
        {"Title", importer.Title},
        {"Year", importer.Year},
        {"Director", importer.Director},
        {"Genres", genres},
        {"TagLine", importer.TagLine},
        {"Plot", importer.Plot},
        {"RunningTime", importer.RunningTime},
        {"LeadRole", importer.LeadRole},
        {"Rated", importer.Rated},
        {"PosterFile", importer.PosterFile},
        {"MovieUrl", importer.MovieUrl},
    };
}

void PrintList(const TIMDBImport& importer, std::ostream& out) {
    for (int i = 0; i < importer.ResultTitles.Count(); ++i) {
        out << i << '\t' << ForTerminal(importer.ResultTitles[i]) << '\t'
            << ForTerminal(importer.ResultUrls[i]) << '\n';
    }
}

void PrintFilm(const TIMDBImport& importer, std::ostream& out) {
    for (const auto& [name, value] : FilmFields(importer)) {
        out << name << ": " << ForTerminal(value) << '\n';
    }
}

// Page text is Latin-1 and converted; the cover's path is a file name and kept as its bytes
// (a byte that is not part of valid UTF-8 written as "\xHH", so the name stays exact).
Json ListJson(const TIMDBImport& importer) {
    Json results = Json::array();
    for (int i = 0; i < importer.ResultTitles.Count(); ++i) {
        results.push_back({{"number", i},
                           {"title", Latin1ToUtf8(importer.ResultTitles[i])},
                           {"address", Latin1ToUtf8(importer.ResultUrls[i])}});
    }
    return {{"kind", "list"},
            {"source", FactsOf(importer.Source()).name},
            {"results", std::move(results)}};
}

Json FilmJson(const TIMDBImport& importer) {
    Json genres = Json::array();
    for (const std::string& genre : Genres(importer)) {
        genres.push_back(Latin1ToUtf8(genre));
    }
    const Json film = {{"title", Latin1ToUtf8(importer.Title)},
                       {"year", Latin1ToUtf8(importer.Year)},
                       {"director", Latin1ToUtf8(importer.Director)},
                       {"genres", std::move(genres)},
                       {"tagline", Latin1ToUtf8(importer.TagLine)},
                       {"plot", Latin1ToUtf8(importer.Plot)},
                       {"running_time", Latin1ToUtf8(importer.RunningTime)},
                       {"lead_role", Latin1ToUtf8(importer.LeadRole)},
                       {"rated", Latin1ToUtf8(importer.Rated)},
                       {"cover", FileNameForJson(importer.PosterFile.str())},
                       {"address", Latin1ToUtf8(importer.MovieUrl)}};
    return {{"kind", "film"}, {"source", FactsOf(importer.Source()).name}, {"film", film}};
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
        if (options.xml_file || options.csv_file) {
            err << MessagePrefix << "several films match; choose one with --pick N to save it\n";
            return ExitNotFound;
        }
        return ExitOk;
    }

    // The documents and the output name the cover once it is known.
    std::string no_cover;
    if (FactsOf(importer.Source()).cover_comes_later && !options.no_cover) {
        no_cover = importer.FetchLocalCover().failure;
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
    return ExitOk;
}

}  // namespace korvid::cli
