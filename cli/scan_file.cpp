#include "cli/scan_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <exception>
#include <ostream>
#include <sstream>
#include <string_view>
#include <thread>
#include <vector>

#include "cli/cli_common.h"
#include "cli/film_tag.h"
#include "cli/lookup.h"
#include "cli/scan_nfo.h"
#include "cli/terminal_text.h"
#include "cli/title_match.h"
#include "client/IMDBImport.h"
#include "client/film_address.h"
#include "client/nfo_document.h"
#include "common/errors.h"
#include "korvid_version.h"
#include "tag/movie_tag.h"

namespace korvid::cli {
namespace {

// What the report says of a symbolic link: a scan writes only the files in the tree it was
// given, never what a link leads to (tag FILE, naming the link, does write through it).
constexpr const char* LinkSkipped = "a symbolic link, not followed (tag FILE writes through it)";

bool IsSymbolicLink(const std::string& file) {
    struct stat info {};
    return ::lstat(file.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// The messages a lookup wrote, as one line without the prefix.
std::string Messages(const std::string& text) {
    std::string joined;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(MessagePrefix, 0) == 0) {
            line.erase(0, std::string_view(MessagePrefix).size());
        }
        joined += (joined.empty() ? "" : "; ") + line;
    }
    return joined;
}

}  // namespace

void Pacer::Wait() {
    const auto now = std::chrono::steady_clock::now();
    if (last_ && now < *last_ + delay_) {
        std::this_thread::sleep_for(*last_ + delay_ - now);
    }
    last_ = std::chrono::steady_clock::now();
}

Scanner::Scanner(const ScanOptions& options,
                 std::shared_ptr<const dataset::FilmDatabase> database, std::ostream& err)
    : options_(options),
      err_(err),
      database_(std::move(database)),
      pacer_(FactsOf(SourceFor(database_.get())).paced ? options.delay : 0.0),
      year_(CurrentYear()) {
    if (options.rename) {
        RenameSettings settings;
        if (!options.name_format.empty()) {
            settings.format = options.name_format;
        }
        settings.portable = options.portable;
        settings.dry_run = options.dry_run;
        renamer_.emplace(std::move(settings));
    }
}

FileReport Scanner::Scan(const std::string& file) {
    FileReport report;
    report.file = file;
    report.searched = ReadFileNameTitle(file, year_);
    try {
        ScanOne(report);
    } catch (const std::exception& e) {  // one file's failure ends only that file
        report.outcome = Outcome::Failed;
        report.message = e.what();
    }
    if (report.outcome == Outcome::Failed) {
        if (options_.progress) {
            err_ << "\r\033[K";  // the message starts on a clean line
        }
        ReportFileFailure(file, report.message, err_);
    }
    return report;
}

void Scanner::ScanOne(FileReport& report) {
    const std::string& file = report.file;
    if (!PathFits(file)) {
        report.message = PathTooLongText();
        return;
    }
    if (IsSymbolicLink(file)) {
        report.outcome = Outcome::Skipped;
        report.message = LinkSkipped;
        return;
    }
    // A tag is kept unless --replace; the film is still looked up for a rename or an NFO file.
    const bool keep_tag = ReadLastTagBytes(file).HasMarker() && !options_.replace;
    if (keep_tag && !options_.rename && !options_.nfo) {
        report.outcome = Outcome::Skipped;
        return;
    }
    if (report.searched.title.empty()) {
        report.outcome = Outcome::NotFound;
        report.message = "the file name holds no title";
        return;
    }

    std::ostringstream said;  // the lookup's messages go into the report
    TerminalPrompts prompts(said);
    TIMDBImport importer(prompts);
    importer.UseFilmDatabase(database_);
    importer.DownloadCovers(false);
    pacer_.Wait();
    LookupResult found = LookUp(importer, report.searched.title, std::nullopt, options_.site, said);
    if (found.end == LookupEnd::List) {
        std::vector<std::string> entries;
        for (int i = 0; i < importer.ResultTitles.Count(); ++i) {
            entries.push_back(importer.ResultTitles[i]);
        }
        const std::optional<int> chosen =
            ChooseEntry(entries, TypedToLatin1(report.searched.title), report.searched.year);
        if (!chosen) {
            report.outcome = Outcome::Ambiguous;
            for (int i = 0; i < importer.ResultTitles.Count(); ++i) {
                report.candidates.push_back({importer.ResultTitles[i], importer.ResultUrls[i]});
            }
            return;
        }
        pacer_.Wait();
        found = ImportEntry(importer, *chosen, said);
    }
    if (found.end == LookupEnd::Failed) {
        report.outcome = found.exit_code == ExitNotFound ? Outcome::NotFound : Outcome::Failed;
        report.message = Messages(said.str());
        return;
    }

    const MovieTagValues values = ValuesOfFilm(importer);
    // The page's title ends with a space; the report shows it without.
    report.title = values.title.substr(0, values.title.find_last_not_of(' ') + 1);
    report.year = values.year;
    report.address = importer.MovieUrl;
    if (keep_tag) {
        report.outcome = Outcome::Skipped;
    } else if (options_.dry_run) {
        report.outcome = Outcome::Tagged;
    } else {
        try {
            // A link put in the file's place since it was looked at is not followed either.
            WriteTag(MovieTag::Render(values), file, TagLinks::Refuse);
            report.outcome = Outcome::Tagged;
        } catch (const IoError& e) {
            if (e.Code() == ELOOP) {
                report.outcome = Outcome::Skipped;
                report.message = LinkSkipped;
                return;
            }
            report.message = TagWriteFailure(file, e);
            return;  // a file that could not be tagged keeps its name
        }
    }
    RenameAndDescribe(importer, report);
}

void Scanner::RenameAndDescribe(const TIMDBImport& importer, FileReport& report) {
    const FilmTexts texts = importer.Texts();
    std::string movie = report.file;
    if (renamer_) {
        // The title keeps the space that stood before its year.
        const std::string_view title = texts.title;
        const std::size_t first = title.find_first_not_of(' ');
        const std::string trimmed =
            first == std::string_view::npos
                ? std::string()
                : std::string(title.substr(first, title.find_last_not_of(' ') - first + 1));
        const NameFields fields{
            .title = trimmed, .year = texts.year, .id = FilmIdOfAddress(texts.address)};
        movie = renamer_->Rename(movie, fields, report);
    }
    if (options_.nfo) {
        report.nfo = WriteNfoBeside(movie, NfoDocument(texts, importer.Source(), KORVID_VERSION),
                                    options_.replace_nfo, options_.dry_run);
    }
}

}  // namespace korvid::cli
