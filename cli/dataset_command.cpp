// korvid-cli dataset update, status and remove: the local film database built from the site's
// data-set files, what it holds, and the film data's files removed.

#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <ostream>
#include <stop_token>
#include <string>
#include <system_error>
#include <vector>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/stop_on_signals.h"
#include "cli/terminal_text.h"
#include "client/dataset_download.h"
#include "client/film_data_removal.h"
#include "client/number_text.h"
#include "client/update_meter.h"
#include "dataset/database_path.h"
#include "dataset/film_database.h"

namespace korvid::cli {
namespace {

using Clock = std::chrono::steady_clock;

// The one progress line of an update on a terminal, redrawn a few times a second: the
// meter's step and detail (the whole download's bytes, or the file built and its rows).
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
        Draw(meter_.LineText());
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
        } catch (const dataset::SmallerThanBefore& error) {
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

int RunDatasetRemoveCommand(const DatasetRemoveOptions& options, std::ostream& out,
                            std::ostream& err) {
    const std::string db_path = dataset::DatabasePath(options.db);
    const std::string cache_folder = dataset::DatasetCacheFolder();
    std::vector<FilmDataFile> files = FilmDataFiles(db_path, cache_folder);
    if (files.empty()) {
        err << MessagePrefix << "there is no film data to remove at " << EscapedFileName(db_path)
            << " nor in " << EscapedFileName(cache_folder) << '\n';
        return ExitNotFound;
    }
    if (!options.dry_run) {
        try {
            files = RemoveFilmData(db_path, cache_folder);
        } catch (const UpdateBusy& busy) {
            err << MessagePrefix << busy.what() << "; nothing was removed\n";
            return ExitFailure;
        } catch (const dataset::DatasetError& error) {
            err << MessagePrefix << Utf8ForTerminal(error.what()) << '\n';
            return ExitFailure;
        }
    }
    std::uint64_t bytes = 0;
    for (const FilmDataFile& file : files) {
        out << (options.dry_run ? "would remove " : "removed ") << EscapedFileName(file.path)
            << " (" << file.bytes << " bytes)\n";
        bytes += file.bytes;
    }
    out << (options.dry_run ? "Would remove " : "Removed ") << files.size()
        << (files.size() == 1 ? " file, " : " files, ")
        << DiskSizeText(bytes) << (options.dry_run ? "; nothing was removed.\n" : ".\n");
    return ExitOk;
}

}  // namespace korvid::cli
