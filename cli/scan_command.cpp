// korvid-cli scan: looks up every movie file under the paths given by the title and year in
// its file name, and tags it with the film found, as the tag editor would; it can also rename
// each file matched after its film and write its NFO file. Files that need a person
// (ambiguous, not found, failed) are reported and the scan goes on. Finding the files is
// movie_files.cpp, deciding each one scan_file.cpp, the renames scan_rename.cpp, the NFO files
// scan_nfo.cpp, the report scan_report*.cpp.

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/film_file_name.h"
#include "cli/lookup.h"
#include "cli/movie_files.h"
#include "cli/scan_file.h"
#include "cli/scan_report.h"
#include "cli/terminal_text.h"
#include "dataset/film_database.h"

namespace korvid::cli {

int RunScanCommand(const ScanOptions& options, std::ostream& out, std::ostream& err) {
    if (!(options.delay >= 0)) {
        throw UsageError("--delay needs a number of seconds from 0 on");
    }
    if (options.replace_nfo && !options.nfo) {
        throw UsageError("--replace-nfo goes with --nfo");
    }
    if ((options.portable || !options.name_format.empty()) && !options.rename) {
        throw UsageError(std::string(options.portable ? "--portable" : "--name-format") +
                         " goes with --rename");
    }
    if (options.rename) {
        CheckNameFormat(options.name_format.empty() ? DefaultNameFormat : options.name_format);
    }
    WorkFolder(options.site.dir);  // a folder that cannot be used is refused before any lookup
    const std::shared_ptr<const dataset::FilmDatabase> database = OpenFilmSource(options.site);

    std::vector<FileReport> reports;
    const std::vector<std::string> files = MovieFiles(options, reports, err);
    if (files.empty() && reports.empty()) {
        err << MessagePrefix << "no movie file found\n";
    }

    Scanner scanner(options, database, err);
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (options.progress) {
            err << "\r\033[Kfile " << (i + 1) << " of " << files.size() << ": "
                << EscapedFileName(std::filesystem::path(files[i]).filename().string())
                << std::flush;
        }
        reports.push_back(scanner.Scan(files[i]));
    }
    if (options.progress) {
        err << "\r\033[K" << std::flush;
    }

    const LookupSource source = SourceFor(database.get());
    const ScanExtras extras{options.rename, options.nfo, scanner.JournalPath()};
    if (options.json) {
        PrintJsonReport(reports, options.dry_run, source, extras, out);
    } else {
        PrintTextReport(reports, options.dry_run, extras, out);
        CreditSource(source, err);
    }
    if (CountOf(reports, Outcome::Failed) > 0 || ProblemCount(reports) > 0) {
        return ExitFailure;
    }
    if (files.empty() ||
        CountOf(reports, Outcome::Ambiguous) + CountOf(reports, Outcome::NotFound) > 0) {
        return ExitNotFound;
    }
    return ExitOk;
}

}  // namespace korvid::cli
