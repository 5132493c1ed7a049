// korvid-cli: looks up films and reads and writes EKT tags from the command line, on the
// same core as the desktop program.

#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "client/http.h"

namespace {

constexpr const char* Usage =
    "Usage: korvid-cli search [--pick N] [--xml FILE] [--csv FILE] [--dir DIR] [--host HOST] "
    "TITLE\n"
    "       korvid-cli tag [--title T] [--director D] [--comment C] [--imdb ID] [--year Y]\n"
    "                      [--genre NAME] [--search TITLE [--pick N]] [--dir DIR] [--host HOST] "
    "FILE...\n"
    "       korvid-cli show-tag [--json] FILE...\n"
    "       korvid-cli --help | --version\n"
    "\n"
    "Exit codes: 0 success, 1 nothing found, 2 usage error, 3 a download or a file failed.\n"
    "The site is www.imdb.com unless KORVID_HOST or --host names another.\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace korvid::cli;
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << Usage;
        return ExitUsage;
    }
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << Usage;
        return ExitOk;
    }
    if (command == "--version") {
        std::cout << "korvid-cli (Korvid 1.1.1.0)\n";
        return ExitOk;
    }
    std::setlocale(LC_TIME, "");  // the scan date of the XML document uses the user's short date
    korvid::HttpGlobalInit();
    try {
        if (command == "search") {
            return RunSearchCommand(args, std::cout, std::cerr);
        }
        if (command == "tag") {
            return RunTagCommand(args, std::cout, std::cerr);
        }
        if (command == "show-tag") {
            return RunShowTagCommand(args, std::cout, std::cerr);
        }
        throw UsageError("unknown command " + command);
    } catch (const UsageError& e) {
        std::cerr << "korvid-cli: " << e.what() << "\n\n" << Usage;
        return ExitUsage;
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
        return ExitFailure;
    }
}
