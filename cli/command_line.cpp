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
#include "dataset/film_database.h"
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
    std::string source;
    std::string db;

    // dir_help: what -d holds for the command (a search also saves the cover there).
    void AddTo(CLI::App& app, const std::string& dir_help) {
        app.add_option("--source", source,
                       "local (the film database) or site (default: the site with --host, "
                       "else local when the database is present)")
            ->type_name("local|site")
            ->check(CLI::IsMember({"local", "site"}));
        app.add_option("--db", db,
                       "the film database (default: KORVID_DATASET, else "
                       "$XDG_DATA_HOME/korvid/films.sqlite)")
            ->type_name("FILE");
        app.add_option("--host", host, "the site (default: KORVID_HOST, else www.imdb.com)")
            ->type_name("HOST");
        app.add_option("-d,--dir", dir, dir_help)->type_name("DIR");
    }
    SiteOptions Options() const { return {host, dir, source, db}; }
};

// A command with its one-line description and, below its help, the details and exit codes.
CLI::App* AddCommand(CLI::App& app, const std::string& name, const std::string& description,
                     const std::string& details, const std::string& exit_codes = ExitCodes) {
    CLI::App* command = app.add_subcommand(name, description);
    command->footer(details + "\n\n" + exit_codes);
    return command;
}

// The one line of a usage error, pointing at the help of the command that was being read.
void ReportUsage(const CLI::App& app, const std::string& what, std::ostream& err) {
    std::string help = "korvid-cli";
    for (auto commands = app.get_subcommands(); !commands.empty();
         commands = commands.front()->get_subcommands()) {
        help += " " + commands.front()->get_name();
    }
    help += " --help";
    err << MessagePrefix << what << " (see " << help << ")\n";
}

// Each command: its options bound to the parser, and the run with what was given.
struct SearchCommand {
    SearchOptions options;
    Given<int> pick;
    Given<std::string> xml, csv, nfo;
    SiteArgs site;
    CLI::App* command = nullptr;

    void Register(CLI::App& app) {
        command = AddCommand(app, "search",
                             "look a film up by its title (in the film database, else on the site)",
                             "Prints the result list, numbered from 0, or the film's fields when "
                             "the film database\nor the site answers with one film.");
        command->add_option("TITLE", options.title, "the title (quote one of several words)")
            ->required()
            ->type_name("");
        Add(*command, pick, "-p,--pick", "N", "read entry N of the result list");
        Add(*command, xml, "-x,--xml", "FILE", "save the film read as the XML document");
        Add(*command, csv, "-c,--csv", "FILE", "save the film read as the CSV document");
        Add(*command, nfo, "--nfo", "FILE",
            "save the film read as a movie NFO document for media centres");
        command->add_flag("-j,--json", options.json, "print the list or the film as JSON");
        command->add_flag("--no-cover", options.no_cover,
                          "no cover for a film from the local film data (it is fetched from "
                          "the site's suggestion service otherwise)");
        site.AddTo(*command, "the folder for the temporary page and the cover");
    }
    int Run(std::ostream& out, std::ostream& err) {
        options.pick = pick.Get();
        options.xml_file = xml.Get();
        options.csv_file = csv.Get();
        options.nfo_file = nfo.Get();
        options.site = site.Options();
        return RunSearchCommand(options, out, err);
    }
};

struct TagCommand {
    TagOptions options;
    Given<std::string> title, director, comment, imdb, year, genre, lookup;
    Given<int> pick;
    SiteArgs site;
    CLI::App* command = nullptr;

    void Register(CLI::App& app) {
        command = AddCommand(
            app, "tag", "write the EKT tag of movie files",
            "Field options change only those fields of a file's tag and keep the others.\n"
            "--search fills all six from the film found; field options beside it override "
            "them.\nA value longer than its field is cut, with a warning. FILE \"-\" reads file "
            "names\nfrom standard input, one a line.");
        command->add_option("FILE", options.files, "the movie files")->required()->type_name("");
        Add(*command, title, "--title", "TEXT", "the title (30 bytes)");
        Add(*command, director, "--director", "TEXT", "the director (30 bytes)");
        Add(*command, comment, "--comment", "TEXT", "the comment (30 bytes)");
        Add(*command, imdb, "--imdb", "TEXT", "the IMDB ID (30 bytes)");
        Add(*command, year, "--year", "TEXT", "the year (4 bytes)");
        Add(*command, genre, "--genre", "NAME", "a genre, any letter case (\"\" for none)");
        Add(*command, lookup, "-s,--search", "TITLE", "look TITLE up and tag the film found");
        Add(*command, pick, "-p,--pick", "N", "with --search: take entry N of the list");
        site.AddTo(*command, "the folder for the temporary page (a tag fetches no cover)");
    }
    int Run(std::istream& in, std::ostream& out, std::ostream& err) {
        options.fields = {title.Get(), director.Get(), comment.Get(),
                          imdb.Get(),  year.Get(),     genre.Get()};
        options.search = lookup.Get();
        options.pick = pick.Get();
        options.site = site.Options();
        return RunTagCommand(options, in, out, err);
    }
};

struct ShowTagCommand {
    ShowTagOptions options;
    CLI::App* command = nullptr;

    void Register(CLI::App& app) {
        command = AddCommand(app, "show-tag", "show the EKT tag of movie files",
                             "A file without a tag shows \"no tag\" (in JSON \"tagged\": false) "
                             "and makes\nthe exit code 1. FILE \"-\" reads file names from "
                             "standard input, one a line.");
        command->add_option("FILE", options.files, "the movie files")->required()->type_name("");
        command->add_flag("-j,--json", options.json, "print one JSON object a file");
    }
    int Run(std::istream& in, std::ostream& out, std::ostream& err) {
        return RunShowTagCommand(options, in, out, err);
    }
};

struct ScanCommand {
    ScanOptions options;
    SiteArgs site;
    CLI::App* command = nullptr;

    void Register(CLI::App& app) {
        command = AddCommand(
            app, "scan", "look up and tag every movie file in folders",
            "Reads each film's title and year from its file name (\"The.Title.2004.720p.avi\",\n"
            "\"Title, The (2004).avi\"), looks the title up and writes the tag the editor would.\n"
            "In a result list, the entry with the same title and year is taken (without a year,\n"
            "the one entry with the same title); otherwise the file is reported as ambiguous\n"
            "with its candidates. Movie files: avi, mpe, mpeg, mpg, mp4, mov, asf, asx, wmv, qt,\n"
            "mkv. A file with a tag keeps it unless --replace; with --rename or --nfo it is\n"
            "still looked up. --rename gives each file matched the name of its film, and the\n"
            "files beside it that begin with its name (\"NAME.en.srt\", \"NAME-poster.jpg\") go\n"
            "with it; no file is renamed over another, and each rename is written to a journal\n"
            "first ($XDG_STATE_HOME/korvid/renames/) that undo-rename reads.",
            "Exit codes: 0 every file tagged or skipped, 1 some ambiguous or not found,\n"
            "2 usage error, 3 some failed, a rename was refused or an NFO file not written.");
        command->add_option("PATH", options.paths, "movie files and folders")
            ->required()
            ->type_name("");
        command->add_flag("-r,--recursive", options.recursive, "also scan the folders in folders");
        command->add_flag("--replace", options.replace, "replace tags that files have already");
        command->add_flag("-n,--dry-run", options.dry_run, "look up and report, write nothing");
        command->add_flag("-j,--json", options.json, "print the report as JSON");
        command->add_flag("--nfo", options.nfo,
                          "write NAME.nfo, the film's NFO document, beside each file matched");
        command->add_flag("--replace-nfo", options.replace_nfo,
                          "with --nfo: replace NFO files that Korvid did not write");
        command->add_flag("--rename", options.rename,
                          "give each file matched the name of its film, with its side files");
        command
            ->add_option("--name-format", options.name_format,
                         "with --rename: the new name, of {title}, {year} and {id} (default "
                         "\"{title} ({year})\")")
            ->type_name("FORMAT");
        command->add_flag("--portable", options.portable,
                          "with --rename: also leave out the characters Windows refuses "
                          "(<>:\"\\|?*)");
        command
            ->add_option("--delay", options.delay,
                         "seconds between requests to the site (default 1; none locally)")
            ->type_name("SECONDS")
            ->check(CLI::NonNegativeNumber);
        site.AddTo(*command, "the folder for the temporary page (a scan fetches no cover)");
    }
    int Run(std::ostream& out, std::ostream& err) {
        options.site = site.Options();
        // The progress line is for a person watching the real standard error.
        options.progress = &err == &std::cerr && ::isatty(STDERR_FILENO) == 1;
        return RunScanCommand(options, out, err);
    }
};

struct UndoRenameCommand {
    UndoRenameOptions options;
    CLI::App* command = nullptr;

    void Register(CLI::App& app) {
        command = AddCommand(
            app, "undo-rename", "put back the names a scan --rename gave",
            "Reads the journal of a scan --rename (default: the newest one not undone in\n"
            "$XDG_STATE_HOME/korvid/renames/) and puts each name back, the last rename first:\n"
            "where the new name still holds the file renamed and the old name is free. Every\n"
            "other is reported with its cause and left as it is.",
            "Exit codes: 0 every name put back, 1 no journal, 2 usage error, 3 some names not\n"
            "put back or the journal unreadable.");
        command->add_option("JOURNAL", options.journal, "the journal (default: the newest)")
            ->type_name("");
    }
    int Run(std::ostream& out, std::ostream& err) {
        return RunUndoRenameCommand(options, out, err);
    }
};

struct DatasetCommand {
    DatasetUpdateOptions update_options;
    DatasetStatusOptions status_options;
    DatasetRemoveOptions remove_options;
    CLI::App* command = nullptr;
    CLI::App* update = nullptr;
    CLI::App* status = nullptr;
    CLI::App* remove = nullptr;

    void Register(CLI::App& app) {
        command = app.add_subcommand(
            "dataset", "download the site's data sets and build the local film database");
        command->require_subcommand(1);
        command->footer(
            "The database: --db FILE, else KORVID_DATASET, else\n"
            "$XDG_DATA_HOME/korvid/films.sqlite (~/.local/share/korvid/films.sqlite).\n"
            "Each command has its own --help.");
        update = AddCommand(
            *command, "update", "download the data-set files and build the database",
            "Fetches title.basics, title.ratings, title.crew, title.principals,\n"
            "name.basics and title.akas (.tsv.gz) from https://datasets.imdbws.com/ or\n"
            "SOURCE into $XDG_CACHE_HOME/korvid/datasets/ (files the server reports\n"
            "unchanged are not fetched again), then builds the database beside the old one\n"
            "and puts it in its place, unless it was built from the same files already.\n"
            "A failed update keeps the old database. An update is refused before it starts\n"
            "when the disk lacks room for its downloads and the new database. The data sets\n"
            "are for personal and non-commercial use.",
            "Exit codes: 0 success, 2 usage error, 3 the update failed (the cause in one line).");
        update
            ->add_option("--from", update_options.from,
                         "another base address, or a local folder holding the files "
                         "(title.akas may be missing there); default $KORVID_DATASETS_URL")
            ->type_name("SOURCE")
            ->envname("KORVID_DATASETS_URL")
            // An empty value would quietly mean the official address.
            ->check(CLI::Validator(
                [](const std::string& value) {
                    return value.empty() ? std::string("names no address and no folder")
                                         : std::string();
                },
                ""));
        update->add_option("--db", update_options.db, "the database file")->type_name("FILE");
        update->add_flag("--force", update_options.force,
                         "put the new database in place even when it holds fewer than half "
                         "the titles of the old one, or a file fewer than half its rows");
        status = AddCommand(
            *command, "status", "show the local film database",
            "Prints where the database is, when it was built, the date of each file it was\n"
            "built from, its counts of titles and names, its size and the credit line.",
            "Exit codes: 0 a database is there, 1 none, 2 usage error.");
        status->add_flag("-j,--json", status_options.json, "print the status as JSON");
        status->add_option("--db", status_options.db, "the database file")->type_name("FILE");
        remove = AddCommand(
            *command, "remove", "remove the film data to free the disk",
            "Removes the database (with SQLite's -journal, -wal and -shm files beside it)\n"
            "and the downloaded data-set files of $XDG_CACHE_HOME/korvid/datasets/ with\n"
            "their records and unfinished parts, and prints each file removed. Nothing else\n"
            "is touched: no folder, no other file, nothing a link points to. Refused while an\n"
            "update runs. \"korvid-cli dataset update\" gets the film data again.",
            "Exit codes: 0 removed, 1 no film data there, 2 usage error, 3 refused or a file\n"
            "could not be removed.");
        remove->add_option("--db", remove_options.db, "the database file")->type_name("FILE");
        remove->add_flag("-n,--dry-run", remove_options.dry_run,
                         "print what would be removed, remove nothing");
    }
    int Run(std::ostream& out, std::ostream& err) {
        if (update->parsed()) {
            // The progress line is for a person watching the real standard error.
            update_options.progress = &err == &std::cerr && ::isatty(STDERR_FILENO) == 1;
            return RunDatasetUpdateCommand(update_options, out, err);
        }
        if (remove->parsed()) {
            return RunDatasetRemoveCommand(remove_options, out, err);
        }
        return RunDatasetStatusCommand(status_options, out, err);
    }
};

// CLI11 takes the arguments reversed. It reads "--genre=" as a missing value and would take
// the next argument instead, so an empty value after "=" is passed on as a value of its own.
std::vector<std::string> ForParser(const std::vector<std::string>& args) {
    std::vector<std::string> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it) {
        if (it->size() > 3 && it->rfind("--", 0) == 0 && it->back() == '=') {
            reversed.emplace_back();
            reversed.push_back(it->substr(0, it->size() - 1));
        } else {
            reversed.push_back(*it);
        }
    }
    return reversed;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                   std::ostream& err) {
    CLI::App app(
        "Looks up films by title in the local film database that dataset update builds from\n"
        "IMDb's official data sets (else on the movie database site, which answers programs\n"
        "with a browser check), and reads and writes the EKT tag of movie files.",
        "korvid-cli");
    app.set_version_flag("-V,--version", std::string("korvid-cli (Korvid ") + KORVID_VERSION + ")");
    app.require_subcommand(1);
    app.footer(std::string("Each command has its own --help.\n\n") + ExitCodes);
    SearchCommand search;
    TagCommand tag;
    ShowTagCommand show_tag;
    ScanCommand scan;
    UndoRenameCommand undo_rename;
    DatasetCommand dataset;
    search.Register(app);
    tag.Register(app);
    show_tag.Register(app);
    scan.Register(app);
    undo_rename.Register(app);
    dataset.Register(app);

    std::vector<std::string> reversed = ForParser(args);
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
        if (search.command->parsed()) {
            return search.Run(out, err);
        }
        if (tag.command->parsed()) {
            return tag.Run(in, out, err);
        }
        if (scan.command->parsed()) {
            return scan.Run(out, err);
        }
        if (undo_rename.command->parsed()) {
            return undo_rename.Run(out, err);
        }
        if (dataset.command->parsed()) {
            return dataset.Run(out, err);
        }
        return show_tag.Run(in, out, err);
    } catch (const UsageError& e) {
        ReportUsage(app, e.what(), err);
        return ExitUsage;
    } catch (const dataset::DatabaseNotAnswering& e) {
        err << MessagePrefix << e.what() << '\n'
            << MessagePrefix << "--source site asks the site instead\n";
        return ExitFailure;
    } catch (const std::exception& e) {
        err << MessagePrefix << e.what() << '\n';
        return ExitFailure;
    }
}

}  // namespace korvid::cli
