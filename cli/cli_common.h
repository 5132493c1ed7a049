#pragma once
// What every korvid-cli command shares: the exit codes, the usage error, the message form,
// the work folder, the list of files and the terminal's answer to the prompts the core raises.

#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/prompts.h"

namespace korvid {
class TIMDBImport;
}

namespace korvid::cli {

enum ExitCode : int {
    ExitOk = 0,
    ExitNotFound = 1,  // nothing was found, or a file has no tag
    ExitUsage = 2,     // the command line is wrong
    ExitFailure = 3,   // a download or a file failed
};

// Every message of korvid-cli starts with this.
inline constexpr const char* MessagePrefix = "korvid-cli: ";

// A command line that cannot be used; it is reported in one line with the command's --help.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The folder for the temporary page and the cover, with a trailing "/": dir, or the current
// folder when dir is empty. The importer keeps paths as short strings, so a folder whose files
// would not fit in 255 characters is refused (UsageError) rather than cut to another folder.
std::string WorkFolder(const std::string& dir);

// The files named on the command line, where "-" stands for the names read from in, one a
// line (empty lines skipped, a CR before the line end dropped).
std::vector<std::string> ExpandFileList(const std::vector<std::string>& names, std::istream& in);

// A longer path would be cut by the core and could then name another file; it is refused.
bool PathFits(const std::string& path);
// What is said of a path that does not fit: "Invalid filename", and why.
std::string PathTooLongText();

// "korvid-cli: FILE: message" for a failure on one file, the name escaped as "ls -b" does.
void ReportFileFailure(const std::string& file, const std::string& message, std::ostream& err);

// Messages go to the error stream after the prefix; the replace question gets the answer
// given on the command line (OK unless told otherwise); no file dialogs.
class TerminalPrompts : public Prompts {
  public:
    explicit TerminalPrompts(std::ostream& err, PromptAnswer answer = PromptAnswer::Ok)
        : err_(err), answer_(answer) {}

    void ShowMessage(const std::string& text) override;
    // The first line only: the lookup prints the cause itself, with its hint.
    void ShowFailure(const std::string& message, const std::string& cause) override;
    PromptAnswer AskOkCancel(const std::string& caption, const std::string& text) override;
    std::optional<std::string> AskOpenFileName(const std::string& filter) override;
    std::optional<std::string> AskSaveFileName(const std::string& filter,
                                               const std::string& default_extension) override;

  private:
    std::ostream& err_;
    PromptAnswer answer_;
};

}  // namespace korvid::cli
