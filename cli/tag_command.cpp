// korvid-cli tag: edits the EKT tag of movie files. Field options change only those fields of
// a file's tag and keep the others; a lookup (the local film database or the site) replaces
// all six fields, as the tag editor does after a lookup, and field options beside it override
// what it found.

#include <array>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/film_tag.h"
#include "cli/lookup.h"
#include "cli/terminal_text.h"
#include "client/IMDBImport.h"
#include "common/errors.h"
#include "tag/movie_tag.h"
#include "tag/tag_fields.h"
#include "tag/tag_routines.h"

namespace korvid::cli {
namespace {

std::string AllGenreNames() {
    std::string names;
    for (const auto name : GenreNames) {
        names += names.empty() ? "" : ", ";
        names += name;
    }
    return names;
}

// The genre option as a genre index: a name of the list ignoring case, or "" for none.
std::optional<int> GenreIndex(const std::optional<std::string>& genre) {
    if (!genre) {
        return std::nullopt;
    }
    const int index = genre->empty() ? -1 : FindGenre(*genre);
    if (index < 0 && !genre->empty()) {
        throw UsageError("unknown genre \"" + *genre + "\"; the genres are " + AllGenreNames());
    }
    return index;
}

// The values in a file's tag; an untagged file starts from empty fields and no genre. The
// genre number is kept as stored, also one outside the list.
MovieTagValues ValuesOfFile(const std::string& file) {
    const MovieTag tag = ReadLastTagBytes(file);
    if (!tag.HasMarker()) {
        return {};
    }
    return {tag.Title(), tag.Director(), tag.Comment(), tag.Imdb(), tag.Year(), tag.GenreNumber()};
}

// The field options in Latin-1, laid over values.
struct FieldOverrides {
    std::optional<std::string> title, director, comment, imdb, year;
    std::optional<int> genre_index;

    void ApplyTo(MovieTagValues& values) const {
        const std::array<std::pair<const std::optional<std::string>*, std::string*>, 5> texts = {
            {{&title, &values.title},
             {&director, &values.director},
             {&comment, &values.comment},
             {&imdb, &values.imdb},
             {&year, &values.year}}};
        for (const auto& [given, field] : texts) {
            if (*given) {
                *field = **given;
            }
        }
        if (genre_index) {
            values.genre_index = *genre_index;
        }
    }
};

FieldOverrides ConvertOptions(const TagFieldOptions& options) {
    const auto latin1 = [](const std::optional<std::string>& text) -> std::optional<std::string> {
        if (!text) {
            return std::nullopt;
        }
        return TypedToLatin1(*text);
    };
    return {latin1(options.title), latin1(options.director), latin1(options.comment),
            latin1(options.imdb),  latin1(options.year),     GenreIndex(options.genre)};
}

// A value longer than its slot is stored cut; the user is told which and how much is kept.
void WarnAboutCuts(const MovieTagValues& values, std::ostream& err) {
    using namespace tag_layout;
    const std::array<std::tuple<const char*, const std::string*, std::size_t>, 5> slots = {
        {{"title", &values.title, TitleWidth},
         {"director", &values.director, DirectorWidth},
         {"comment", &values.comment, CommentWidth},
         {"imdb", &values.imdb, ImdbWidth},
         {"year", &values.year, YearWidth}}};
    for (const auto& [name, text, width] : slots) {
        if (text->size() > width) {
            err << MessagePrefix << "warning: the " << name << " is " << text->size()
                << " bytes long; the tag keeps its first " << width << '\n';
        }
    }
}

// Writes one file's tag; a failure is reported and gives false.
bool TagOneFile(const std::string& file, const std::optional<MovieTagValues>& film,
                const FieldOverrides& overrides, std::ostream& out, std::ostream& err) {
    if (!PathFits(file)) {
        ReportFileFailure(file, PathTooLongText(), err);
        return false;
    }
    try {
        MovieTagValues values = film ? *film : ValuesOfFile(file);
        overrides.ApplyTo(values);
        const TagPlacement placement = WriteTag(MovieTag::Render(values), file);
        out << file << ": "
            << (placement == TagPlacement::Replaced ? "tag replaced" : "tag appended") << '\n';
        return true;
    } catch (const IoError& e) {
        ReportFileFailure(file, TagWriteFailure(file, e), err);
    } catch (const FileOpenError& e) {
        ReportFileFailure(file, e.what(), err);
    }
    return false;
}

}  // namespace

int RunTagCommand(const TagOptions& options, std::istream& in, std::ostream& out,
                  std::ostream& err) {
    if (!options.search && !options.fields.Any()) {
        throw UsageError("say what to write: a field option (--title, --genre, ...) or --search");
    }
    if (options.pick && !options.search) {
        throw UsageError("--pick goes with --search");
    }
    if ((!options.site.source.empty() || !options.site.db.empty()) && !options.search) {
        throw UsageError("--source and --db go with --search");
    }
    const FieldOverrides overrides = ConvertOptions(options.fields);
    const std::vector<std::string> files = ExpandFileList(options.files, in);
    if (files.empty()) {
        throw UsageError("no FILE to tag");
    }

    std::optional<MovieTagValues> film;
    if (options.search) {
        TerminalPrompts prompts(err);
        TIMDBImport importer(prompts);
        importer.UseFilmDatabase(OpenFilmSource(options.site));
        const LookupResult found =
            LookUp(importer, *options.search, options.pick, options.site, err);
        if (found.end == LookupEnd::List) {
            err << MessagePrefix << "several films match \"" << ForTerminal(importer.Title)
                << "\"; choose one with --pick N:\n";
            for (int i = 0; i < importer.ResultTitles.Count(); ++i) {
                err << "  " << i << "  " << ForTerminal(importer.ResultTitles[i]) << '\n';
            }
            return ExitNotFound;
        }
        if (found.end == LookupEnd::Failed) {
            return found.exit_code;
        }
        film = ValuesOfFilm(importer);
        CreditSource(importer.Source(), err);
    }

    MovieTagValues written = film.value_or(MovieTagValues{});
    overrides.ApplyTo(written);
    WarnAboutCuts(written, err);

    int failures = 0;
    for (const std::string& file : files) {
        failures += TagOneFile(file, film, overrides, out, err) ? 0 : 1;
    }
    return failures == 0 ? ExitOk : ExitFailure;
}

}  // namespace korvid::cli
