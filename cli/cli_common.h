#pragma once
// What every korvid-cli command shares: the exit codes, a small option parser and the
// terminal's answer to the prompts the core raises.

#include <iosfwd>
#include <map>
#include <optional>
#include <set>
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
    ExitNotFound = 1,  // nothing was found
    ExitUsage = 2,     // the command line is wrong
    ExitFailure = 3,   // a download or a file failed
};

// A command line that cannot be used; main prints its text and the usage line, exit 2.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct ParsedArgs {
    std::map<std::string, std::string> values;  // "--pick" -> "2"
    std::set<std::string> flags;                // "--json"
    std::vector<std::string> positional;

    bool Has(const std::string& option) const {
        return values.count(option) + flags.count(option) > 0;
    }
    std::optional<std::string> Value(const std::string& option) const;
};

// Splits the arguments into options that take a value ("--pick 2" or "--pick=2"), flags and
// positional arguments. "--" ends the options. An unknown option or a missing value throws
// UsageError.
ParsedArgs ParseArgs(const std::vector<std::string>& args,
                     const std::set<std::string>& value_options,
                     const std::set<std::string>& flag_options);

// Parses a whole decimal number of type int; throws UsageError naming the option otherwise.
int ParseIndex(const std::string& option, const std::string& text);

// The folder for the temporary page and the cover, with a trailing "/": --dir, or the
// current folder. The importer keeps paths as short strings, so a folder whose files would
// not fit in 255 characters is refused (UsageError) rather than cut to some other folder.
std::string WorkFolder(const ParsedArgs& parsed);

// Messages go to the error stream in the system's own words; the replace question gets
// the answer given on the command line (OK unless told otherwise); no file dialogs.
class TerminalPrompts : public Prompts {
  public:
    explicit TerminalPrompts(std::ostream& err, PromptAnswer answer = PromptAnswer::Ok)
        : err_(err), answer_(answer) {}

    void ShowMessage(const std::string& text) override;
    PromptAnswer AskOkCancel(const std::string& caption, const std::string& text) override;
    std::optional<std::string> AskOpenFileName(const std::string& filter) override;
    std::optional<std::string> AskSaveFileName(const std::string& filter,
                                               const std::string& default_extension) override;

  private:
    std::ostream& err_;
    PromptAnswer answer_;
};

// After a lookup whose download failed: prints why ("korvid-cli: connection refused") below
// the importer's own message and gives ExitFailure.
int ReportDownloadFailure(const TIMDBImport& importer, std::ostream& err);

// The commands. Each takes the arguments after its own name and returns an exit code;
// they print results on out and messages on err.
int RunSearchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunTagCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunShowTagCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace korvid::cli
