// korvid-cli scan run in-process on a folder of small movie files made by the test, against
// the sample site on loopback.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tag/movie_tag.h"
#include "tests/cli/in_process.h"
#include "tests/support/sample_site_suite.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using test_support::ReadFileBytes;
using test_support::TempDir;
using test_support::WriteFileBytes;

using test_support::CliRun;

const std::string Movie(4000, 'm');

class ScanTest : public test_support::SampleSiteSuite {
  protected:
    void SetUp() override { std::filesystem::create_directory(work_.Path() + "/films"); }

    std::string MakeMovie(const std::string& name, const std::string& bytes = Movie) {
        const std::string path = Films() + "/" + name;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        WriteFileBytes(path, bytes);
        return path;
    }
    std::string Films() const { return work_.Path() + "/films"; }

    CliRun Scan(std::vector<std::string> args, const std::string& delay = "0") {
        args.insert(args.begin(),
                    {"scan", "--delay", delay, "--host", site_->HostPort(), "--dir", work_.Path()});
        return test_support::RunInProcess(args);
    }
    // Every file under the films folder and its bytes.
    std::map<std::string, std::string> Contents() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(Films())) {
            if (entry.is_regular_file()) {
                files[entry.path().string()] = ReadFileBytes(entry.path().string());
            }
        }
        return files;
    }

    TempDir work_;
};

TEST_F(ScanTest, TagsEveryNameStyleAndReportsWhatNeedsAPerson) {
    struct Expected {
        std::string name;
        std::string line;         // the report's line after "PATH: "
        std::string title, year;  // the tag written; empty title: the file is untouched
    };
    const std::vector<Expected> files = {
        {"Brass Lantern, The (1983).mp4",
         "tagged as \"The Brass Lantern\" (1983), " + Address("tt9000015"), "The Brass Lantern",
         "1983"},
        {"Canyon.qt", "tagged as \"Canyon\" (1990), " + Address("tt9000016"), "Canyon", "1990"},
        {"Glass Orchard, The (2004).avi",
         "tagged as \"The Glass Orchard\" (2003), " + Address("tt9000003"), "The Glass Orchard",
         "2003"},
        {"Lantern Road [2019].WMV", "tagged as \"Lantern Road\" (2019), " + Address("tt9000014"),
         "Lantern Road", "2019"},
        {"Lantern Road.avi",
         "ambiguous, \"Lantern Road\" (no year) could be:\n  Lantern Road (1971)\t" +
             Address("tt9000013") + "\n  Lantern Road (2019)\t" + Address("tt9000014"),
         "", ""},
        {"Lantern.Road.1971.DVDRip.mov",
         "tagged as \"Lantern Road\" (1971), " + Address("tt9000013"), "Lantern Road", "1971"},
        {"The.Glass.Orchard.2004.720p.x264.mkv",
         "tagged as \"The Glass Orchard\" (2003), " + Address("tt9000003"), "The Glass Orchard",
         "2003"},
        {"Zebra.Crossing.2001.avi", "not found: no film found for \"Zebra Crossing\"", "", ""},
        {"glass_orchard.mpg", "tagged as \"The Glass Orchard\" (2003), " + Address("tt9000003"),
         "The Glass Orchard", "2003"},
    };
    for (const Expected& file : files) {
        MakeMovie(file.name);
    }
    // Not a movie file, and a subfolder without --recursive.
    MakeMovie("notes.txt");
    MakeMovie("subtitles.SRT");
    MakeMovie("more/Canyon.avi");

    const CliRun run = Scan({Films()});
    EXPECT_EQ(run.exit_code, 1) << "an ambiguous and an unknown name";
    std::string report;
    for (const Expected& file : files) {
        report += Films() + "/" + file.name + ": " + file.line + "\n";
    }
    EXPECT_EQ(run.out,
              report + "9 files: 7 tagged, 0 skipped, 1 ambiguous, 1 not found, 0 failed\n");
    EXPECT_EQ(run.err, "") << "no progress line when standard error is not a terminal";

    for (const Expected& file : files) {
        const std::string path = Films() + "/" + file.name;
        const MovieTag tag = ReadLastTagBytes(path);
        if (file.title.empty()) {
            EXPECT_EQ(ReadFileBytes(path), Movie) << file.name;
            continue;
        }
        EXPECT_EQ(ReadFileBytes(path).substr(0, Movie.size()), Movie) << file.name;
        EXPECT_EQ(tag.Title(), file.title) << file.name;
        EXPECT_EQ(tag.Year(), file.year) << file.name;
    }
    for (const char* untouched : {"notes.txt", "subtitles.SRT", "more/Canyon.avi"}) {
        EXPECT_EQ(ReadFileBytes(Films() + "/" + untouched), Movie) << untouched;
    }

    const CliRun deep = Scan({"--recursive", Films()});
    EXPECT_NE(deep.out.find(Films() + "/more/Canyon.avi: tagged"), std::string::npos) << deep.out;
    EXPECT_NE(deep.out.find("10 files: 1 tagged, 7 skipped, 1 ambiguous, 1 not found, 0 failed"),
              std::string::npos)
        << deep.out;
}

TEST_F(ScanTest, TaggedFileIsSkippedUnlessReplaceIsGiven) {
    const std::string old_tag(MovieTag::Render({"Old Title", "", "", "", "1999", 3}).View());
    const std::string movie = MakeMovie("Canyon (1990).avi", Movie + old_tag);
    const std::string before = ReadFileBytes(movie);

    const CliRun skipped = Scan({movie});
    EXPECT_EQ(skipped.exit_code, 0);
    EXPECT_EQ(skipped.out, movie +
                               ": skipped, it has a tag (--replace replaces it)\n"
                               "1 file: 0 tagged, 1 skipped, 0 ambiguous, 0 not found, 0 failed\n");
    EXPECT_EQ(ReadFileBytes(movie), before);

    const CliRun replaced = Scan({"--replace", movie});
    EXPECT_EQ(replaced.exit_code, 0) << replaced.err;
    const std::string after = ReadFileBytes(movie);
    EXPECT_EQ(after.size(), before.size()) << "the tag is replaced in place";
    EXPECT_EQ(after.substr(0, Movie.size()), Movie);
    EXPECT_EQ(ReadLastTagBytes(movie).Title(), "Canyon");
    EXPECT_EQ(ReadLastTagBytes(movie).Year(), "1990");
}

TEST_F(ScanTest, DryRunWritesNothingAndJsonReadsBack) {
    MakeMovie("Lantern.Road.2019.avi");
    MakeMovie("Lantern Road.mpg");
    MakeMovie("Zebra Crossing.avi");
    const std::string old_tag(MovieTag::Render({"Kept", "", "", "", "", -1}).View());
    MakeMovie("Canyon.avi", Movie + old_tag);
    const auto before = Contents();

    const CliRun run = Scan({"--dry-run", "--json", Films()});
    EXPECT_EQ(run.exit_code, 1) << run.err;
    EXPECT_EQ(Contents(), before) << "a dry run writes nothing";

    const auto report = nlohmann::json::parse(run.out);
    EXPECT_EQ(report.at("dry_run"), true);
    const auto& files = report.at("files");
    ASSERT_EQ(files.size(), 4u);
    EXPECT_EQ(files[0].at("file"), Films() + "/Canyon.avi");
    EXPECT_EQ(files[0].at("outcome"), "skipped");
    EXPECT_EQ(files[1].at("outcome"), "ambiguous");
    EXPECT_EQ(files[1].at("searched"),
              nlohmann::json({{"title", "Lantern Road"}, {"year", nullptr}}));
    EXPECT_EQ(files[1].at("title"), nullptr);
    EXPECT_EQ(
        files[1].at("candidates"),
        nlohmann::json({{{"title", "Lantern Road (1971)"}, {"address", Address("tt9000013")}},
                        {{"title", "Lantern Road (2019)"}, {"address", Address("tt9000014")}}}));
    EXPECT_EQ(files[2].at("outcome"), "would tag");
    EXPECT_EQ(files[2].at("title"), "Lantern Road");
    EXPECT_EQ(files[2].at("year"), "2019");
    EXPECT_EQ(files[2].at("address"), Address("tt9000014"));
    EXPECT_EQ(files[2].at("candidates"), nlohmann::json::array());
    EXPECT_EQ(files[3].at("outcome"), "not found");
    EXPECT_EQ(files[3].at("message"), "no film found for \"Zebra Crossing\"");
    EXPECT_EQ(
        report.at("summary"),
        nlohmann::json(
            {{"would tag", 1}, {"skipped", 1}, {"ambiguous", 1}, {"not found", 1}, {"failed", 0}}));
}

TEST_F(ScanTest, AFailureIsReportedAndTheScanGoesOn) {
    const std::string short_file = MakeMovie("Canyon.avi", std::string(100, 's'));
    const std::string good = MakeMovie("The Glass Orchard.avi");
    const std::string missing = Films() + "/gone";

    const CliRun run = Scan({missing, Films()});
    EXPECT_EQ(run.exit_code, 3) << "a failure wins over everything";
    EXPECT_NE(run.err.find("korvid-cli: " + missing + ": no such file or folder\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("korvid-cli: " + short_file + ": "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("too short to hold a tag of 128 bytes"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find(good + ": tagged as \"The Glass Orchard\""), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("3 files: 1 tagged, 0 skipped, 0 ambiguous, 0 not found, 2 failed"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(ReadFileBytes(short_file), std::string(100, 's'));
}

// A link in the folder to a file outside it is reported and left alone, and so is the file
// it leads to; a link named on the command line the same.
TEST_F(ScanTest, ASymbolicLinkIsSkippedAndTheFileItLeadsToIsUnchanged) {
    TempDir outside;
    const std::string victim = outside.File("victim.bin");
    WriteFileBytes(victim, std::string(5400, 'v'));
    const std::string link = Films() + "/Canyon (1990).avi";
    std::filesystem::create_symlink(victim, link);
    const std::string good = MakeMovie("The Glass Orchard.avi");

    for (const std::vector<std::string>& paths :
         std::vector<std::vector<std::string>>{{Films()}, {link}}) {
        const CliRun run = Scan(paths);
        EXPECT_EQ(run.exit_code, 0) << run.err;
        EXPECT_NE(run.out.find(link + ": skipped, a symbolic link, not followed (tag FILE writes "
                                      "through it)\n"),
                  std::string::npos)
            << run.out;
        EXPECT_EQ(ReadFileBytes(victim), std::string(5400, 'v'));
        EXPECT_TRUE(std::filesystem::is_symlink(link));
    }
    EXPECT_EQ(ReadLastTagBytes(good).Title(), "The Glass Orchard");

    const auto report = nlohmann::json::parse(Scan({"--json", link}).out);
    EXPECT_EQ(report.at("files")[0].at("outcome"), "skipped");
    EXPECT_EQ(report.at("files")[0].at("message"),
              "a symbolic link, not followed (tag FILE writes through it)");
}

// Control characters in file names are escaped as "ls -b" shows them: no name forges a line
// of the report or reaches the terminal raw, neither on standard output nor on standard error.
TEST_F(ScanTest, FileNamesWithControlCharactersAreEscaped) {
    const std::string forged = MakeMovie("x\nfake.avi: tagged as \"Nothing\".avi");
    const std::string terminal = MakeMovie("\x1b]0;owned\x07\x1b[2J.avi");
    const std::string short_file = MakeMovie("Canyon\t(1990).avi", "short");

    const CliRun run = Scan({Films()});
    EXPECT_EQ(run.exit_code, 3) << run.err;
    for (const std::string& text : {run.out, run.err}) {
        EXPECT_EQ(text.find_first_of("\x1b\x07\t"), std::string::npos) << text;
    }
    EXPECT_NE(run.out.find(Films() + "/\\033]0;owned\\a\\033[2J.avi: not found"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find(Films() + "/x\\nfake.avi: tagged as \"Nothing\".avi: not found"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.err.find("korvid-cli: " + Films() + "/Canyon\\t(1990).avi: "), std::string::npos)
        << run.err;
    // Three entries and the summary: one line each, with no name breaking a line.
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 4) << run.out;
    EXPECT_EQ(ReadFileBytes(short_file), "short");
    EXPECT_EQ(ReadFileBytes(forged), Movie);
    EXPECT_EQ(ReadFileBytes(terminal), Movie);
}

// A scan tags files and leaves nothing else behind: no cover, no temporary page.
TEST_F(ScanTest, AScanOrADryRunLeavesNoCover) {
    MakeMovie("The Glass Orchard.avi");
    MakeMovie("Canyon (1990).avi");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--dry-run", Films()}, {Films()}, {"--replace", "--json", Films()}}) {
        const CliRun run = Scan(args);
        EXPECT_EQ(run.exit_code, 0) << run.err;
        std::vector<std::string> left;
        for (const auto& entry : std::filesystem::directory_iterator(work_.Path())) {
            left.push_back(entry.path().filename().string());
        }
        EXPECT_EQ(left, std::vector<std::string>{"films"}) << run.out;
    }
    EXPECT_EQ(ReadLastTagBytes(Films() + "/Canyon (1990).avi").Title(), "Canyon");
}

// JSON names a file that is not UTF-8 exactly: each byte that is not as "\xHH".
TEST_F(ScanTest, JsonNamesANonUtf8FileByItsBytes) {
    MakeMovie("Bad\xff\xfeUtf8.mp4");
    MakeMovie("Back\\slash.avi");
    const CliRun run = Scan({"--dry-run", "--json", Films()});
    const auto report = nlohmann::json::parse(run.out);
    const auto& files = report.at("files");
    ASSERT_EQ(files.size(), 2u) << run.out;
    EXPECT_EQ(files[0].at("file"), Films() + "/Back\\\\slash.avi");
    EXPECT_EQ(files[1].at("file"), Films() + "/Bad\\xFF\\xFEUtf8.mp4");
    EXPECT_EQ(files[1].at("searched").at("title"), "Bad\\xFF\\xFEUtf8");
    EXPECT_EQ(run.out.find("\xEF\xBF\xBD"), std::string::npos) << "no replacement character";
}

TEST_F(ScanTest, DelayPacesTheRequests) {
    // Four requests the scan makes (Canyon comes in a list with Copper Canyon Express, so
    // its entry is read after the list): three waits of a quarter second between them.
    for (const char* name :
         {"Canyon (1990).avi", "The Glass Orchard.avi", "Brass Lantern, The.avi"}) {
        MakeMovie(name);
    }
    const auto start = std::chrono::steady_clock::now();
    const CliRun run = Scan({"--dry-run", Films()}, "0.25");
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
    EXPECT_GE(elapsed, std::chrono::milliseconds(750));
}

TEST_F(ScanTest, UsageErrorsAndAnEmptyFolder) {
    EXPECT_EQ(Scan({"--delay", "-1", Films()}).exit_code, 2);
    EXPECT_EQ(Scan({}).exit_code, 2);
    const CliRun empty = Scan({Films()});
    EXPECT_EQ(empty.exit_code, 1);
    EXPECT_EQ(empty.err, "korvid-cli: no movie file found\n");
}

}  // namespace
}  // namespace korvid
