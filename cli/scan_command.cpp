// korvid-cli scan: looks up every movie file under the paths given by the title and year in
// its file name, and tags it with the film found, as the tag editor would. Files that need a
// person (ambiguous, not found, failed) are reported and the scan goes on.

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/file_name_title.h"
#include "cli/film_tag.h"
#include "cli/lookup.h"
#include "cli/terminal_text.h"
#include "cli/title_match.h"
#include "client/IMDBImport.h"
#include "common/errors.h"
#include "dataset/film_database.h"
#include "tag/movie_tag.h"

namespace korvid::cli {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

// The extensions of the open-movie dialog's filter, and mkv, which that list predates but
// which most film libraries today are made of; compared ignoring letter case.
constexpr std::array<std::string_view, 11> MovieExtensions = {
    "avi", "mpe", "mpeg", "mpg", "mp4", "mov", "asf", "asx", "wmv", "qt", "mkv"};

bool IsMovieFile(const fs::path& path) {
    std::string extension = path.extension().string();
    if (extension.size() < 2) {
        return false;
    }
    extension.erase(0, 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return std::find(MovieExtensions.begin(), MovieExtensions.end(), extension) !=
           MovieExtensions.end();
}

enum class Outcome { Tagged, Skipped, Ambiguous, NotFound, Failed };

struct Candidate {
    std::string title;  // Latin-1, as listed
    std::string address;
};

struct FileReport {
    std::string file;
    Outcome outcome = Outcome::Failed;
    FileNameTitle searched;   // what the file name gave
    std::string title, year;  // the film taken (Latin-1), as written to the tag
    std::string address;
    std::vector<Candidate> candidates;
    std::string message;  // why a file failed or was not found
};

// The movie files under the paths, each once, sorted. A path that cannot be read is a
// failure of its own.
std::vector<std::string> MovieFiles(const ScanOptions& options, std::vector<FileReport>& failed,
                                    std::ostream& err) {
    std::set<std::string> files;
    const auto fail = [&](const std::string& path, const std::string& message) {
        ReportFileFailure(path, message, err);
        FileReport report;
        report.file = path;
        report.message = message;
        failed.push_back(std::move(report));
    };
    for (const std::string& path : options.paths) {
        std::error_code error;
        if (fs::is_directory(path, error)) {
            const auto add = [&](const fs::directory_entry& entry) {
                std::error_code entry_error;
                if (entry.is_regular_file(entry_error) && IsMovieFile(entry.path())) {
                    files.insert(entry.path().string());
                }
            };
            constexpr auto Skip = fs::directory_options::skip_permission_denied;
            if (options.recursive) {
                for (fs::recursive_directory_iterator it(path, Skip, error), end;
                     !error && it != end; it.increment(error)) {
                    add(*it);
                }
            } else {
                for (fs::directory_iterator it(path, Skip, error), end; !error && it != end;
                     it.increment(error)) {
                    add(*it);
                }
            }
            if (error) {
                fail(path, "cannot read the folder: " + error.message());
            }
        } else if (fs::is_regular_file(path, error)) {
            if (IsMovieFile(path)) {
                files.insert(path);
            } else {
                err << MessagePrefix << path << ": not a movie file, left out\n";
            }
        } else {
            fail(path, "no such file or folder");
        }
    }
    return {files.begin(), files.end()};
}

// At most one request to the site every delay seconds.
class Pacer {
  public:
    explicit Pacer(double delay) : delay_(std::chrono::duration<double>(delay)) {}
    void Wait() {
        const auto now = std::chrono::steady_clock::now();
        if (last_ && now < *last_ + delay_) {
            std::this_thread::sleep_for(*last_ + delay_ - now);
        }
        last_ = std::chrono::steady_clock::now();
    }

  private:
    std::chrono::duration<double> delay_;
    std::optional<std::chrono::steady_clock::time_point> last_;
};

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

class Scanner {
  public:
    // With a film database the lookups answer from it, without waiting between them.
    Scanner(const ScanOptions& options, std::shared_ptr<const dataset::FilmDatabase> database,
            std::ostream& err)
        : options_(options),
          err_(err),
          database_(std::move(database)),
          pacer_(database_ ? 0.0 : options.delay),
          year_(CurrentYear()) {}

    FileReport Scan(const std::string& file) {
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

  private:
    void ScanOne(FileReport& report) {
        const std::string& file = report.file;
        if (!PathFits(file)) {
            report.message = PathTooLongText();
            return;
        }
        if (ReadLastTagBytes(file).HasMarker() && !options_.replace) {
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
        pacer_.Wait();
        LookupResult found =
            LookUp(importer, report.searched.title, std::nullopt, options_.site, said);
        if (found.end == LookupEnd::List) {
            std::vector<std::string> entries;
            for (int i = 0; i < importer.ResultTitles.Count(); ++i) {
                entries.push_back(importer.ResultTitles[i]);
            }
            const std::optional<int> chosen =
                ChooseEntry(entries, Utf8ToLatin1(report.searched.title), report.searched.year);
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
        if (options_.dry_run) {
            report.outcome = Outcome::Tagged;
            return;
        }
        try {
            WriteTag(MovieTag::Render(values), file);
            report.outcome = Outcome::Tagged;
        } catch (const IoError& e) {
            report.message = TagWriteFailure(file, e);
        }
    }

    const ScanOptions& options_;
    std::ostream& err_;
    std::shared_ptr<const dataset::FilmDatabase> database_;
    Pacer pacer_;
    int year_;
};

const char* OutcomeName(Outcome outcome, bool dry_run) {
    switch (outcome) {
        case Outcome::Tagged:
            return dry_run ? "would tag" : "tagged";
        case Outcome::Skipped:
            return "skipped";
        case Outcome::Ambiguous:
            return "ambiguous";
        case Outcome::NotFound:
            return "not found";
        case Outcome::Failed:
            break;
    }
    return "failed";
}

constexpr std::array<Outcome, 5> AllOutcomes = {
    Outcome::Tagged, Outcome::Skipped, Outcome::Ambiguous, Outcome::NotFound, Outcome::Failed};

std::size_t CountOf(const std::vector<FileReport>& reports, Outcome outcome) {
    return static_cast<std::size_t>(std::count_if(
        reports.begin(), reports.end(), [&](const FileReport& r) { return r.outcome == outcome; }));
}

std::string Searched(const FileNameTitle& searched) {
    return "\"" + searched.title + "\" (" + (searched.year.empty() ? "no year" : searched.year) +
           ")";
}

void PrintText(const std::vector<FileReport>& reports, bool dry_run, std::ostream& out) {
    for (const FileReport& r : reports) {
        out << r.file << ": " << OutcomeName(r.outcome, dry_run);
        switch (r.outcome) {
            case Outcome::Tagged:
                out << " as \"" << ForTerminal(r.title) << "\" (" << ForTerminal(r.year) << "), "
                    << ForTerminal(r.address) << '\n';
                break;
            case Outcome::Skipped:
                out << ", it has a tag (--replace replaces it)\n";
                break;
            case Outcome::Ambiguous:
                out << ", " << Searched(r.searched) << " could be:\n";
                for (const Candidate& c : r.candidates) {
                    out << "  " << ForTerminal(c.title) << '\t' << ForTerminal(c.address) << '\n';
                }
                break;
            case Outcome::NotFound:
            case Outcome::Failed:
                out << ": " << r.message << '\n';
                break;
        }
    }
    out << reports.size() << (reports.size() == 1 ? " file: " : " files: ");
    for (const Outcome outcome : AllOutcomes) {
        out << (outcome == Outcome::Tagged ? "" : ", ") << CountOf(reports, outcome) << ' '
            << OutcomeName(outcome, dry_run);
    }
    out << '\n';
}

Json OrNull(const std::string& latin1) {
    return latin1.empty() ? Json(nullptr) : Json(Latin1ToUtf8(latin1));
}

void PrintJson(const std::vector<FileReport>& reports, bool dry_run, bool local,
               std::ostream& out) {
    Json files = Json::array();
    for (const FileReport& r : reports) {
        Json candidates = Json::array();
        for (const Candidate& c : r.candidates) {
            candidates.push_back(
                {{"title", Latin1ToUtf8(c.title)}, {"address", Latin1ToUtf8(c.address)}});
        }
        // The file name's title is in the name's own bytes, usually UTF-8.
        const Json searched = {
            {"title", r.searched.title},
            {"year", r.searched.year.empty() ? Json(nullptr) : Json(r.searched.year)}};
        files.push_back({{"file", r.file},
                         {"outcome", OutcomeName(r.outcome, dry_run)},
                         {"searched", searched},
                         {"title", OrNull(r.title)},
                         {"year", OrNull(r.year)},
                         {"address", OrNull(r.address)},
                         {"candidates", std::move(candidates)},
                         {"message", r.message.empty() ? Json(nullptr) : Json(r.message)}});
    }
    Json summary = Json::object();
    for (const Outcome outcome : AllOutcomes) {
        summary[OutcomeName(outcome, dry_run)] = CountOf(reports, outcome);
    }
    Json document = {{"dry_run", dry_run},
                     {"source", SourceName(local ? LookupSource::Local : LookupSource::Site)},
                     {"files", std::move(files)},
                     {"summary", std::move(summary)}};
    if (local) {
        document["credit"] = dataset::CreditLine;
    }
    out << document.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

}  // namespace

int RunScanCommand(const ScanOptions& options, std::ostream& out, std::ostream& err) {
    if (!(options.delay >= 0)) {
        throw UsageError("--delay needs a number of seconds from 0 on");
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
                << fs::path(files[i]).filename().string() << std::flush;
        }
        reports.push_back(scanner.Scan(files[i]));
    }
    if (options.progress) {
        err << "\r\033[K" << std::flush;
    }

    if (options.json) {
        PrintJson(reports, options.dry_run, database != nullptr, out);
    } else {
        PrintText(reports, options.dry_run, out);
        if (database) {
            err << dataset::CreditLine << '\n';
        }
    }
    if (CountOf(reports, Outcome::Failed) > 0) {
        return ExitFailure;
    }
    if (files.empty() ||
        CountOf(reports, Outcome::Ambiguous) + CountOf(reports, Outcome::NotFound) > 0) {
        return ExitNotFound;
    }
    return ExitOk;
}

}  // namespace korvid::cli
