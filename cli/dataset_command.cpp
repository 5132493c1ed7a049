// korvid-cli dataset update and dataset status: the local film database built from the site's
// data-set files, and what it holds.

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <stop_token>
#include <string>
#include <system_error>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/stop_on_signals.h"
#include "cli/terminal_text.h"
#include "client/dataset_download.h"
#include "client/update_meter.h"
#include "dataset/database_path.h"
#include "dataset/film_database.h"

namespace korvid::cli {
namespace {

using Clock = std::chrono::steady_clock;

// The one progress line of an update on a terminal, redrawn a few times a second: the step
// and file, the bytes of the total, the rows read, the rate and the time left.
class ProgressLine {
  public:
    explicit ProgressLine(std::ostream& err) : err_(err) {}

    void Show(const UpdateProgress& progress) {
        const Clock::time_point now = Clock::now();
        const bool new_step = !shown_ || progress.file != meter_.Last().file ||
                              progress.step != meter_.Last().step;
        meter_.Take(progress, now);
        if (!new_step && now - drawn_ < std::chrono::milliseconds(250)) {
            return;
        }
        drawn_ = now;
        if (progress.step == UpdateProgress::Step::Index) {
            Draw("making the indexes");
            return;
        }
        const bool download = progress.step == UpdateProgress::Step::Download;
        std::string line = progress.file + (download ? ": downloading " : ": reading ") +
                           MegabytesText(progress.bytes);
        if (progress.total > 0) {
            line += " of " + MegabytesText(progress.total);
        }
        if (!download) {
            line += ", " + std::to_string(progress.rows) + " rows";
        }
        if (const std::optional<double> rate = meter_.Rate()) {
            line += ", " + MegabytesText(static_cast<std::uint64_t>(*rate)) + "/s";
            if (const std::optional<double> left = meter_.SecondsLeft()) {
                line += ", " + DurationText(*left) + " left";
            }
        }
        Draw(line);
    }

    // Clears the line before anything else is printed.
    void Clear() {
        if (shown_) {
            err_ << "\r\033[K" << std::flush;
            shown_ = false;
        }
    }

  private:
    void Draw(const std::string& line) {
        err_ << "\r\033[K" << line << std::flush;
        shown_ = true;
    }

    std::ostream& err_;
    UpdateMeter meter_;
    Clock::time_point drawn_;
    bool shown_ = false;
};

const char* OriginText(UpdatedFile::Origin origin) {
    switch (origin) {
        case UpdatedFile::Origin::Downloaded:
            return "downloaded";
        case UpdatedFile::Origin::Unchanged:
            return "unchanged";
        case UpdatedFile::Origin::LocalFolder:
            return "from the folder";
    }
    return "";
}

// The status's texts come from a file anyone may have made: they are shown as search shows
// page text, so that none can act on the terminal or forge a line.
void PrintStatusText(const dataset::DatabaseStatus& status, std::ostream& out) {
    out << "Database:     " << EscapedFileName(status.path) << '\n'
        << "Built:        " << Utf8ForTerminal(status.built_at) << '\n'
        << "Titles:       " << status.titles << '\n'
        << "Names:        " << status.names << '\n'
        << "Other titles: " << dataset::AlternativeTitlesText(status) << '\n'
        << "Skipped rows: " << status.skipped_rows << '\n'
        << "Size:         " << status.size_bytes << " bytes\n"
        << "Files:\n";
    for (const auto& [file, date] : status.file_dates) {
        out << "  " << file << std::string(file.size() < 25 ? 25 - file.size() : 1, ' ')
            << Utf8ForTerminal(date) << '\n';
    }
    out << dataset::CreditLine << '\n';
}

void PrintStatusJson(const dataset::DatabaseStatus& status, std::ostream& out) {
    nlohmann::ordered_json files = nlohmann::ordered_json::object();
    for (const auto& [file, date] : status.file_dates) {
        files[file] = Utf8ForTerminal(date);
    }
    const nlohmann::ordered_json object = {{"database", FileNameForJson(status.path)},
                                           {"present", true},
                                           {"built", Utf8ForTerminal(status.built_at)},
                                           {"files", files},
                                           {"titles", status.titles},
                                           {"names", status.names},
                                           {"alternative_titles", status.alternative_titles},
                                           {"alternative_titles_note",
                                            status.has_alternative_titles && status.schema_version >= 2
                                                ? nlohmann::ordered_json(nullptr)
                                                : nlohmann::ordered_json(
                                                      dataset::AlternativeTitlesText(status))},
                                           {"skipped_rows", status.skipped_rows},
                                           {"size_bytes", status.size_bytes},
                                           {"credit", dataset::CreditLine}};
    out << object.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

}  // namespace

int RunDatasetUpdateCommand(const DatasetUpdateOptions& options, std::ostream& out,
                            std::ostream& err) {
    DatasetDownloadOptions download;
    download.source = options.from;
    download.cache_folder = dataset::DatasetCacheFolder();
    download.db_path = dataset::DatabasePath(options.db);
    download.force = options.force;
    ProgressLine line(err);
    if (options.progress) {
        download.progress = [&line](const UpdateProgress& progress) { line.Show(progress); };
    }
    // Ctrl-C or SIGTERM stops the update through its own stop path, which removes the
    // partial database; the exit code is then the signal's, as if it had ended the program.
    std::stop_source stop;
    download.stop = stop.get_token();
    DatasetUpdateReport report;
    try {
        const StopOnSignals signals(stop);
        try {
            report = UpdateDatasets(download);
        } catch (const dataset::TooFewTitles& error) {
            line.Clear();
            err << MessagePrefix << error.what() << '\n'
                << MessagePrefix << "\"korvid-cli dataset update --force\" puts it in place all "
                   "the same\n";
            return ExitFailure;
        } catch (const dataset::DatasetError& error) {
            line.Clear();
            err << MessagePrefix << error.what() << '\n';
            return signals.Signal() != 0 ? 128 + signals.Signal() : ExitFailure;
        }
    } catch (const std::system_error& error) {
        err << MessagePrefix << error.what() << '\n';
        return ExitFailure;
    }
    line.Clear();
    for (const UpdatedFile& file : report.files) {
        out << file.name << ": " << OriginText(file.origin) << ", " << file.size << " bytes, of "
            << file.date << '\n';
    }
    out << download.db_path << (report.rebuilt ? ": " : ": up to date, not built again: ")
        << report.build.titles << " titles, " << report.build.names
        << " names, " << report.build.skipped_rows << " malformed rows skipped\n"
        << dataset::CreditLine << '\n';
    return ExitOk;
}

int RunDatasetStatusCommand(const DatasetStatusOptions& options, std::ostream& out,
                            std::ostream& err) {
    const std::string path = dataset::DatabasePath(options.db);
    dataset::DatabaseStatus status;
    try {
        status = dataset::OpenFilmDatabase(path)->Status();
    } catch (const dataset::DatasetError& error) {
        if (options.json) {
            const nlohmann::ordered_json object = {{"database", FileNameForJson(path)},
                                                   {"present", false}};
            out << object.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
        }
        err << MessagePrefix << Utf8ForTerminal(error.what()) << '\n'
            << MessagePrefix << "run \"korvid-cli dataset update\" to build the film database\n";
        return ExitNotFound;
    }
    if (options.json) {
        PrintStatusJson(status, out);
    } else {
        PrintStatusText(status, out);
    }
    return ExitOk;
}

}  // namespace korvid::cli
