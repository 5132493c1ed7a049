// korvid-cli: looks up films and reads and writes EKT tags from the command line, on the
// same core as the desktop program.

#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "cli/command_line.h"

int main(int argc, char** argv) {
    std::setlocale(LC_TIME, "");  // the scan date of the XML document uses the user's short date
    // libcurl is loaded by the first download (client/curl_library.h), so a command that
    // downloads nothing (--version, show-tag, a search on the local film data) never maps it.
    return korvid::cli::RunCommandLine(std::vector<std::string>(argv + 1, argv + argc), std::cin,
                                       std::cout, std::cerr);
}
