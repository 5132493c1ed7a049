// korvid-cli: looks up films and reads and writes EKT tags from the command line, on the
// same core as the desktop program.

#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "client/http.h"

int main(int argc, char** argv) {
    std::setlocale(LC_TIME, "");  // the scan date of the XML document uses the user's short date
    korvid::HttpGlobalInit();
    return korvid::cli::RunCommandLine(std::vector<std::string>(argv + 1, argv + argc), std::cin,
                                       std::cout, std::cerr);
}
