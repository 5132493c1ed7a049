#include "cli/cli_common.h"

#include <filesystem>
#include <istream>
#include <ostream>
#include <string_view>
#include <system_error>

#include "cli/terminal_text.h"
#include "client/IMDBImport.h"
#include "common/errors.h"
#include "common/short_string.h"

namespace korvid::cli {

std::string WorkFolder(const std::string& given) {
    std::string dir = given;
    std::error_code error;
    if (dir.empty()) {
        dir = std::filesystem::current_path(error).string();
        if (error || dir.empty()) {
            dir = ".";
        }
    }
    if (!std::filesystem::is_directory(dir, error)) {
        throw UsageError("no folder " + dir);
    }
    if (dir.back() != '/') {
        dir += '/';
    }
    if (dir.size() + std::string_view(TempPageName).size() > ShortString::MaxLength) {
        throw UsageError("the folder path is too long (its files must fit in 255 characters): " +
                         dir);
    }
    return dir;
}

std::vector<std::string> ExpandFileList(const std::vector<std::string>& names, std::istream& in) {
    std::vector<std::string> files;
    for (const std::string& name : names) {
        if (name != "-") {
            files.push_back(name);
            continue;
        }
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (!line.empty()) {
                files.push_back(line);
            }
        }
    }
    return files;
}

bool PathFits(const std::string& path) {
    return path.size() <= ShortString::MaxLength;
}

std::string PathTooLongText() {
    return IoError::TextForCode(3) + " (the path is longer than " +
           std::to_string(ShortString::MaxLength) + " bytes)";
}

void ReportFileFailure(const std::string& file, const std::string& message, std::ostream& err) {
    err << MessagePrefix << EscapedFileName(file) << ": " << message << '\n';
}

void TerminalPrompts::ShowMessage(const std::string& text) {
    err_ << MessagePrefix << text << '\n';
}

void TerminalPrompts::ShowFailure(const std::string& message, const std::string& /*cause*/) {
    ShowMessage(message);
}

PromptAnswer TerminalPrompts::AskOkCancel(const std::string& /*caption*/,
                                          const std::string& /*text*/) {
    return answer_;
}

std::optional<std::string> TerminalPrompts::AskOpenFileName(const std::string& /*filter*/) {
    return std::nullopt;
}

std::optional<std::string> TerminalPrompts::AskSaveFileName(const std::string& /*filter*/,
                                                            const std::string& /*extension*/) {
    return std::nullopt;
}

}  // namespace korvid::cli
