#include "cli/movie_files.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <ostream>
#include <set>
#include <string_view>
#include <system_error>

#include "cli/cli_common.h"
#include "cli/terminal_text.h"

namespace korvid::cli {
namespace {

namespace fs = std::filesystem;

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

}  // namespace

bool IsMovieFileName(const std::string& name) {
    return IsMovieFile(fs::path(name));
}

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
            // A link to a movie file is listed too, so that the scan reports it skipped.
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
                err << MessagePrefix << EscapedFileName(path) << ": not a movie file, left out\n";
            }
        } else {
            fail(path, "no such file or folder");
        }
    }
    return {files.begin(), files.end()};
}

}  // namespace korvid::cli
