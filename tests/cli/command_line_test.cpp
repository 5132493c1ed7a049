// korvid-cli's command line run in-process: help, usage errors, the tag merge, show-tag on
// untagged files, file lists on standard input, cut warnings, and search --json against the
// sample site on loopback.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "korvid_version.h"
#include "tests/cli/in_process.h"
#include "tests/support/sample_site_suite.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using test_support::ReadFileBytes;
using test_support::TempDir;
using test_support::WriteFileBytes;

using test_support::CliRun;
using test_support::RunInProcess;

std::string Padded(const std::string& text, std::size_t width) {
    return text + std::string(width - text.size(), ' ');
}

// A tag record: title, director, comment, imdb, year, genre number.
std::string Record(const std::string& title, const std::string& director,
                   const std::string& comment, const std::string& imdb, const std::string& year,
                   unsigned char genre) {
    return "TAG" + Padded(title, 30) + Padded(director, 30) + Padded(comment, 30) +
           Padded(imdb, 30) + Padded(year, 4) + static_cast<char>(genre);
}

const std::string Movie(1000, 'm');

TEST(CommandLine, EveryCommandHasItsHelpAndTheVersionIsTheProjects) {
    for (const std::string command : {"search", "tag", "show-tag"}) {
        const CliRun help = RunInProcess({command, "--help"});
        EXPECT_EQ(help.exit_code, 0);
        EXPECT_NE(help.out.find("Usage: korvid-cli " + command + " [OPTIONS]"), std::string::npos)
            << help.out;
        EXPECT_EQ(help.err, "");
        EXPECT_EQ(RunInProcess({command, "-h"}).out, help.out);
    }
    EXPECT_NE(RunInProcess({"--help"}).out.find("show-tag"), std::string::npos);
    // The help says first what answers today (the film database), and -d names the cover only
    // for the command that fetches one: what each help has and lacks.
    for (const auto& [args, has, lacks] :
         std::vector<std::tuple<std::vector<std::string>, std::string, std::string>>{
             {{"--help"}, "Looks up films by title in the local film database", "on the site by"},
             {{"search", "--help"}, "(in the film database, else on the site)", "on the site by"},
             {{"search", "--help"}, "the folder for the temporary page and the cover",
              "fetches no"},
             {{"scan", "--help"}, "the temporary page (a scan fetches no cover)", "and the cover"},
             {{"tag", "--help"}, "the temporary page (a tag fetches no cover)", "and the cover"}}) {
        const std::string help = RunInProcess(args).out;
        EXPECT_NE(help.find(has), std::string::npos) << help;
        EXPECT_EQ(help.find(lacks), std::string::npos) << help;
    }
    for (const std::string flag : {"-V", "--version"}) {
        EXPECT_EQ(RunInProcess({flag}).out, "korvid-cli (Korvid " KORVID_VERSION ")\n");
    }
    std::ifstream readme(KORVID_SOURCE_DIR "/README.md");
    const std::string text((std::istreambuf_iterator<char>(readme)), {});
    EXPECT_NE(text.find("Korvid " KORVID_VERSION), std::string::npos) << "README's version";
}

TEST(CommandLine, AUsageErrorIsOneLineNamingTheHelpToRead) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "korvid-cli --help"},
        {{"frobnicate"}, "korvid-cli --help"},
        {{"search"}, "korvid-cli search --help"},
        {{"search", "--pick=x", "alien"}, "korvid-cli search --help"},
        {{"tag", "--pick", "1", "a.avi"}, "korvid-cli tag --help"},
        {{"tag", "--genre", "Kung-Fu", "a.avi"}, "korvid-cli tag --help"},
        {{"show-tag", "--xml", "a.avi"}, "korvid-cli show-tag --help"},
    };
    for (const auto& [args, help] : cases) {
        const CliRun run = RunInProcess(args);
        EXPECT_EQ(run.exit_code, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(run.err.rfind("korvid-cli: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find("(see " + help + ")\n"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
        EXPECT_EQ(run.out, "");
    }
}

// Field options change only their fields; the rest of an existing tag stays, including a
// genre number outside the list. "--opt=value" and "--opt value" are the same.
TEST(TagCommand, FieldOptionsEditAnExistingTag) {
    struct Case {
        std::string before;  // the file's last 128 bytes, or "" for none
        std::vector<std::string> options;
        std::string after;
    };
    const std::string alien = Record("Alien", "Ridley Scott", "Ripley", "tt0078748", "1979", 13);
    const Case cases[] = {
        {alien,
         {"--director", "R. Scott"},
         Record("Alien", "R. Scott", "Ripley", "tt0078748", "1979", 13)},
        {alien,
         {"--year=1980", "--genre", "sci-fi"},
         Record("Alien", "Ridley Scott", "Ripley", "tt0078748", "1980", 20)},
        {alien, {"--genre="}, Record("Alien", "Ridley Scott", "Ripley", "tt0078748", "1979", 255)},
        {Record("Odd", "", "", "", "", 200),
         {"--title", "Even"},
         Record("Even", "", "", "", "", 200)},
        {"", {"--comment", "first"}, Record("", "", "first", "", "", 255)},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const std::string file = dir.File("film.avi");
        WriteFileBytes(file, Movie + c.before);
        std::vector<std::string> args = {"tag"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(file);
        const CliRun run = RunInProcess(args);
        EXPECT_EQ(run.exit_code, 0) << run.err;
        EXPECT_EQ(ReadFileBytes(file), Movie + c.after) << ::testing::PrintToString(c.options);
    }
}

TEST(TagCommand, ValuesLongerThanTheirFieldAreCutWithAWarning) {
    TempDir dir;
    const std::string file = dir.File("film.avi");
    WriteFileBytes(file, Movie);
    // Thirty accented letters are 60 bytes of UTF-8 but 30 in the tag: no warning for them.
    std::string accents;
    for (int i = 0; i < 30; ++i) {
        accents += "\xC3\xA9";
    }
    const CliRun run = RunInProcess({"tag", "--title", accents, "--director", std::string(31, 'd'),
                                     "--imdb", std::string(45, 'i'), "--year", "19999", file});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.err,
              "korvid-cli: warning: the director is 31 bytes long; the tag keeps its first 30\n"
              "korvid-cli: warning: the imdb is 45 bytes long; the tag keeps its first 30\n"
              "korvid-cli: warning: the year is 5 bytes long; the tag keeps its first 4\n");
    EXPECT_EQ(ReadFileBytes(file), Movie + Record(std::string(30, '\xE9'), std::string(30, 'd'), "",
                                                  std::string(30, 'i'), "1999", 255));
}

TEST(TagCommand, FilesFromStandardInputOneALine) {
    TempDir dir;
    const std::string first = dir.File("a b.avi");
    const std::string second = dir.File("c.avi");
    WriteFileBytes(first, Movie);
    WriteFileBytes(second, Movie);
    const CliRun run =
        RunInProcess({"tag", "--title", "Both", "-"}, first + "\n\n" + second + "\r\n");
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, first + ": tag appended\n" + second + ": tag appended\n");

    const CliRun shown = RunInProcess({"show-tag", "-j", "-"}, second + "\n");
    EXPECT_EQ(nlohmann::json::parse(shown.out).at("title"), "Both");
}

TEST(ShowTagCommand, SaysWhenAFileHasNoTag) {
    TempDir dir;
    const std::string tagged = dir.File("tagged.avi");
    const std::string plain = dir.File("plain.avi");
    WriteFileBytes(tagged, Movie + Record("Alien", "", "", "", "1979", 13));
    WriteFileBytes(plain, Movie);

    const CliRun text = RunInProcess({"show-tag", plain});
    EXPECT_EQ(text.exit_code, 1);
    EXPECT_EQ(text.out, "File:     " + plain + "\nno tag\n");

    const CliRun json = RunInProcess({"show-tag", "--json", tagged, plain});
    EXPECT_EQ(json.exit_code, 1);
    std::istringstream lines(json.out);
    std::string line;
    std::getline(lines, line);
    const auto first = nlohmann::json::parse(line);
    EXPECT_EQ(first.at("tagged"), true);
    EXPECT_EQ(first.at("genre"), "Horror");
    std::getline(lines, line);
    EXPECT_EQ(nlohmann::json::parse(line), nlohmann::json({{"file", plain}, {"tagged", false}}));
    EXPECT_EQ(RunInProcess({"show-tag", tagged}).exit_code, 0);
}

class SearchJson : public test_support::SampleSiteSuite {
  protected:
    nlohmann::json Search(std::vector<std::string> args) {
        args.insert(args.begin(),
                    {"search", "--json", "--host", site_->HostPort(), "-d", dir_.Path()});
        const CliRun run = RunInProcess(args);
        EXPECT_EQ(run.exit_code, 0) << run.err;
        return nlohmann::json::parse(run.out);
    }

    TempDir dir_;
};

TEST_F(SearchJson, ListGivesEveryEntryWithItsAddress) {
    const auto list = Search({"orchard"});
    EXPECT_EQ(list.at("kind"), "list");
    const nlohmann::json expected = {
        {{"number", 0}, {"title", "The Glass Orchard (2003)"}, {"address", Address("tt9000003")}},
        {{"number", 1}, {"title", "Winter Orchard (2009)"}, {"address", Address("tt9000010")}}};
    EXPECT_EQ(list.at("results"), expected);
}

TEST_F(SearchJson, FilmGivesEveryFieldInUtf8) {
    const auto found = Search({"caf\xC3\xA9 nocturne"});
    ASSERT_EQ(found.at("kind"), "film");
    const auto& film = found.at("film");
    EXPECT_EQ(film.at("title"), "Caf\xC3\xA9 Nocturne ");
    EXPECT_EQ(film.at("address"), Address("tt9000006"));
    EXPECT_TRUE(film.at("genres").is_array());
    for (const char* field :
         {"year", "director", "tagline", "plot", "running_time", "lead_role", "rated", "cover"}) {
        EXPECT_TRUE(film.contains(field)) << field;
    }
    const auto picked = Search({"--pick", "1", "orchard"}).at("film");
    EXPECT_EQ(picked.at("title"), "Winter Orchard ");
    EXPECT_EQ(picked.at("genres"), nlohmann::json::array({"Drama"}));
    EXPECT_EQ(picked.at("cover"), dir_.File("Winter Orchard .jpg"));
    EXPECT_FALSE(ReadFileBytes(picked.at("cover").get<std::string>()).empty());
}

// The cover's name from a Latin-1 title is written in UTF-8, and JSON names it as written.
TEST_F(SearchJson, ACoverNameFromALatin1TitleIsUtf8) {
    const auto film = Search({"caf\xC3\xA9 nocturne"}).at("film");
    const std::string on_disk = dir_.File("Caf\xC3\xA9 Nocturne .jpg");
    EXPECT_EQ(film.at("cover"), on_disk);
    EXPECT_FALSE(ReadFileBytes(on_disk).empty());
}

}  // namespace
}  // namespace korvid
