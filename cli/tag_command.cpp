// korvid-cli tag and show-tag: write the EKT tag of movie files from options or from a lookup
// on the movie database site, and show what a file's last 128 bytes hold.

#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_common.h"
#include "cli/terminal_text.h"
#include "client/IMDBImport.h"
#include "common/errors.h"
#include "common/short_string.h"
#include "tag/movie_tag.h"
#include "tag/tag_fields.h"
#include "tag/tag_routines.h"

namespace korvid::cli {
namespace {

// A longer path would be cut and could then name another file; such a path is refused.
bool PathFits(const std::string& path) {
    return path.size() <= ShortString::MaxLength;
}

void ReportTooLong(const std::string& path, std::ostream& err) {
    err << path << ": " << IoError::TextForCode(3) << '\n';
}

std::string AllGenreNames() {
    std::string names;
    for (const auto name : GenreNames) {
        names += names.empty() ? "" : ", ";
        names += name;
    }
    return names;
}

// Looks the film up and fills the fields from it. Returns an exit code when there is no
// single film to take the fields from.
std::optional<int> FillFromLookup(const ParsedArgs& parsed, const TagFields& fields,
                                  std::ostream& err) {
    const std::string title = *parsed.Value("--search");
    std::optional<int> pick;
    if (const auto value = parsed.Value("--pick")) {
        pick = ParseIndex("--pick", *value);
    }

    TerminalPrompts prompts(err);
    TIMDBImport importer(prompts);
    importer.Host = parsed.Value("--host").value_or(SiteHost());
    importer.AppDir = WorkFolder(parsed);
    importer.Title = Utf8ToLatin1(title);

    const bool answered = importer.SearchTitle();
    if (importer.Outcome() == LookupOutcome::DownloadFailed) {
        return ReportDownloadFailure(importer, err);
    }
    if (answered && !importer.MovieFound && importer.ResultTitles.Count() > 0) {
        const int count = importer.ResultTitles.Count();
        if (!pick) {
            err << "Several films match \"" << ForTerminal(importer.Title)
                << "\"; choose one with --pick N:\n";
            for (int i = 0; i < count; ++i) {
                err << "  " << i << "  " << ForTerminal(importer.ResultTitles[i]) << '\n';
            }
            return ExitNotFound;
        }
        if (*pick < 0 || *pick >= count) {
            throw UsageError("--pick " + std::to_string(*pick) + " is not in the list (0 to " +
                             std::to_string(count - 1) + ")");
        }
        if (!importer.ImportResult(*pick)) {
            return ReportDownloadFailure(importer, err);
        }
    }
    if (!importer.MovieFound) {
        err << "No film found for \"" << ForTerminal(importer.Title) << "\"\n";
        return ExitNotFound;
    }
    FillFieldsFromFilm({importer.Title, importer.Director, importer.LeadRole, importer.MovieUrl,
                        importer.Year, importer.Genre},
                       fields);
    return std::nullopt;
}

}  // namespace

int RunTagCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const ParsedArgs parsed = ParseArgs(args,
                                        {"--title", "--director", "--comment", "--imdb", "--year",
                                         "--genre", "--search", "--pick", "--dir", "--host"},
                                        {});
    if (parsed.positional.empty()) {
        throw UsageError("tag needs at least one FILE");
    }
    if (parsed.Has("--pick") && !parsed.Has("--search")) {
        throw UsageError("--pick goes with --search");
    }
    std::optional<int> genre_index;
    if (const auto genre = parsed.Value("--genre")) {
        genre_index = genre->empty() ? -1 : FindGenre(*genre);
        if (*genre_index < 0 && !genre->empty()) {
            throw UsageError("unknown genre \"" + *genre + "\"; the genres are " + AllGenreNames());
        }
    }

    PlainTagFields plain;
    const TagFields fields = plain.Fields();
    if (parsed.Has("--search")) {
        if (const auto code = FillFromLookup(parsed, fields, err)) {
            return *code;
        }
    }
    // Options given beside a lookup override what the lookup found. The tag holds Latin-1
    // bytes; the terminal's UTF-8 is converted as the title of a search is.
    const std::pair<const char*, TagTextField*> texts[] = {{"--title", &plain.title},
                                                           {"--director", &plain.director},
                                                           {"--comment", &plain.comment},
                                                           {"--imdb", &plain.imdb},
                                                           {"--year", &plain.year}};
    for (const auto& [option, field] : texts) {
        if (const auto value = parsed.Value(option)) {
            field->SetText(Utf8ToLatin1(*value));
        }
    }
    if (genre_index) {
        plain.genre.SetItemIndex(*genre_index);
    }

    // The question about an existing tag is answered "OK": the new values replace it.
    TerminalPrompts prompts(err, PromptAnswer::Ok);
    int failures = 0;
    for (const std::string& file : parsed.positional) {
        if (!PathFits(file)) {
            ReportTooLong(file, err);
            ++failures;
            continue;
        }
        try {
            ConfirmReplaceTag(file, fields, prompts);
            const TagPlacement placement = SaveTag(file, fields);
            out << file << ": "
                << (placement == TagPlacement::Replaced ? "tag replaced" : "tag appended") << '\n';
        } catch (const FileOpenError& e) {
            err << e.what() << '\n';
            ++failures;
        } catch (const IoError& e) {
            err << file << ": " << e.what() << '\n';
            ++failures;
        }
    }
    return failures == 0 ? ExitOk : ExitFailure;
}

int RunShowTagCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const ParsedArgs parsed = ParseArgs(args, {}, {"--json"});
    if (parsed.positional.empty()) {
        throw UsageError("show-tag needs at least one FILE");
    }
    const bool json = parsed.Has("--json");
    int failures = 0;
    bool first = true;
    for (const std::string& file : parsed.positional) {
        if (!PathFits(file)) {
            ReportTooLong(file, err);
            ++failures;
            continue;
        }
        PlainTagFields shown;
        try {
            ReadTagIntoFields(file, shown.Fields());
        } catch (const FileOpenError& e) {
            err << e.what() << '\n';
            ++failures;
            continue;
        }
        if (json) {
            const nlohmann::ordered_json object = {
                {"file", file},
                {"title", Latin1ToUtf8(shown.title.Text())},
                {"director", Latin1ToUtf8(shown.director.Text())},
                {"comment", Latin1ToUtf8(shown.comment.Text())},
                {"imdb", Latin1ToUtf8(shown.imdb.Text())},
                {"year", Latin1ToUtf8(shown.year.Text())},
                {"genre", Latin1ToUtf8(shown.genre.Text())}};
            // A file name that is no valid UTF-8 gets replacement characters.
            out << object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
            continue;
        }
        if (!first) {
            out << '\n';
        }
        first = false;
        out << "File:     " << ForTerminal(file) << '\n'
            << "Title:    " << ForTerminal(shown.title.Text()) << '\n'
            << "Director: " << ForTerminal(shown.director.Text()) << '\n'
            << "IMDB ID:  " << ForTerminal(shown.imdb.Text()) << '\n'
            << "Year:     " << ForTerminal(shown.year.Text()) << '\n'
            << "Genre:    " << ForTerminal(shown.genre.Text()) << '\n'
            << "Comment:  " << ForTerminal(shown.comment.Text()) << '\n';
    }
    return failures == 0 ? ExitOk : ExitFailure;
}

}  // namespace korvid::cli
