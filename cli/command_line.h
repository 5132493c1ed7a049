#pragma once
// The command line of korvid-cli: reads the arguments into a command and its options, runs
// it, and reports what went wrong. main() and the in-process tests call RunCommandLine.

#include <iosfwd>
#include <string>
#include <vector>

namespace korvid::cli {

// args excludes the program name. Help goes to out; a usage error is one line on err naming
// the --help to read, exit 2.
int RunCommandLine(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                   std::ostream& err);

}  // namespace korvid::cli
