// korvid-cli show-tag: shows the EKT tag of movie files, or that a file has none.

#include <istream>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/terminal_text.h"
#include "common/errors.h"
#include "tag/movie_tag.h"
#include "tag/tag_fields.h"
#include "tag/tag_routines.h"

namespace korvid::cli {
namespace {

void PrintJson(const std::string& file, const MovieTag& tag, const PlainTagFields& shown,
               std::ostream& out) {
    nlohmann::ordered_json object = {{"file", file}, {"tagged", tag.HasMarker()}};
    if (tag.HasMarker()) {
        object["title"] = Latin1ToUtf8(shown.title.Text());
        object["director"] = Latin1ToUtf8(shown.director.Text());
        object["comment"] = Latin1ToUtf8(shown.comment.Text());
        object["imdb"] = Latin1ToUtf8(shown.imdb.Text());
        object["year"] = Latin1ToUtf8(shown.year.Text());
        object["genre"] = Latin1ToUtf8(shown.genre.Text());
    }
    // A file name that is no valid UTF-8 gets replacement characters.
    out << object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

void PrintText(const std::string& file, const MovieTag& tag, const PlainTagFields& shown,
               std::ostream& out) {
    out << "File:     " << ForTerminal(file) << '\n';
    if (!tag.HasMarker()) {
        out << "no tag\n";
        return;
    }
    out << "Title:    " << ForTerminal(shown.title.Text()) << '\n'
        << "Director: " << ForTerminal(shown.director.Text()) << '\n'
        << "IMDB ID:  " << ForTerminal(shown.imdb.Text()) << '\n'
        << "Year:     " << ForTerminal(shown.year.Text()) << '\n'
        << "Genre:    " << ForTerminal(shown.genre.Text()) << '\n'
        << "Comment:  " << ForTerminal(shown.comment.Text()) << '\n';
}

}  // namespace

int RunShowTagCommand(const ShowTagOptions& options, std::istream& in, std::ostream& out,
                      std::ostream& err) {
    const std::vector<std::string> files = ExpandFileList(options.files, in);
    if (files.empty()) {
        throw UsageError("no FILE to show");
    }
    int failures = 0;
    int untagged = 0;
    bool first = true;
    for (const std::string& file : files) {
        if (!PathFits(file)) {
            ReportFileFailure(file, PathTooLongText(), err);
            ++failures;
            continue;
        }
        MovieTag tag;
        try {
            tag = ReadLastTagBytes(file);
        } catch (const FileOpenError& e) {
            ReportFileFailure(file, e.what(), err);
            ++failures;
            continue;
        }
        untagged += tag.HasMarker() ? 0 : 1;
        PlainTagFields shown;
        DecodeTagIntoFields(tag, shown.Fields());
        if (options.json) {
            PrintJson(file, tag, shown, out);
            continue;
        }
        out << (first ? "" : "\n");
        first = false;
        PrintText(file, tag, shown, out);
    }
    if (failures > 0) {
        return ExitFailure;
    }
    return untagged > 0 ? ExitNotFound : ExitOk;
}

}  // namespace korvid::cli
