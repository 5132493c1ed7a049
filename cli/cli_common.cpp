#include "cli/cli_common.h"

#include <charconv>
#include <filesystem>
#include <ostream>
#include <string_view>
#include <system_error>

#include "cli/terminal_text.h"
#include "client/IMDBImport.h"
#include "common/short_string.h"

namespace korvid::cli {

std::optional<std::string> ParsedArgs::Value(const std::string& option) const {
    const auto it = values.find(option);
    if (it == values.end()) {
        return std::nullopt;
    }
    return it->second;
}

ParsedArgs ParseArgs(const std::vector<std::string>& args,
                     const std::set<std::string>& value_options,
                     const std::set<std::string>& flag_options) {
    ParsedArgs parsed;
    bool options_ended = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (options_ended || arg.size() < 2 || arg.rfind("--", 0) != 0) {
            parsed.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_ended = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        if (value_options.count(name) != 0) {
            if (equals != std::string::npos) {
                parsed.values[name] = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                parsed.values[name] = args[++i];
            } else {
                throw UsageError("option " + name + " needs a value");
            }
        } else if (flag_options.count(name) != 0 && equals == std::string::npos) {
            parsed.flags.insert(name);
        } else {
            throw UsageError("unknown option " + arg);
        }
    }
    return parsed;
}

int ParseIndex(const std::string& option, const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || ptr != end) {
        throw UsageError(option + " needs a whole number, not \"" + text + "\"");
    }
    return value;
}

std::string WorkFolder(const ParsedArgs& parsed) {
    std::string dir = parsed.Value("--dir").value_or("");
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

void TerminalPrompts::ShowMessage(const std::string& text) {
    err_ << text << '\n';
}

int ReportDownloadFailure(const TIMDBImport& importer, std::ostream& err) {
    const std::string& cause = importer.DownloadFailure();
    err << "korvid-cli: " << (cause.empty() ? "the download failed" : ForTerminal(cause)) << '\n';
    return ExitFailure;
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
