#include "cli/scan_rename.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "cli/movie_files.h"
#include "common/errors.h"

namespace korvid::cli {
namespace {

namespace fs = std::filesystem;

// Whether the file name begins with the base name of a movie file and then "." or "-".
bool CarriesName(const std::string& name, const std::string& base) {
    return name.size() > base.size() && name.starts_with(base) &&
           (name[base.size()] == '.' || name[base.size()] == '-');
}

std::string InFolder(const fs::path& folder, const std::string& name) {
    return (folder / name).string();
}

}  // namespace

std::vector<std::string> SideFiles(const std::string& movie) {
    const fs::path path(movie);
    const std::string own = path.filename().string();
    const std::string base = path.stem().string();
    std::vector<std::string> candidates;
    std::vector<std::string> movie_bases;
    std::error_code error;
    const fs::path folder = path.parent_path();
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, error), end;
         !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (IsMovieFileName(name)) {
            movie_bases.push_back(fs::path(name).stem().string());
            continue;
        }
        std::error_code type_error;
        const fs::file_type type = it->symlink_status(type_error).type();
        if (name != own && CarriesName(name, base) &&
            (type == fs::file_type::regular || type == fs::file_type::symlink)) {
            candidates.push_back(name);
        }
    }
    std::vector<std::string> sides;
    for (const std::string& name : candidates) {
        // A file that carries a longer movie file's name belongs to that one.
        const bool longer_owner =
            std::any_of(movie_bases.begin(), movie_bases.end(), [&](const std::string& other) {
                return other.size() > base.size() && CarriesName(name, other);
            });
        if (!longer_owner) {
            sides.push_back(InFolder(folder, name));
        }
    }
    std::sort(sides.begin(), sides.end());
    return sides;
}

ScanRenamer::ScanRenamer(RenameSettings settings) : settings_(std::move(settings)) {}

RenameJournal* ScanRenamer::Journal(std::string* failure) {
    if (!journal_ && !journal_failure_) {
        try {
            journal_ = std::make_unique<RenameJournal>(settings_.journal_folder.empty()
                                                           ? RenameJournalFolder()
                                                           : settings_.journal_folder);
        } catch (const std::exception& e) {
            journal_failure_ = e.what();
        }
    }
    if (journal_failure_) {
        *failure = *journal_failure_;
    }
    return journal_.get();
}

RenameStep ScanRenamer::Move(const std::string& from, const std::string& to) {
    RenameStep step;
    step.from = from;
    step.to = to;
    struct stat info {};
    if (::lstat(to.c_str(), &info) == 0 || planned_.count(to) > 0) {
        step.refused = "the name is taken";
        return step;
    }
    if (settings_.dry_run) {
        planned_.insert(to);
        step.done = true;
        return step;
    }
    if (::lstat(from.c_str(), &info) != 0) {
        step.refused = ErrnoText(errno);
        return step;
    }
    std::string failure;
    RenameJournal* journal = Journal(&failure);
    if (journal == nullptr) {
        step.refused = "no rename without its journal: " + failure;
        return step;
    }
    try {
        journal->Record(from, to, info.st_dev, info.st_ino);
    } catch (const std::exception& e) {
        step.refused = std::string("no rename without its journal: ") + e.what();
        return step;
    }
    const RenameOutcome outcome = RenameWithoutReplacing(from, to, *settings_.calls);
    if (!outcome.Renamed()) {
        try {
            journal->NotMade();
        } catch (const std::exception&) {
            // undo-rename finds the file not at its new name and leaves it.
        }
        step.refused = RenameFailureText(outcome);
        return step;
    }
    step.done = true;
    return step;
}

std::string ScanRenamer::Rename(const std::string& movie, const NameFields& fields,
                                FileReport& report) {
    const fs::path path(movie);
    const std::string extension = path.extension().string();
    const std::string old_base = path.stem().string();
    const std::vector<std::string> sides = SideFiles(movie);
    std::size_t longest_suffix = extension.size();
    for (const std::string& side : sides) {
        longest_suffix =
            std::max(longest_suffix, fs::path(side).filename().string().size() - old_base.size());
    }
    const std::string base =
        FitBaseName(FilmBaseName(settings_.format, fields, settings_.portable), longest_suffix);
    const auto renamed = [&](const std::string& suffix) {
        return InFolder(path.parent_path(), base + suffix);
    };
    if (base.empty()) {
        report.renames.push_back({movie, movie, false, "the film's title gives no file name"});
        return movie;
    }
    const std::string new_movie = renamed(extension);
    if (new_movie == movie) {
        report.named_already = true;
        return movie;
    }
    report.renames.push_back(Move(movie, new_movie));
    if (!report.renames.back().done) {
        return movie;
    }
    for (const std::string& side : sides) {
        report.renames.push_back(
            Move(side, renamed(fs::path(side).filename().string().substr(old_base.size()))));
    }
    return new_movie;
}

}  // namespace korvid::cli
