// korvid-cli tag and show-tag, run as a child process on real files in a temporary folder;
// the lookup runs against the sample site started on loopback by the test.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "loopback/loopback_server.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using test_support::FileExists;
using test_support::ReadFileBytes;
using test_support::TempDir;
using test_support::WriteFileBytes;

const std::string CliPath = KORVID_BINARY_DIR "/cli/korvid-cli";
const std::string SampleSitePath = KORVID_BINARY_DIR "/sample-site/korvid-sample-site";

using CliResult = test_support::ChildResult;

// Runs korvid-cli in work_dir; as_nobody drops root so that file permissions apply.
CliResult RunCli(const std::vector<std::string>& args, const std::string& work_dir,
                 bool as_nobody = false) {
    return test_support::RunChild(CliPath, args, work_dir, {std::nullopt, as_nobody});
}

std::string MovieData(std::size_t size, char fill = 'm') {
    std::string data(size, fill);
    for (std::size_t i = 0; i < size; i += 7) {
        data[i] = static_cast<char>(i % 251);
    }
    return data;
}

std::string Tail(const std::string& bytes) {
    return bytes.substr(bytes.size() - 128);
}

std::string Padded(const std::string& text, std::size_t width) {
    return text + std::string(width - text.size(), ' ');
}

class TagCliTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(FileExists(CliPath)) << CliPath << " is not built"; }
    std::string MakeMovie(const std::string& name, std::size_t size = 4000) {
        const std::string path = dir_.File(name);
        WriteFileBytes(path, MovieData(size));
        return path;
    }
    CliResult Run(const std::vector<std::string>& args) { return RunCli(args, dir_.Path()); }

    TempDir dir_;
};

TEST_F(TagCliTest, TagsAFileFromOptionsAndShowsIt) {
    const std::string movie = MakeMovie("alien.avi");
    const std::string before = ReadFileBytes(movie);

    const CliResult tagged =
        Run({"tag", "--title", "Alien", "--director", "Ridley Scott", "--comment",
             "Sigourney Weaver .... Ripley", "--imdb", "imdb.com/title/tt0078748/", "--year",
             "1979", "--genre", "horror", movie});
    EXPECT_EQ(tagged.exit_code, 0) << tagged.err;
    EXPECT_EQ(tagged.out, movie + ": tag appended\n");
    EXPECT_EQ(tagged.err, "");

    const std::string after = ReadFileBytes(movie);
    ASSERT_EQ(after.size(), before.size() + 128);
    EXPECT_EQ(after.substr(0, before.size()), before);
    EXPECT_EQ(Tail(after), "TAG" + Padded("Alien", 30) + Padded("Ridley Scott", 30) +
                               Padded("Sigourney Weaver .... Ripley", 30) +
                               Padded("imdb.com/title/tt0078748/", 30) + "1979" + "\x0d");

    const CliResult shown = Run({"show-tag", movie});
    EXPECT_EQ(shown.exit_code, 0) << shown.err;
    EXPECT_EQ(shown.out, "File:     " + movie +
                             "\n"
                             "Title:    Alien\n"
                             "Director: Ridley Scott\n"
                             "IMDB ID:  imdb.com/title/tt0078748/\n"
                             "Year:     1979\n"
                             "Genre:    Horror\n"
                             "Comment:  Sigourney Weaver .... Ripley\n");

    const CliResult json = Run({"show-tag", "--json", movie});
    EXPECT_EQ(json.exit_code, 0) << json.err;
    const auto object = nlohmann::json::parse(json.out);
    EXPECT_EQ(object.at("file"), movie);
    EXPECT_EQ(object.at("title"), "Alien");
    EXPECT_EQ(object.at("director"), "Ridley Scott");
    EXPECT_EQ(object.at("comment"), "Sigourney Weaver .... Ripley");
    EXPECT_EQ(object.at("imdb"), "imdb.com/title/tt0078748/");
    EXPECT_EQ(object.at("year"), "1979");
    EXPECT_EQ(object.at("genre"), "Horror");
}

TEST_F(TagCliTest, OptionsTypedInUtf8AreStoredAsLatin1) {
    const std::string movie = MakeMovie("accents.avi");
    const CliResult tagged = Run({"tag", "--title", "Caf\xC3\xA9", "--director", "\xC3\xA9",
                                  "--comment", "na\xC3\xAFve \xE2\x82\xAC", movie});
    ASSERT_EQ(tagged.exit_code, 0) << tagged.err;
    // One byte per letter; a character outside Latin-1 becomes "?".
    EXPECT_EQ(Tail(ReadFileBytes(movie)).substr(0, 3 + 30 + 30 + 30),
              "TAG" + Padded("Caf\xE9", 30) + Padded("\xE9", 30) + Padded("na\xEFve ?", 30));
    const CliResult shown = Run({"show-tag", movie});
    EXPECT_NE(shown.out.find("Title:    Caf\xC3\xA9\nDirector: \xC3\xA9\n"), std::string::npos)
        << shown.out;
}

TEST_F(TagCliTest, SecondTagReplacesTheFirstInPlace) {
    const std::string movie = MakeMovie("twice.mpg");
    ASSERT_EQ(Run({"tag", "--title", "First", "--year", "20011", movie}).exit_code, 0);
    const std::size_t size = ReadFileBytes(movie).size();

    const CliResult second = Run({"tag", "--title", std::string(40, 'S'), movie});
    EXPECT_EQ(second.exit_code, 0) << second.err;
    EXPECT_EQ(second.out, movie + ": tag replaced\n");
    EXPECT_EQ(second.err,
              "korvid-cli: warning: the title is 40 bytes long; the tag keeps its first 30\n");
    const std::string after = ReadFileBytes(movie);
    ASSERT_EQ(after.size(), size);
    // The title cut at 30; the year of the first tag kept; still no genre.
    EXPECT_EQ(Tail(after), "TAG" + std::string(30, 'S') + std::string(90, ' ') + "2001\xff");
}

TEST_F(TagCliTest, SeveralFilesOneAfterTheOtherAFailureDoesNotStopTheRest) {
    const std::string first = MakeMovie("a.avi");
    const std::string missing = dir_.File("missing.avi");
    const std::string tiny = MakeMovie("tiny.avi", 20);
    const std::string last = MakeMovie("b.avi", 128);

    const CliResult result = Run({"tag", "--title", "Batch", first, missing, tiny, last});

    EXPECT_EQ(result.exit_code, 3);
    EXPECT_EQ(result.out, first + ": tag appended\n" + last + ": tag appended\n");
    EXPECT_EQ(result.err, "korvid-cli: " + missing + ": Cannot open file " + missing +
                              "\nkorvid-cli: " + tiny +
                              ": I/O error 22 (the file is 20 bytes long, too short to hold a tag "
                              "of 128 bytes)\n");
    EXPECT_EQ(ReadFileBytes(first).size(), 4000u + 128);
    EXPECT_EQ(ReadFileBytes(last).size(), 256u);
    EXPECT_EQ(ReadFileBytes(tiny), MovieData(20));
    EXPECT_FALSE(FileExists(missing));

    const CliResult shown = Run({"show-tag", "--json", first, missing, last});
    EXPECT_EQ(shown.exit_code, 3);
    EXPECT_EQ(shown.err, "korvid-cli: " + missing + ": Cannot open file " + missing + "\n");
    std::istringstream lines(shown.out);
    std::string line;
    std::vector<nlohmann::json> objects;
    while (std::getline(lines, line)) {
        objects.push_back(nlohmann::json::parse(line));
    }
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(objects[0].at("file"), first);
    EXPECT_EQ(objects[1].at("file"), last);
    EXPECT_EQ(objects[1].at("title"), "Batch");
    EXPECT_EQ(objects[1].at("genre"), "255");
}

TEST_F(TagCliTest, ShowTagPrintsPageBytesAsPlainText) {
    std::string tail = "TAG" + std::string(125, ' ');
    tail.replace(3, 12, "  loose text");
    tail.replace(33, 8, "ctl\x1b[2Jx");  // a terminal escape inside a field
    tail.replace(63, 6, "caf\xe9  ");    // a Latin-1 byte
    tail[127] = static_cast<char>(200);
    const std::string path = dir_.File("raw.avi");
    WriteFileBytes(path, MovieData(300) + tail);

    const CliResult text = Run({"show-tag", path});
    EXPECT_EQ(text.exit_code, 0);
    EXPECT_NE(text.out.find("Title:    loose text\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Director: ctl?[2Jx\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Genre:    200\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Comment:  caf\xc3\xa9\n"), std::string::npos) << text.out;  // UTF-8

    const CliResult json = Run({"show-tag", "--json", path});
    EXPECT_EQ(json.exit_code, 0);
    const auto object = nlohmann::json::parse(json.out);
    EXPECT_EQ(object.at("director"), "ctl\x1b[2Jx");
    EXPECT_EQ(object.at("comment"), "caf\xc3\xa9");  // as UTF-8
    EXPECT_EQ(object.at("genre"), "200");
    // Reading writes nothing.
    EXPECT_EQ(ReadFileBytes(path), MovieData(300) + tail);
}

TEST_F(TagCliTest, EmptyFileHasNoTagAndCannotBeTagged) {
    const std::string path = dir_.File("empty.avi");
    WriteFileBytes(path, "");
    const CliResult json = Run({"show-tag", "--json", path});
    EXPECT_EQ(json.exit_code, 1);
    EXPECT_EQ(nlohmann::json::parse(json.out), nlohmann::json({{"file", path}, {"tagged", false}}));

    const CliResult tag = Run({"tag", "--title", "X", path});
    EXPECT_EQ(tag.exit_code, 3);
    EXPECT_EQ(tag.err, "korvid-cli: " + path +
                           ": I/O error 22 (the file is 0 bytes long, too short to hold a tag of "
                           "128 bytes)\n");
    EXPECT_EQ(ReadFileBytes(path), "");
}

TEST_F(TagCliTest, GenreNamesIgnoreCase) {
    struct Case {
        std::vector<std::string> genre_args;
        unsigned char stored;
    };
    const Case cases[] = {{{"--genre", "Sci-Fi"}, 20}, {{"--genre", "sci-fi"}, 20},
                          {{"--genre=WESTERN"}, 26},   {{"--genre", "action"}, 0},
                          {{"--genre", ""}, 255},      {{"--title", "X"}, 255}};
    int n = 0;
    for (const Case& c : cases) {
        const std::string movie = MakeMovie("g" + std::to_string(n++) + ".avi");
        std::vector<std::string> args = {"tag"};
        args.insert(args.end(), c.genre_args.begin(), c.genre_args.end());
        args.push_back(movie);
        const CliResult result = Run(args);
        EXPECT_EQ(result.exit_code, 0) << result.err;
        EXPECT_EQ(static_cast<unsigned char>(ReadFileBytes(movie).back()), c.stored)
            << (c.genre_args.empty() ? "no genre" : c.genre_args.back());
    }
}

TEST_F(TagCliTest, UsageErrorsTouchNoFile) {
    const std::string movie = MakeMovie("keep.avi");
    const std::string before = ReadFileBytes(movie);
    const std::vector<std::vector<std::string>> bad = {
        {"tag"},
        {"tag", movie},  // neither a field nor a lookup: nothing to write
        {"tag", "--title", "X"},
        {"tag", "--genre", "Kung-Fu", movie},
        {"tag", "--pick", "1", movie},
        {"tag", "--search", "x", "--pick", "one", movie},
        {"tag", "--search", "x", "--dir", dir_.File("no-such-folder"), movie},
        {"tag", "--rating", "5", movie},
        {"show-tag"},
        {"show-tag", "--xml", movie},
    };
    for (const auto& args : bad) {
        const CliResult result = Run(args);
        EXPECT_EQ(result.exit_code, 2) << args.back();
        EXPECT_NE(result.err.find("(see korvid-cli " + args.front() + " --help)\n"),
                  std::string::npos)
            << result.err;
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(ReadFileBytes(movie), before);
}

TEST_F(TagCliTest, OverlongPathIsRefusedNotCut) {
    // A path of 300 characters whose first 255 name an existing file must not tag that file.
    const std::string short_name = dir_.File(std::string(255 - dir_.Path().size() - 1, 'p'));
    WriteFileBytes(short_name, MovieData(500));
    ASSERT_EQ(short_name.size(), 255u);
    const std::string long_path = short_name + std::string(45, 'q');

    const CliResult result = Run({"tag", "--title", "X", long_path});
    EXPECT_EQ(result.exit_code, 3);
    EXPECT_EQ(result.err, "korvid-cli: " + long_path +
                              ": Invalid filename (the path is longer than 255 bytes)\n");
    EXPECT_EQ(ReadFileBytes(short_name), MovieData(500));
}

TEST_F(TagCliTest, FileWithoutWritePermission) {
    // The unprivileged user must reach the folder; it may only read the file.
    std::filesystem::permissions(
        dir_.Path(), std::filesystem::perms::others_read | std::filesystem::perms::others_exec,
        std::filesystem::perm_options::add);
    const std::string movie = MakeMovie("locked.avi");
    std::filesystem::permissions(
        movie, std::filesystem::perms::owner_read | std::filesystem::perms::others_read);

    const CliResult result = RunCli({"tag", "--title", "X", movie}, dir_.Path(), true);
    EXPECT_EQ(result.exit_code, 3);
    EXPECT_EQ(result.err, "korvid-cli: " + movie + ": File access denied\n");
    EXPECT_EQ(ReadFileBytes(movie), MovieData(4000));

    const CliResult shown = RunCli({"show-tag", movie}, dir_.Path(), true);
    EXPECT_EQ(shown.exit_code, 1) << "readable, without a tag: " << shown.err;
}

// ---- Lookup on the sample site ----

class TagLookupTest : public TagCliTest {
  protected:
    void SetUp() override {
        TagCliTest::SetUp();
        ASSERT_TRUE(FileExists(SampleSitePath)) << SampleSitePath << " is not built";
        site_ = std::make_unique<test_support::SampleSiteProcess>(SampleSitePath);
    }
    std::unique_ptr<test_support::SampleSiteProcess> site_;
};

TEST_F(TagLookupTest, SingleMatchFillsTheFieldsFromTheFilmPage) {
    const std::string movie = MakeMovie("kites.avi");
    const CliResult result =
        Run({"tag", "--search", "Paper Kites", "--host", site_->HostPort(), movie});
    ASSERT_EQ(result.exit_code, 0) << result.err;

    const CliResult shown = Run({"show-tag", "--json", movie});
    const auto tag = nlohmann::json::parse(shown.out);
    EXPECT_EQ(tag.at("title"), "Paper Kites");
    EXPECT_EQ(tag.at("year"), "1979");
    EXPECT_EQ(tag.at("comment"), "Pim Nolet as Jasper");
    EXPECT_EQ(tag.at("genre"), "Family");
    // The film's address from its 12th character: "http://127." is dropped.
    EXPECT_EQ(tag.at("imdb"), ("http://" + site_->HostPort() + "/title/tt9000007/").substr(11, 29));
}

TEST_F(TagLookupTest, ListNeedsAPickAndThePickTagsTheChosenFilm) {
    const std::string movie = MakeMovie("ferry.avi");
    const CliResult list =
        Run({"tag", "--search", "Night Ferry", "--host", site_->HostPort(), movie});
    EXPECT_EQ(list.exit_code, 1);
    EXPECT_NE(list.err.find("--pick"), std::string::npos) << list.err;
    EXPECT_NE(list.err.find("Night Ferry to Tangier"), std::string::npos) << list.err;
    EXPECT_EQ(ReadFileBytes(movie), MovieData(4000));

    // --dir is where the importer keeps its page and the cover.
    TempDir work;
    const CliResult picked = Run({"tag", "--search", "Night Ferry", "--pick", "0", "--host",
                                  site_->HostPort(), "--dir", work.Path(), movie});
    ASSERT_EQ(picked.exit_code, 0) << picked.err;
    const auto tag = nlohmann::json::parse(Run({"show-tag", "--json", movie}).out);
    EXPECT_EQ(tag.at("title"), "Night Ferry");
    EXPECT_EQ(tag.at("director"), "Sylvia March");
    EXPECT_EQ(tag.at("comment").get<std::string>().substr(0, 11), "Victor Lane");
    EXPECT_EQ(tag.at("year"), "1964");
    EXPECT_EQ(tag.at("genre"), "Crime");
    // The importer worked in --dir, not in the current folder.
    EXPECT_TRUE(FileExists(work.File("imdbtemp.htm")));
    EXPECT_FALSE(FileExists(dir_.File("imdbtemp.htm")));

    // Options beside the lookup override what it found.
    const CliResult overridden =
        Run({"tag", "--search", "Night Ferry", "--pick", "1", "--host", site_->HostPort(), "--dir",
             work.Path(), "--year", "2000", "--genre", "war", movie});
    ASSERT_EQ(overridden.exit_code, 0) << overridden.err;
    EXPECT_EQ(overridden.out, movie + ": tag replaced\n");
    const auto second = nlohmann::json::parse(Run({"show-tag", "--json", movie}).out);
    EXPECT_EQ(second.at("title"), "Night Ferry to Tangier");
    EXPECT_EQ(second.at("year"), "2000");
    EXPECT_EQ(second.at("genre"), "War");
}

TEST_F(TagLookupTest, NoMatchAndPickOutOfRange) {
    const std::string movie = MakeMovie("none.avi");
    const CliResult none =
        Run({"tag", "--search", "Zebra Crossing", "--host", site_->HostPort(), movie});
    EXPECT_EQ(none.exit_code, 1);
    EXPECT_EQ(none.err, "korvid-cli: no film found for \"Zebra Crossing\"\n");

    const CliResult out_of_range =
        Run({"tag", "--search", "Night Ferry", "--pick", "9", "--host", site_->HostPort(), movie});
    EXPECT_EQ(out_of_range.exit_code, 2);
    EXPECT_EQ(ReadFileBytes(movie), MovieData(4000));
}

TEST_F(TagCliTest, LookupWithoutASiteIsADownloadFailure) {
    const std::string movie = MakeMovie("offline.avi");
    const std::string host = "127.0.0.1:" + std::to_string(loopback::LoopbackServer::UnusedPort());
    const CliResult result = Run({"tag", "--search", "Alien", "--host", host, movie});
    EXPECT_EQ(result.exit_code, 3);
    EXPECT_EQ(result.err,
              "korvid-cli: Cannot Download Page From Website !\nkorvid-cli: connection refused\n");
    EXPECT_EQ(ReadFileBytes(movie), MovieData(4000));
}

}  // namespace
}  // namespace korvid
