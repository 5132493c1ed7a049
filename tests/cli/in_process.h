#pragma once
// Running korvid-cli in-process for the command tests.

#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"

namespace korvid::test_support {

struct CliRun {
    int exit_code;
    std::string out;
    std::string err;
};

// korvid-cli with these arguments, input as its standard input.
inline CliRun RunInProcess(const std::vector<std::string>& args, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out;
    std::ostringstream err;
    const int code = cli::RunCommandLine(args, in, out, err);
    return {code, out.str(), err.str()};
}

}  // namespace korvid::test_support
