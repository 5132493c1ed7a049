// korvid-cli search: sends a title to the site's title search and prints the result list, or
// the film's fields when the site answered with a film page; --pick imports one entry of the
// list. The film read can be saved as the XML and CSV documents.

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/terminal_text.h"
#include "client/IMDBImport.h"
#include "common/short_string.h"

namespace korvid::cli {
namespace {

constexpr const char* SearchUsage =
    "Usage: korvid-cli search [--pick N] [--xml FILE] [--csv FILE] [--dir DIR] [--host HOST] "
    "TITLE\n"
    "\n"
    "Searches the site for TITLE and prints the result list, numbered from 0, or the film's\n"
    "fields when the site answers with a film page.\n"
    "  --pick N    read entry N of the result list and print its film\n"
    "  --xml FILE  save the film read as the XML document\n"
    "  --csv FILE  save the film read as the CSV document\n"
    "  --dir DIR   the folder for the temporary page and the cover (default: the current folder)\n"
    "  --host HOST the site, e.g. 127.0.0.1:8642 (default: KORVID_HOST, else www.imdb.com)\n"
    "Exit codes: 0 success, 1 nothing found, 2 usage error, 3 a download or a file failed.\n";

std::optional<std::string> OutputFile(const ParsedArgs& parsed, const std::string& option) {
    const std::optional<std::string> file = parsed.Value(option);
    if (file && (file->empty() || file->size() > ShortString::MaxLength)) {
        throw UsageError(option + " needs a file name of 1 to 255 characters");
    }
    return file;
}

void PrintList(const TIMDBImport& importer, std::ostream& out) {
    for (int i = 0; i < importer.ResultTitles.Count(); ++i) {
        out << i << '\t' << ForTerminal(importer.ResultTitles[i]) << '\t'
            << ForTerminal(importer.ResultUrls[i]) << '\n';
    }
}

void PrintFilm(const TIMDBImport& importer, std::ostream& out) {
    std::string genres;
    for (std::int32_t slot = 1; slot < importer.GenreSlot && slot < 11; ++slot) {
        genres +=
            (genres.empty() ? "" : " / ") + importer.Genres[static_cast<std::size_t>(slot)].str();
    }
    const std::vector<std::pair<const char*, std::string>> fields = {
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
    for (const auto& [name, value] : fields) {
        out << name << ": " << ForTerminal(value) << '\n';
    }
}

}  // namespace

int RunSearchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const ParsedArgs parsed =
        ParseArgs(args, {"--pick", "--xml", "--csv", "--dir", "--host"}, {"--help", "--version"});
    if (parsed.Has("--help")) {
        out << SearchUsage;
        return ExitOk;
    }
    if (parsed.Has("--version")) {
        out << "korvid-cli (Korvid 1.1.1.0)\n";
        return ExitOk;
    }
    if (parsed.positional.size() != 1 || parsed.positional.front().empty()) {
        throw UsageError("search needs one TITLE (quote a title of several words)");
    }
    std::optional<int> pick;
    if (const auto value = parsed.Value("--pick")) {
        pick = ParseIndex("--pick", *value);
        if (*pick < 0) {
            throw UsageError("--pick needs an entry number from 0 on");
        }
    }
    const std::optional<std::string> xml_file = OutputFile(parsed, "--xml");
    const std::optional<std::string> csv_file = OutputFile(parsed, "--csv");
    const std::string host = parsed.Value("--host").value_or(SiteHost());
    if (host.empty()) {
        throw UsageError("--host needs a host name");
    }

    TerminalPrompts prompts(err);
    TIMDBImport importer(prompts);
    importer.AppDir = WorkFolder(parsed);
    importer.Title = Utf8ToLatin1(parsed.positional.front());
    importer.Host = host;
    const std::string title = ForTerminal(importer.Title);

    if (!importer.SearchTitle()) {
        if (importer.Outcome() == LookupOutcome::DownloadFailed) {
            return ReportDownloadFailure(importer, err);
        }
        err << "korvid-cli: the site's answer for \"" << title << "\" is not a page Korvid knows\n";
        return ExitNotFound;
    }
    if (!importer.MovieFound) {
        const int count = importer.ResultTitles.Count();
        if (count == 0) {
            err << "korvid-cli: no film found for \"" << title << "\"\n";
            return ExitNotFound;
        }
        if (!pick) {
            PrintList(importer, out);
            if (xml_file || csv_file) {
                err << "korvid-cli: several films match; choose one with --pick N to save it\n";
                return ExitNotFound;
            }
            return ExitOk;
        }
        if (*pick >= count) {
            throw UsageError("--pick " + std::to_string(*pick) + " is not in the list (0 to " +
                             std::to_string(count - 1) + ")");
        }
        const std::string address = importer.ResultUrls[*pick];
        if (!importer.ImportResult(*pick)) {
            return ReportDownloadFailure(importer, err);
        }
        if (importer.Outcome() == LookupOutcome::UnknownPage) {
            err << "korvid-cli: no film could be read from " << ForTerminal(address) << '\n';
            return ExitFailure;
        }
    } else if (pick) {
        err << "korvid-cli: the site answered with the film's page; --pick is not needed\n";
    }

    PrintFilm(importer, out);
    if (xml_file) {
        importer.SaveXml(*xml_file);
    }
    if (csv_file) {
        importer.SaveCsv(*csv_file);
    }
    return ExitOk;
}

}  // namespace korvid::cli
