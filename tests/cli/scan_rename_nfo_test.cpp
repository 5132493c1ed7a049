// scan --rename --nfo and undo-rename, in-process on a film database built from small rows and
// folders of small movie files made by the test; the journal goes into a temporary state
// folder. Also search --nfo, read back by a real XML parser.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "dataset/database_build.h"
#include "tag/movie_tag.h"
#include "tests/cli/in_process.h"
#include "tests/dataset/dataset_files.h"
#include "tests/support/local_films.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/xml_check.h"

namespace korvid {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using test_support::CliRun;
using test_support::FileExists;
using test_support::ReadFileBytes;
using test_support::RunInProcess;
using test_support::ScopedEnv;
using test_support::TempDir;
using test_support::WriteFileBytes;

// The test rows and Amélie, known in the United States without its accent.
test_support::DatasetRows Rows() {
    test_support::DatasetRows rows = test_support::LocalFilmRows;
    rows.basics +=
        "tt0211915\tmovie\tAmélie\tLe fabuleux destin d'Amélie Poulain\t0\t2001\t\\N\t122\t"
        "Comedy,Romance\n"
        "tt9100020\tmovie\tSalt & <Pepper> \"Diner\"\tSalt & <Pepper> \"Diner\"\t0\t1996\t\\N\t92"
        "\tComedy\n";
    rows.ratings += "tt0211915\t8.3\t780000\ntt9100020\t6.8\t954\n";
    rows.akas += "tt0211915\t1\tAmelie\tUS\ten\timdbDisplay\t\\N\t0\n";
    return rows;
}

const std::string Movie(4000, 'm');
constexpr const char* Host = "127.0.0.1:9";  // never asked: the database answers

class ScanRenameNfoTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        data_ = new TempDir();
        dataset::BuildDatabase(test_support::WriteDataset(data_->Path(), Rows()), Database());
    }
    static void TearDownTestSuite() {
        delete data_;
        data_ = nullptr;
    }
    static std::string Database() { return data_->File("films.sqlite"); }

    std::string Films() const { return films_.Path(); }
    std::string Make(const std::string& name, const std::string& bytes = Movie) {
        const std::string path = films_.File(name);
        fs::create_directories(fs::path(path).parent_path());
        WriteFileBytes(path, bytes);
        return path;
    }
    CliRun Scan(std::vector<std::string> args) {
        args.insert(args.begin(),
                    {"scan", "--db", Database(), "--host", Host, "--dir", work_.Path()});
        return RunInProcess(args);
    }
    // Every file under the films folder, by its path there, with its bytes.
    std::map<std::string, std::string> Contents() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(Films())) {
            if (entry.is_regular_file()) {
                files[fs::relative(entry.path(), Films()).string()] =
                    ReadFileBytes(entry.path().string());
            }
        }
        return files;
    }

    static inline TempDir* data_ = nullptr;
    TempDir films_;
    TempDir work_;
    TempDir state_;
    const ScopedEnv state_home_{"XDG_STATE_HOME", state_.Path()};
};

// The whole round: the film's name for the movie file and its subtitles, its NFO file beside
// it, a foreign NFO file kept, a file in the way untouched; then every name put back.
TEST_F(ScanRenameNfoTest, RenamesWritesNfoAndUndoPutsEveryNameBack) {
    Make("Amelie.2001.1080p.mkv");
    Make("Amelie.2001.1080p.en.srt", "english");
    Make("Amelie.2001.1080p.srt", "default");
    Make("old/Alien (1979).avi");
    Make("old/Alien (1979).nfo", "<movie><title>my own notes</title></movie>");
    Make("old/Aliens.1986.mkv");
    const std::string in_the_way = "in the way" + Movie;
    Make("old/Aliens (1986).mkv", in_the_way);
    const auto before = Contents();

    const CliRun run = Scan({"-r", "--rename", "--nfo", Films()});
    EXPECT_EQ(run.exit_code, 3) << "a rename was refused\n" << run.out << run.err;
    const auto after = Contents();
    EXPECT_EQ(after.at("Amélie (2001).en.srt"), "english");
    EXPECT_EQ(after.at("Amélie (2001).srt"), "default");
    EXPECT_EQ(after.at("Amélie (2001).mkv").substr(0, Movie.size()), Movie);
    EXPECT_NE(after.at("Amélie (2001).nfo").find("<title>Amélie</title>"), std::string::npos);
    EXPECT_EQ(after.at("old/Alien (1979).nfo"), "<movie><title>my own notes</title></movie>");
    EXPECT_EQ(after.at("old/Aliens (1986).mkv").substr(0, in_the_way.size()), in_the_way)
        << "the file in the way is tagged as a film of its own, never replaced";

    for (const char* line :
         {"  NFO Alien (1979).nfo: kept, Korvid did not write it (--replace-nfo replaces it)\n",
          "  not renamed to Aliens (1986).mkv: the name is taken\n",
          "renames: 3 made, 1 refused\nNFO files: 3 written, 0 updated, 0 replaced, 1 kept, 0 "
          "failed\n"}) {
        EXPECT_NE(run.out.find(line), std::string::npos) << line << run.out;
    }

    const CliRun undo = RunInProcess({"undo-rename"});
    EXPECT_EQ(undo.exit_code, 0) << undo.out << undo.err;
    auto restored = Contents();
    for (const char* written :
         {"Amélie (2001).nfo", "old/Aliens.1986.nfo", "old/Aliens (1986).nfo"}) {
        EXPECT_EQ(restored.erase(written), 1u) << written << ": written, not renamed";
    }
    for (auto& [name, bytes] : restored) {
        bytes = bytes.substr(0, before.at(name).size());  // less the tags
    }
    EXPECT_EQ(restored, before);

    const CliRun again = RunInProcess({"undo-rename"});
    EXPECT_EQ(again.exit_code, 1) << "the journal was undone: nothing is left to undo";
}

TEST_F(ScanRenameNfoTest, DryRunShowsTheNewNamesAndChangesNothing) {
    Make("Amelie.2001.1080p.mkv");
    Make("Amelie.2001.1080p.srt");
    const auto before = Contents();
    const CliRun run = Scan(
        {"-n", "--rename", "--nfo", "--name-format", "{title} ({year}) [imdbid-{id}]", Films()});
    EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
    EXPECT_EQ(Contents(), before);
    EXPECT_NE(run.out.find("  would rename to Amélie (2001) [imdbid-tt0211915].mkv\n"
                           "  would rename Amelie.2001.1080p.srt to Amélie (2001) "
                           "[imdbid-tt0211915].srt\n"
                           "  NFO Amélie (2001) [imdbid-tt0211915].nfo: would write\n"),
              std::string::npos)
        << run.out;
    EXPECT_FALSE(fs::exists(state_.File("korvid"))) << "no journal without a rename";
}

TEST_F(ScanRenameNfoTest, ATaggedFileKeepsItsTagButIsRenamedAndGetsItsNfo) {
    const std::string tag(MovieTag::Render({"Mine", "", "", "", "", -1}).View());
    Make("Amelie.2001.mkv", Movie + tag);
    const CliRun run = Scan({"--rename", "--nfo", Films()});
    EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
    EXPECT_EQ(ReadFileBytes(films_.File("Amélie (2001).mkv")), Movie + tag);
    EXPECT_TRUE(FileExists(films_.File("Amélie (2001).nfo")));
}

// Korvid's own NFO file is brought up to date; a foreign one only with --replace-nfo.
TEST_F(ScanRenameNfoTest, OwnNfoIsUpdatedAndAForeignOneReplacedOnlyWhenAsked) {
    Make("Amélie (2001).mkv");
    const std::string nfo = Make("Amélie (2001).nfo", "<!-- Written by Korvid 0.9 -->\n<movie/>");
    EXPECT_EQ(Scan({"--nfo", Films()}).exit_code, 0);
    EXPECT_NE(ReadFileBytes(nfo).find("<title>Amélie</title>"), std::string::npos);

    WriteFileBytes(nfo, "foreign");
    const CliRun kept = Scan({"--replace", "--nfo", Films()});
    EXPECT_NE(kept.out.find("NFO Amélie (2001).nfo: kept"), std::string::npos) << kept.out;
    EXPECT_EQ(ReadFileBytes(nfo), "foreign");
    const CliRun replaced = Scan({"--replace", "--nfo", "--replace-nfo", Films()});
    EXPECT_NE(replaced.out.find("NFO Amélie (2001).nfo: replaced"), std::string::npos)
        << replaced.out;
    EXPECT_NE(ReadFileBytes(nfo).find("<title>Amélie</title>"), std::string::npos);
    EXPECT_EQ(Contents().size(), 2u) << "no temporary file left behind";
}

TEST_F(ScanRenameNfoTest, JsonReportNamesTheRenamesTheNfoAndTheJournal) {
    Make("Amelie.2001.mkv");
    Make("Amelie.2001-poster.jpg");
    const CliRun run = Scan({"--json", "--rename", "--nfo", Films()});
    ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
    const Json report = Json::parse(run.out);
    const Json& file = report.at("files").at(0);
    ASSERT_EQ(file.at("renames").size(), 2u);
    EXPECT_EQ(file.at("renames").at(1), (Json{{"from", films_.File("Amelie.2001-poster.jpg")},
                                              {"to", films_.File("Amélie (2001)-poster.jpg")},
                                              {"done", true},
                                              {"refused", nullptr}}));
    EXPECT_EQ(file.at("nfo").at("action"), "written");
    EXPECT_TRUE(FileExists(report.at("journal").get<std::string>()));
}

// undo-rename leaves a name that another file took since, and says so.
TEST_F(ScanRenameNfoTest, UndoLeavesANameTakenSince) {
    Make("Amelie.2001.mkv");
    Make("Amelie.2001.srt", "subtitles");
    ASSERT_EQ(Scan({"--rename", Films()}).exit_code, 0);
    Make("Amelie.2001.srt", "a new file");
    const CliRun undo = RunInProcess({"undo-rename"});
    EXPECT_EQ(undo.exit_code, 3);
    EXPECT_NE(undo.out.find(films_.File("Amélie (2001).srt") +
                            ": not put back: Amelie.2001.srt is taken\n"),
              std::string::npos)
        << undo.out;
    EXPECT_EQ(ReadFileBytes(films_.File("Amelie.2001.srt")), "a new file");
    EXPECT_EQ(ReadFileBytes(films_.File("Amélie (2001).srt")), "subtitles");
    EXPECT_TRUE(FileExists(films_.File("Amelie.2001.mkv")));
}

// A rename by link and unlink stopped between the two leaves both names on the file: undo
// takes the new one away.
TEST_F(ScanRenameNfoTest, UndoFinishesARenameStoppedBetweenLinkAndUnlink) {
    Make("Amelie.2001.mkv");
    ASSERT_EQ(Scan({"--rename", Films()}).exit_code, 0);
    ASSERT_EQ(
        ::link(films_.File("Amélie (2001).mkv").c_str(), films_.File("Amelie.2001.mkv").c_str()),
        0);
    const CliRun undo = RunInProcess({"undo-rename"});
    EXPECT_EQ(undo.exit_code, 0) << undo.out;
    EXPECT_TRUE(FileExists(films_.File("Amelie.2001.mkv")));
    EXPECT_FALSE(FileExists(films_.File("Amélie (2001).mkv")));
}

TEST_F(ScanRenameNfoTest, OptionsThatGoWithAnotherAreRefused) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--replace-nfo", Films()},
             {"--portable", Films()},
             {"--name-format", "{title}", Films()},
             {"--rename", "--name-format", "{title}/{year}", Films()}}) {
        SCOPED_TRACE(args.at(args.size() - 2));
        EXPECT_EQ(Scan(args).exit_code, 2);
    }
}

// search --nfo: a document a media centre reads, escaped, with the film's fields whole.
TEST_F(ScanRenameNfoTest, SearchWritesAnNfoThatAParserReads) {
    struct Case {
        std::string query, title, id;
    };
    for (const Case& c : std::vector<Case>{
             {"amelie", "Amélie", "tt0211915"},
             {"Salt & <Pepper> \"Diner\"", "Salt & <Pepper> \"Diner\"", "tt9100020"}}) {
        SCOPED_TRACE(c.query);
        const std::string nfo = work_.File("film.nfo");
        const CliRun run = RunInProcess({"search", "--db", Database(), "--host", Host, "-d",
                                         work_.Path(), "--no-cover", "--nfo", nfo, c.query});
        ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
        ASSERT_EQ(test_support::XmlProblems(nfo), "");
        EXPECT_EQ(test_support::XmlValue(nfo, "/movie/title"), c.title);
        EXPECT_EQ(test_support::XmlValue(nfo, "/movie/uniqueid[@type='imdb']"), c.id);
    }
}

}  // namespace
}  // namespace korvid
