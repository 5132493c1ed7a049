// korvid-cli search, run as a child process against the sample site's server, itself run as
// a child process on a free loopback port; files land in temporary folders.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "client/http.h"
#include "loopback/loopback_server.h"
#include "tests/support/case_name.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using test_support::FileExists;
using test_support::ReadFileBytes;
using test_support::TempDir;

const std::string Cli = KORVID_BINARY_DIR "/cli/korvid-cli";
const std::string SiteServer = KORVID_BINARY_DIR "/sample-site/korvid-sample-site";
const std::string Covers = KORVID_SOURCE_DIR "/sample-site/pages/covers/";

using CliRun = test_support::ChildResult;

CliRun RunCli(const std::vector<std::string>& args, const std::string& work_dir,
              const std::optional<std::string>& korvid_host = std::nullopt) {
    return test_support::RunChild(Cli, args, work_dir, {korvid_host});
}

class SearchCliTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { site_ = new test_support::SampleSiteProcess(SiteServer); }
    static void TearDownTestSuite() {
        delete site_;
        site_ = nullptr;
    }

    // korvid-cli search with --host naming the sample site, run in the temporary folder.
    CliRun Search(std::vector<std::string> args) {
        args.insert(args.begin(), {"search", "--host", Host()});
        return RunCli(args, dir_.Path());
    }
    static const std::string& Host() { return site_->HostPort(); }
    std::string Address(const std::string& film) const {
        return "http://" + Host() + "/title/" + film + "/";
    }

    static test_support::SampleSiteProcess* site_;
    TempDir dir_;
};

test_support::SampleSiteProcess* SearchCliTest::site_ = nullptr;

std::string FilmOutput(const std::vector<std::string>& values) {
    static const char* const names[] = {"Title",   "Year",       "Director",    "Genres",
                                        "TagLine", "Plot",       "RunningTime", "LeadRole",
                                        "Rated",   "PosterFile", "MovieUrl"};
    std::string out;
    for (std::size_t i = 0; i < values.size(); ++i) {
        out += std::string(names[i]) + ": " + values[i] + "\n";
    }
    return out;
}

// ---- Searches that end on a list ----

struct ListCase {
    const char* title;
    std::vector<std::pair<const char*, const char*>> entries;  // title, film

    friend void PrintTo(const ListCase& c, std::ostream* os) { *os << c.title; }
};

class SearchListTest : public SearchCliTest, public ::testing::WithParamInterface<ListCase> {};

TEST_P(SearchListTest, PrintsTheNumberedList) {
    const CliRun run = Search({GetParam().title});
    std::string expected;
    int number = 0;
    for (const auto& [title, film] : GetParam().entries) {
        expected += std::to_string(number++) + "\t" + title + "\t" + Address(film) + "\n";
    }
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, "");
    EXPECT_FALSE(FileExists(dir_.File("imdbtemp.htm"))) << "the search deletes the temporary page";
}

INSTANTIATE_TEST_SUITE_P(
    SampleSite, SearchListTest,
    ::testing::Values(
        // A cover link and a text link on one line.
        ListCase{
            "orchard",
            {{"The Glass Orchard (2003)", "tt9000003"}, {"Winter Orchard (2009)", "tt9000010"}}},
        // The second entry ends on the line after its link.
        ListCase{
            "night ferry",
            {{"Night Ferry (1964)", "tt9000008"}, {"Night Ferry to Tangier (1966)", "tt9000009"}}},
        // "&amp;" is an entity, and entities are removed from the list's titles.
        ListCase{"pe",
                 {{"Salt  Pepper Diner (1996)", "tt9000005"},
                  {"Paper Kites (1979)", "tt9000007"},
                  {"Copper Canyon Express (1972)", "tt9000011"}}},
        // Titles beginning with "The" in a list are ordinary entries.
        ListCase{"THE",
                 {{"The Glass Orchard (2003)", "tt9000003"},
                  {"Them Below (1958)", "tt9000004"},
                  {"The Last Signal (2015)", "tt9000012"}}}),
    test_support::PrintedCaseName{});

TEST_F(SearchCliTest, KorvidHostNamesTheSiteWhenNoHostIsGiven) {
    const CliRun run = RunCli({"search", "harbour"}, dir_.Path(), Host());
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, "0\tHarbour Lights (1987)\t" + Address("tt9000001") +
                           "\n1\tHarbour Lights Revisited (1994)\t" + Address("tt9000002") + "\n");
}

// ---- A pick and a direct hit ----

TEST_F(SearchCliTest, PickImportsTheEntryAndSavesItsCover) {
    TempDir work;
    const CliRun run = Search({"--pick", "1", "--dir", work.Path(), "orchard"});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out,
              FilmOutput({"Winter Orchard ", "2009", "Anke Vos", "Drama", "The apples do not wait.",
                          "A family of growers has one frost-bitten season to save the farm their "
                          "grandmother planted.",
                          "110 min", "Mila Dekker as Ria", "7.4/10",
                          work.File("Winter Orchard .jpg"), Address("tt9000010")}));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ReadFileBytes(work.File("Winter Orchard .jpg")),
              ReadFileBytes(Covers + "tt9000010.jpg"));
    EXPECT_TRUE(FileExists(work.File("imdbtemp.htm"))) << "an import keeps the temporary page";
    EXPECT_FALSE(FileExists(dir_.File("imdbtemp.htm"))) << "nothing is written outside --dir";
}

TEST_F(SearchCliTest, DirectHitOnATitleBeginningWithTheIsReadAsAFilm) {
    const CliRun run = Search({"glass orchard"});
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(
        run.out,
        FilmOutput({"The Glass Orchard ", "2003", "Oren Falk", "Mystery / Thriller / Drama",
                    "Nothing grows behind glass by accident.",
                    "A botanist inherits a greenhouse estate and finds its records stop on the "
                    "day her aunt vanished.",
                    "117 min", "Cora Lindqvist as Dr. Hanna Reel", "7.8/10",
                    dir_.File("The Glass Orchard .jpg"), Address("tt9000003")}));
    EXPECT_EQ(ReadFileBytes(dir_.File("The Glass Orchard .jpg")),
              ReadFileBytes(Covers + "tt9000003.jpg"));
    EXPECT_FALSE(FileExists(dir_.File("imdbtemp.htm")));
}

// Direct hits whose output holds these runs of lines.
TEST_F(SearchCliTest, DirectHitsPrintTheFilmsFields) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"Them Below", {"Title: Them Below \nYear: 1958\n", "MovieUrl: " + Address("tt9000004")}},
        // Without the poster line the director's line is not reached either.
        {"paper kites",
         {"Title: Paper Kites \nYear: 1979\nDirector: \nGenres: Family / Adventure\n",
          "\nPosterFile: \nMovieUrl: " + Address("tt9000007") + "\n"}},
        // Typed in UTF-8, found as the Latin-1 film, printed in UTF-8 again.
        {"caf\xC3\xA9 nocturne", {"Title: Caf\xC3\xA9 Nocturne \n"}},
    };
    for (const auto& [title, fragments] : cases) {
        const CliRun run = Search({title});
        EXPECT_EQ(run.exit_code, 0) << run.err;
        for (const std::string& fragment : fragments) {
            EXPECT_NE(run.out.find(fragment), std::string::npos) << fragment << "\n" << run.out;
        }
    }
    // The cover is named after the title in UTF-8, as file managers read names.
    EXPECT_EQ(ReadFileBytes(dir_.File("Caf\xC3\xA9 Nocturne .jpg")),
              ReadFileBytes(Covers + "tt9000006.jpg"));
}

TEST_F(SearchCliTest, PickAfterADirectHitIsNotNeeded) {
    const CliRun run = Search({"--pick", "3", "glass orchard"});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_NE(run.out.find("Title: The Glass Orchard \n"), std::string::npos);
    EXPECT_NE(run.err.find("--pick is not needed"), std::string::npos) << run.err;
}

// ---- Nothing found, failures ----

TEST_F(SearchCliTest, NoResultExitsWithOne) {
    const CliRun run = Search({"no such film anywhere"});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "korvid-cli: no film found for \"no such film anywhere\"\n");
    EXPECT_FALSE(FileExists(dir_.File("imdbtemp.htm")));
}

TEST_F(SearchCliTest, UnreachableHostExitsWithThreeAndTheMessage) {
    const std::string nowhere =
        "127.0.0.1:" + std::to_string(loopback::LoopbackServer::UnusedPort());
    for (const CliRun& run : {RunCli({"search", "--host", nowhere, "orchard"}, dir_.Path()),
                              RunCli({"search", "orchard"}, dir_.Path(), nowhere)}) {
        EXPECT_EQ(run.exit_code, 3);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(
            run.err,
            "korvid-cli: Cannot Download Page From Website !\nkorvid-cli: connection refused\n");
    }
    EXPECT_FALSE(FileExists(dir_.File("imdbtemp.htm")));
}

// A failed download: the importer's message, then why, and exit 3.
TEST_F(SearchCliTest, AFailedDownloadTellsItsCause) {
    const std::pair<loopback::HttpHandler, std::string> cases[] = {
        {[](const loopback::HttpRequest&) {
             return loopback::HttpResponse::WithStatus(503, "Busy", "<title>503 Error</title>");
         },
         "the site answered 503"},
        {[](const loopback::HttpRequest&) {
             return loopback::HttpResponse::WithStatus(404, "Not Found",
                                                       "<title>404 Error</title>");
         },
         "the site answered 404"},
        {[](const loopback::HttpRequest& request) {
             return loopback::HttpResponse::Redirect(request.target);
         },
         "too many redirects"},
        {[](const loopback::HttpRequest&) {
             return loopback::HttpResponse::Redirect("ftp://127.0.0.1:1/list");
         },
         "not an http or https address"},
    };
    for (const auto& [answer, cause] : cases) {
        loopback::LoopbackServer site(answer);
        const CliRun run = RunCli({"search", "--host", site.HostPort(), "orchard"}, dir_.Path());
        EXPECT_EQ(run.exit_code, 3) << cause;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err,
                  "korvid-cli: Cannot Download Page From Website !\nkorvid-cli: " + cause + "\n");
        EXPECT_FALSE(FileExists(dir_.File("imdbtemp.htm")));
    }
}

// ---- Sites that answer oddly ----

TEST_F(SearchCliTest, PageWithoutTitleLineExitsWithOne) {
    loopback::LoopbackServer odd([](const loopback::HttpRequest&) {
        return loopback::HttpResponse::Ok("<html><body>Service resting</body></html>\r\n");
    });
    const CliRun run = RunCli({"search", "--host", odd.HostPort(), "orchard"}, dir_.Path());
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("is not a page Korvid knows"), std::string::npos) << run.err;
    EXPECT_FALSE(FileExists(dir_.File("imdbtemp.htm")));
}

// A sign-in page or a person's page, at the search address or at a list entry's: no film is
// printed or saved, and the exit code is 1.
TEST_F(SearchCliTest, APageThatIsNoFilmsExitsWithOne) {
    for (const char* title : {"Sign In", "Ansel Brock - Biography"}) {
        loopback::LoopbackServer site([&](const loopback::HttpRequest& request) {
            if (request.target == "/find?s=all&q=alien") {
                return loopback::HttpResponse::Ok(
                    "<title>IMDb Search</title>\r\n<h2>Popular Results</h2>\r\n"
                    "<li><a href=\"/title/tt0000001/\">Alien</a> (1979)</li>\r\n");
            }
            // A page read at a film's address would be that film: the entry's address
            // leads elsewhere.
            if (request.target == "/title/tt0000001/") {
                return loopback::HttpResponse::Redirect("/registration/signin");
            }
            return loopback::HttpResponse::Ok("<html><head><title>" + std::string(title) +
                                              "</title></head>\r\n<b>7.1/10</b>\r\n");
        });
        const CliRun direct = RunCli({"search", "--host", site.HostPort(), "brock"}, dir_.Path());
        EXPECT_EQ(direct.exit_code, 1) << title;
        EXPECT_EQ(direct.out, "");
        EXPECT_EQ(direct.err, "korvid-cli: the site's answer for \"brock\": not a film page\n");
        const CliRun picked =
            RunCli({"search", "--host", site.HostPort(), "--pick", "0", "alien"}, dir_.Path());
        EXPECT_EQ(picked.exit_code, 1) << title;
        EXPECT_EQ(picked.out, "");
        EXPECT_EQ(picked.err,
                  "korvid-cli: http://" + site.HostPort() + "/title/tt0000001/: not a film page\n");
    }
}

TEST_F(SearchCliTest, PickWhosePageHoldsNoFilmExitsWithThree) {
    const std::string nowhere =
        "127.0.0.1:" + std::to_string(loopback::LoopbackServer::UnusedPort());
    // The entry's page: one without a title line, and one redirected to where nothing listens.
    for (const bool redirect : {false, true}) {
        loopback::LoopbackServer site([&](const loopback::HttpRequest& request) {
            if (request.target.rfind("/find", 0) == 0) {
                return loopback::HttpResponse::Ok(
                    "<title>IMDb Search</title>\r\n<h2>Popular Results</h2>\r\n"
                    "<li><a href=\"/title/tt0000001/\">Alien</a> (1979)</li>\r\n");
            }
            return redirect ? loopback::HttpResponse::Redirect("http://" + nowhere + request.target)
                            : loopback::HttpResponse::Ok("<html><body>Resting</body></html>\r\n");
        });
        const CliRun listed = RunCli({"search", "--host", site.HostPort(), "alien"}, dir_.Path());
        EXPECT_EQ(listed.exit_code, 0);
        EXPECT_EQ(listed.out, "0\tAlien (1979)\thttp://" + site.HostPort() + "/title/tt0000001/\n");

        const CliRun picked =
            RunCli({"search", "--host", site.HostPort(), "--pick", "0", "alien"}, dir_.Path());
        EXPECT_EQ(picked.exit_code, 3) << "redirect " << redirect;
        EXPECT_EQ(picked.out, "");
        // A redirect to where nothing listens is a failed download; a page without a title
        // line is a download that holds no film.
        EXPECT_EQ(picked.err, redirect
                                  ? std::string("korvid-cli: Cannot Download Page From Website !\n"
                                                "korvid-cli: connection refused\n")
                                  : "korvid-cli: no film could be read from http://" +
                                        site.HostPort() + "/title/tt0000001/\n");
    }
}

// ---- The documents ----

TEST_F(SearchCliTest, SavesTheXmlAndCsvDocumentsOfTheFilmRead) {
    const CliRun run =
        Search({"--xml", dir_.File("film.xml"), "--csv", "film.csv", "Salt & Pepper"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(dir_.File("film.csv")),
              "Productname~Owner~Image~CategoryID~Details~Quality~IMDB_NO\r\n"
              "Salt & Pepper Diner ~1~Salt & Pepper Diner .jpg~6~Two cooks who cannot stand each "
              "other run "
              "the only diner on a highway that nobody uses any more. Directed By : Lena "
              "Ostrova~6.8/10~" +
                  Address("tt9000005") + "\r\n");
    const std::string xml = ReadFileBytes(dir_.File("film.xml"));
    EXPECT_EQ(xml.rfind("<DVD_Data>\r\n", 0), 0u) << xml;
    for (const std::string line :
         {"  <Scanned_Data>Salt & Pepper</Scanned_Data>",
          "<Movie_Title>Salt & Pepper Diner </Movie_Title>", "<Year>1996</Year>",
          "<Director>Lena Ostrova</Director>", "<Genre>Comedy</Genre>", "<Rating>6.8/10</Rating>",
          "</DVD_Data>"}) {
        EXPECT_NE(xml.find("\r\n" + line + "\r\n"), std::string::npos) << line;
    }
    EXPECT_NE(
        xml.find("<Poster_Image>" + dir_.File("Salt & Pepper Diner .jpg") + "</Poster_Image>"),
        std::string::npos);
}

TEST_F(SearchCliTest, DocumentThatCannotBeCreatedExitsWithThree) {
    const std::string csv = dir_.File("missing-folder/film.csv");
    const CliRun run = Search({"--csv", csv, "glass orchard"});
    EXPECT_EQ(run.exit_code, 3);
    EXPECT_EQ(run.err, "korvid-cli: Cannot create file " + csv + "\n");
    EXPECT_NE(run.out.find("Title: The Glass Orchard \n"), std::string::npos)
        << "the film is still shown";
}

// Standard output is a file here: the document is written through it after the film's
// fields, not renamed over what was printed. A FIFO nobody reads is refused, not replaced.
TEST_F(SearchCliTest, DocumentsGoToStandardOutputOrAFifoWhereTheyStand) {
    const CliRun run = Search({"--xml", "/dev/stdout", "glass orchard"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const std::size_t fields = run.out.find("Title: The Glass Orchard \n");
    const std::size_t document = run.out.find("<DVD_Data>\r\n");
    ASSERT_NE(fields, std::string::npos) << run.out;
    ASSERT_NE(document, std::string::npos) << run.out;
    EXPECT_LT(fields, document);
    EXPECT_EQ(run.out.substr(run.out.size() - 13), "</DVD_Data>\r\n");

    const std::string fifo = dir_.File("film.csv");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const CliRun refused = Search({"--csv", fifo, "glass orchard"});
    EXPECT_EQ(refused.exit_code, 3);
    EXPECT_EQ(refused.err, "korvid-cli: Cannot create file " + fifo + "\n");
    EXPECT_EQ(std::filesystem::status(fifo).type(), std::filesystem::file_type::fifo);
}

TEST_F(SearchCliTest, DocumentsAreNotWrittenWhenNoFilmWasRead) {
    const CliRun run = Search({"--xml", "film.xml", "orchard"});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.out.find("0\tThe Glass Orchard (2003)"), std::string::npos);
    EXPECT_FALSE(FileExists(dir_.File("film.xml")));
}

// ---- The sample site's own answers ----

struct Fetched {
    korvid::TransferInfo info;
    std::string body;
};

Fetched Fetch(const std::string& address) {
    Fetched fetched;
    fetched.info = HttpGet(address, [&fetched](const char* data, std::size_t size) {
        fetched.body.append(data, size);
        return true;
    });
    return fetched;
}

TEST_F(SearchCliTest, SiteServesCoversByteForByte) {
    const Fetched cover = Fetch("http://" + Host() + "/covers/tt9000012.jpg");
    EXPECT_EQ(cover.info.status, 200);
    EXPECT_EQ(cover.body, ReadFileBytes(Covers + "tt9000012.jpg"));
    EXPECT_EQ(cover.body.substr(0, 3), "\xFF\xD8\xFF") << "a JPEG file";
    EXPECT_EQ(Fetch("http://" + Host() + "/covers/tt9000007.jpg").info.status, 404)
        << "the film without a cover";
}

TEST_F(SearchCliTest, SiteRedirectsASingleMatchToTheFilmPage) {
    // "+" and percent escapes are decoded; the query runs to the end of the address.
    for (const std::string query : {"glass+orchard", "GLASS%20Orchard", "glass orchard "}) {
        const Fetched page = Fetch("http://" + Host() + "/find?s=all&q=" + query);
        EXPECT_EQ(page.info.effective_url, Address("tt9000003")) << query;
        EXPECT_NE(page.body.find("<title>The Glass Orchard (2003)</title>"), std::string::npos);
        EXPECT_NE(page.body.find("src=\"http://" + Host() + "/covers/tt9000003.jpg\" height"),
                  std::string::npos);
    }
}

// The site reads its query as a web server does: parameters split at "&", then "+" and %XX.
TEST_F(SearchCliTest, SiteDecodesTheQueryValue) {
    const std::pair<std::string, std::string> cases[] = {
        {"s=all&q=Salt%20%26%20Pepper", "tt9000005"}, {"q=salt+%26+pepper&s=all", "tt9000005"},
        {"s=all&q=caf%C3%A9", "tt9000006"},           {"s=all&q=caf%E9", "tt9000006"},
        {"s=all&q=Paper&x=Kites%3F", "tt9000007"},
    };
    for (const auto& [query, film] : cases) {
        EXPECT_EQ(Fetch("http://" + Host() + "/find?" + query).info.effective_url, Address(film))
            << query;
    }
    // An escaped "&" is part of the value: no film is called "Salt&x".
    const Fetched none = Fetch("http://" + Host() + "/find?s=all&q=Salt%26x");
    EXPECT_NE(none.body.find("<title>"), std::string::npos);
    EXPECT_EQ(none.info.effective_url.find("/title/"), std::string::npos);
}

TEST_F(SearchCliTest, SiteAnswersUnknownPagesWithNotFound) {
    for (const std::string path :
         {"/title/tt0000000/", "/title/", "/covers/../films.txt", "/nothing"}) {
        EXPECT_EQ(Fetch("http://" + Host() + path).info.status, 404) << path;
    }
    const Fetched index = Fetch("http://" + Host() + "/");
    EXPECT_EQ(index.info.status, 200);
    EXPECT_NE(index.body.find("Paper Kites</a> (1979) - no cover"), std::string::npos);
}

// ---- The command line ----

TEST_F(SearchCliTest, UsageErrorsExitWithTwo) {
    // A folder whose temporary page path would pass 255 characters.
    const std::string deep = dir_.File(std::string(200, 'd')) + "/" + std::string(40, 'e');
    std::filesystem::create_directories(deep);
    const std::vector<std::vector<std::string>> cases = {
        {},                                          // no title
        {""},                                        // an empty title
        {"two", "titles"},                           // a title of several words, not quoted
        {"--pick", "-1", "orchard"},                 // a negative entry
        {"--pick", "one", "orchard"},                // not a number
        {"--pick", "2", "orchard"},                  // past the end of a list of two
        {"--dir", dir_.File("missing"), "orchard"},  // no such folder
        {"--dir", deep, "orchard"},
        {"--xml", std::string(300, 'x'), "orchard"},
        {"--frobnicate", "orchard"},
        {"orchard", "--pick"},  // an option without its value
    };
    for (const std::vector<std::string>& args : cases) {
        const CliRun run = Search(args);
        EXPECT_EQ(run.exit_code, 2) << ::testing::PrintToString(args) << run.err;
        EXPECT_EQ(run.err.rfind("korvid-cli: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find("(see korvid-cli search --help)\n"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line: " << run.err;
    }
    EXPECT_FALSE(FileExists(dir_.File("missing")));
}

}  // namespace
}  // namespace korvid
