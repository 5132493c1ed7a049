#include "cli/command_line.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <istream>
#include <optional>
#include <ostream>
#include <stdexcept>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "korvid_version.h"

namespace korvid::cli {
namespace {

constexpr const char* ExitCodes =
    "Exit codes: 0 success, 1 nothing found or a file without a tag, 2 usage error,\n"
    "3 a download or a file failed.";

// An option whose value is kept only when it was given.
template <class T>
struct Given {
    T value{};
    CLI::Option* option = nullptr;

    std::optional<T> Get() const {
        return option->count() > 0 ? std::optional<T>(value) : std::nullopt;
    }
};

template <class T>
void Add(CLI::App& app, Given<T>& given, const std::string& names, const std::string& value_name,
         const std::string& help) {
    given.option = app.add_option(names, given.value, help)->type_name(value_name);
}

struct SiteArgs {
    std::string host;
    std::string dir;

    void AddTo(CLI::App& app) {
        app.add_option("--host", host, "the site (default: KORVID_HOST, else www.imdb.com)")
            ->type_name("HOST");
        app.add_option("-d,--dir", dir, "the folder for the temporary page and the cover")
            ->type_name("DIR");
    }
    SiteOptions Options() const { return {host, dir}; }
};

// A command with its one-line description and, below its help, the details and exit codes.
CLI::App* AddCommand(CLI::App& app, const std::string& name, const std::string& description,
                     const std::string& details) {
    CLI::App* command = app.add_subcommand(name, description);
    command->footer(details + "\n\n" + ExitCodes);
    return command;
}

// The one line of a usage error, pointing at the help of the command that was being read.
void ReportUsage(const CLI::App& app, const std::string& what, std::ostream& err) {
    const auto commands = app.get_subcommands();
    const std::string help = commands.empty()
                                 ? "korvid-cli --help"
                                 : "korvid-cli " + commands.front()->get_name() + " --help";
    err << MessagePrefix << what << " (see " << help << ")\n";
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                   std::ostream& err) {
    CLI::App app(
        "Looks up films on the movie database site and reads and writes the EKT tag "
        "of movie files.",
        "korvid-cli");
    app.set_version_flag("-V,--version", std::string("korvid-cli (Korvid ") + KORVID_VERSION + ")");
    app.require_subcommand(1);
    app.footer(std::string("Each command has its own --help.\n\n") + ExitCodes);

    SearchOptions search;
    Given<int> search_pick;
    Given<std::string> xml;
    Given<std::string> csv;
    SiteArgs search_site;
    CLI::App* search_command =
        AddCommand(app, "search", "look a film up on the site by its title",
                   "Prints the result list, numbered from 0, or the film's fields when the site\n"
                   "answers with the film's page.");
    search_command->add_option("TITLE", search.title, "the title (quote one of several words)")
        ->required()
        ->type_name("");
    Add(*search_command, search_pick, "-p,--pick", "N", "read entry N of the result list");
    Add(*search_command, xml, "-x,--xml", "FILE", "save the film read as the XML document");
    Add(*search_command, csv, "-c,--csv", "FILE", "save the film read as the CSV document");
    search_command->add_flag("-j,--json", search.json, "print the list or the film as JSON");
    search_site.AddTo(*search_command);

    TagOptions tag;
    Given<std::string> title, director, comment, imdb, year, genre, lookup;
    Given<int> tag_pick;
    SiteArgs tag_site;
    CLI::App* tag_command = AddCommand(
        app, "tag", "write the EKT tag of movie files",
        "Field options change only those fields of a file's tag and keep the others.\n"
        "--search fills all six from the film found; field options beside it override them.\n"
        "A value longer than its field is cut, with a warning. FILE \"-\" reads file names\n"
        "from standard input, one a line.");
    tag_command->add_option("FILE", tag.files, "the movie files")->required()->type_name("");
    Add(*tag_command, title, "--title", "TEXT", "the title (30 bytes)");
    Add(*tag_command, director, "--director", "TEXT", "the director (30 bytes)");
    Add(*tag_command, comment, "--comment", "TEXT", "the comment (30 bytes)");
    Add(*tag_command, imdb, "--imdb", "TEXT", "the IMDB ID (30 bytes)");
    Add(*tag_command, year, "--year", "TEXT", "the year (4 bytes)");
    Add(*tag_command, genre, "--genre", "NAME", "a genre, any letter case (\"\" for none)");
    Add(*tag_command, lookup, "-s,--search", "TITLE", "look TITLE up and tag the film found");
    Add(*tag_command, tag_pick, "-p,--pick", "N", "with --search: take entry N of the list");
    tag_site.AddTo(*tag_command);

    ShowTagOptions show;
    CLI::App* show_command =
        AddCommand(app, "show-tag", "show the EKT tag of movie files",
                   "A file without a tag shows \"no tag\" (in JSON \"tagged\": false) and makes\n"
                   "the exit code 1. FILE \"-\" reads file names from standard input, one a line.");
    show_command->add_option("FILE", show.files, "the movie files")->required()->type_name("");
    show_command->add_flag("-j,--json", show.json, "print one JSON object a file");

    ScanOptions scan;
    SiteArgs scan_site;
    CLI::App* scan_command =
        app.add_subcommand("scan", "look up and tag every movie file in folders");
    scan_command->footer(
        "Reads each film's title and year from its file name (\"The.Title.2004.720p.avi\",\n"
        "\"Title, The (2004).avi\"), looks the title up and writes the tag the editor would.\n"
        "In a result list, the entry with the same title and year is taken (without a year,\n"
        "the one entry with the same title); otherwise the file is reported as ambiguous\n"
        "with its candidates. Movie files: avi, mpe, mpeg, mpg, mp4, mov, asf, asx, wmv, qt.\n\n"
        "Exit codes: 0 every file tagged or skipped, 1 some ambiguous or not found,\n"
        "2 usage error, 3 some failed.");
    scan_command->add_option("PATH", scan.paths, "movie files and folders")
        ->required()
        ->type_name("");
    scan_command->add_flag("-r,--recursive", scan.recursive, "also scan the folders in folders");
    scan_command->add_flag("--replace", scan.replace, "replace tags that files have already");
    scan_command->add_flag("-n,--dry-run", scan.dry_run, "look up and report, write nothing");
    scan_command->add_flag("-j,--json", scan.json, "print the report as JSON");
    scan_command
        ->add_option("--delay", scan.delay, "seconds between requests to the site (default 1)")
        ->type_name("SECONDS")
        ->check(CLI::NonNegativeNumber);
    scan_site.AddTo(*scan_command);

    // CLI11 takes the arguments reversed. It reads "--genre=" as a missing value and would
    // take the next argument instead, so an empty value after "=" is passed on its own.
    std::vector<std::string> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it) {
        if (it->size() > 3 && it->rfind("--", 0) == 0 && it->back() == '=') {
            reversed.emplace_back();
            reversed.push_back(it->substr(0, it->size() - 1));
        } else {
            reversed.push_back(*it);
        }
    }
    try {
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        if (dynamic_cast<const CLI::CallForVersion*>(&e) != nullptr) {
            out << e.what() << '\n';
            return ExitOk;
        }
        if (e.get_exit_code() == 0) {  // --help
            return app.exit(e, out, err);
        }
        ReportUsage(app, e.what(), err);
        return ExitUsage;
    }

    try {
        if (search_command->parsed()) {
            search.pick = search_pick.Get();
            search.xml_file = xml.Get();
            search.csv_file = csv.Get();
            search.site = search_site.Options();
            return RunSearchCommand(search, out, err);
        }
        if (tag_command->parsed()) {
            tag.fields = {title.Get(), director.Get(), comment.Get(),
                          imdb.Get(),  year.Get(),     genre.Get()};
            tag.search = lookup.Get();
            tag.pick = tag_pick.Get();
            tag.site = tag_site.Options();
            return RunTagCommand(tag, in, out, err);
        }
        if (scan_command->parsed()) {
            scan.site = scan_site.Options();
            // The progress line is for a person watching the real standard error.
            scan.progress = &err == &std::cerr && ::isatty(STDERR_FILENO) == 1;
            return RunScanCommand(scan, out, err);
        }
        return RunShowTagCommand(show, in, out, err);
    } catch (const UsageError& e) {
        ReportUsage(app, e.what(), err);
        return ExitUsage;
    } catch (const std::exception& e) {
        err << MessagePrefix << e.what() << '\n';
        return ExitFailure;
    }
}

}  // namespace korvid::cli
