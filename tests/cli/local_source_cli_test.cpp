// korvid-cli on the local film database: search, tag --search and scan answer from it with
// --db or by default when KORVID_DATASET names one, the JSON output names the source, and
// --source site still asks the site.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "common/latin1.h"
#include "dataset/database_build.h"
#include "dataset/film_database.h"
#include "loopback/loopback_server.h"
#include "tag/movie_tag.h"
#include "tests/cli/in_process.h"
#include "tests/dataset/dataset_files.h"
#include "tests/support/local_films.h"
#include "tests/support/sample_site_suite.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using Json = nlohmann::json;
using test_support::ReadFileBytes;
using test_support::RunInProcess;
using test_support::TempDir;
using test_support::WriteFileBytes;

// No lookup of these tests, in this process or its children, finds the user's own film
// database: where a test wants one, it names it.
constexpr const char* NoDatabase = "/nonexistent/korvid-tests/films.sqlite";
const bool no_user_database = [] { return ::setenv("KORVID_DATASET", NoDatabase, 1) == 0; }();

// Names the database in KORVID_DATASET while it lives.
class DatasetVariable {
  public:
    explicit DatasetVariable(const std::string& path) {
        ::setenv("KORVID_DATASET", path.c_str(), 1);
    }
    ~DatasetVariable() { ::setenv("KORVID_DATASET", NoDatabase, 1); }
    DatasetVariable(const DatasetVariable&) = delete;
    DatasetVariable& operator=(const DatasetVariable&) = delete;
};

// A host no lookup here may reach: the local source never asks one.
constexpr const char* Host = "127.0.0.1:9";

class LocalSourceCliTest : public test_support::SampleSiteSuite {
  protected:
    static void SetUpTestSuite() {
        SampleSiteSuite::SetUpTestSuite();
        data_ = new TempDir();
        dataset::BuildDatabase(
            test_support::WriteDataset(data_->Path(), test_support::LocalFilmRows), Database());
    }
    static void TearDownTestSuite() {
        delete data_;
        SampleSiteSuite::TearDownTestSuite();
    }
    static std::string Database() { return data_->File("films.sqlite"); }
    static std::string LocalAddress(const std::string& tconst) {
        return std::string("http://") + Host + "/title/" + tconst + "/";
    }

    std::string Movie(const std::string& name) {
        const std::string path = dir_.File(name);
        WriteFileBytes(path, std::string(1000, 'm'));
        return path;
    }

    static inline TempDir* data_ = nullptr;
    TempDir dir_;
};

TEST_F(LocalSourceCliTest, SearchJsonNamesTheLocalSourceAndItsCredit) {
    const auto run = RunInProcess(
        {"search", "--db", Database(), "--host", Host, "-d", dir_.Path(), "--json", "joelle"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const Json answer = Json::parse(run.out);
    EXPECT_EQ(answer["kind"], "film");
    EXPECT_EQ(answer["source"], "local");
    EXPECT_EQ(answer["credit"], dataset::CreditLine);
    EXPECT_EQ(answer["film"]["title"], "Joëlle ");
    EXPECT_EQ(answer["film"]["director"], "Jiří Novák");  // whole, as the database holds it
    EXPECT_EQ(answer["film"]["lead_role"], "Mireille Øster as Hélène");
    EXPECT_EQ(answer["film"]["rated"], "7.1/10");
    EXPECT_EQ(answer["film"]["cover"], "");
    EXPECT_EQ(answer["film"]["address"], LocalAddress("tt9100005"));
}

// search fetches a local film's cover from the suggestion service and writes the documents
// once it is known; --no-cover, tag --search and scan ask the service nothing.
TEST_F(LocalSourceCliTest, SearchFetchesALocalFilmsCoverAndNothingElseDoes) {
    const std::string picture =
        ReadFileBytes(KORVID_SOURCE_DIR "/sample-site/pages/covers/tt9000003.jpg");
    std::unique_ptr<loopback::LoopbackServer> service;
    service = std::make_unique<loopback::LoopbackServer>([&](const loopback::HttpRequest& request) {
        if (request.target.rfind("/suggestion/x/", 0) == 0) {
            const std::string id = request.target.substr(14, request.target.size() - 19);
            return loopback::HttpResponse::Ok(R"({"d":[{"i":{"imageUrl":")" + service->BaseUrl() +
                                              R"(/images/M/A@._V1_.jpg"},"id":")" + id + R"("}]})");
        }
        return loopback::HttpResponse::Ok(picture, "image/jpeg");
    });
    const test_support::ScopedEnv suggest("KORVID_SUGGEST_URL", service->BaseUrl());
    const std::string cover = dir_.File("Lantern Road Home .jpg");
    const auto run = RunInProcess({"search", "--db", Database(), "--host", Host, "-d", dir_.Path(),
                                   "--json", "-x", dir_.File("film.xml"), "-c",
                                   dir_.File("film.csv"), "lantern road home"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(Json::parse(run.out)["film"]["cover"], cover);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ReadFileBytes(cover), picture);
    EXPECT_NE(
        ReadFileBytes(dir_.File("film.xml")).find("<Poster_Image>" + cover + "</Poster_Image>"),
        std::string::npos);
    EXPECT_NE(ReadFileBytes(dir_.File("film.csv")).find("~1~Lantern Road Home .jpg~"),
              std::string::npos);
    const std::size_t asked = service->Requests().size();
    EXPECT_EQ(asked, 2u);  // the film's entry and its picture

    const auto plain = RunInProcess({"search", "--db", Database(), "--host", Host, "-d",
                                     dir_.Path(), "--json", "--no-cover", "lantern road home"});
    ASSERT_EQ(plain.exit_code, 0) << plain.err;
    EXPECT_EQ(Json::parse(plain.out)["film"]["cover"], "");
    const std::string movie = Movie("Lantern Road Home (2005).avi");
    EXPECT_EQ(RunInProcess({"tag", "--db", Database(), "--host", Host, "-d", dir_.Path(), "-s",
                            "lantern road home", movie})
                  .exit_code,
              0);
    EXPECT_EQ(RunInProcess({"scan", "--db", Database(), "--host", Host, "-d", dir_.Path(),
                            "--replace", movie})
                  .exit_code,
              0);
    EXPECT_EQ(service->Requests().size(), asked);
}

// With the service closed (the tests' own address for it), the film is found without a cover,
// and standard error says why after the credit line.
TEST_F(LocalSourceCliTest, AClosedServiceIsNoCoverWithItsReason) {
    const auto run = RunInProcess(
        {"search", "--db", Database(), "--host", Host, "-d", dir_.Path(), "lantern road home"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_NE(run.out.find("PosterFile: \n"), std::string::npos) << run.out;
    EXPECT_EQ(run.err,
              std::string(dataset::CreditLine) + "\nkorvid-cli: no cover: connection refused\n");
}

TEST_F(LocalSourceCliTest, ATitleTypedInDecomposedFormFindsItsFilm) {
    // "Joe" U+0308 "lle": the mark composes with its letter to the Latin-1 "\xEB".
    const auto run = RunInProcess({"search", "--db", Database(), "--host", Host, "-d", dir_.Path(),
                                   "--json", "Joe\xCC\x88lle"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const Json answer = Json::parse(run.out);
    EXPECT_EQ(answer["kind"], "film");
    EXPECT_EQ(answer["film"]["address"], LocalAddress("tt9100005"));
}

// A title typed in another script finds its film, names the title that matched, and the
// documents and the tag still hold the film's primary title in Latin-1.
TEST_F(LocalSourceCliTest, ATitleInAnyScriptFindsItsFilmWhichIsSavedAndTaggedByItsOwnTitle) {
    const struct {
        const char* typed;
        const char* matched;
        const char* region;
        const char* tconst;
    } cases[] = {
        {"\xD1\x87\xD1\x83\xD0\xB6\xD0\xBE\xD0\xB9", "\xD0\xA7\xD1\x83\xD0\xB6\xD0\xBE\xD0\xB9",
         "RU", "tt0078748"},
        {"\xCE\xBF \xCE\xBF\xCE\xB3\xCE\xB4\xCE\xBF\xCE\xBF\xCF\x82 "
         "\xCE\xB5\xCF\x80\xCE\xB9\xCE\xB2\xCE\xB1\xCF\x84\xCE\xB7\xCF\x82",
         "\xCE\x9F \xCE\x8C\xCE\xB3\xCE\xB4\xCE\xBF\xCE\xBF\xCF\x82 "
         "\xCE\x95\xCF\x80\xCE\xB9\xCE\xB2\xCE\xAC\xCF\x84\xCE\xB7\xCF\x82",
         "GR", "tt0078748"},
        {"\xE3\x82\xA8\xE3\x82\xA4\xE3\x83\xAA\xE3\x82\xA2\xE3\x83\xB3",
         "\xE3\x82\xA8\xE3\x82\xA4\xE3\x83\xAA\xE3\x82\xA2\xE3\x83\xB3", "JP", "tt0078748"},
        {"\xE5\xBC\x82\xE5\xBD\xA2", "\xE5\xBC\x82\xE5\xBD\xA2", "CN", "tt0078748"},
        {"\xEC\x97\x90\xEC\x9D\xB4\xEB\xA6\xAC\xEC\x96\xB8",
         "\xEC\x97\x90\xEC\x9D\xB4\xEB\xA6\xAC\xEC\x96\xB8", "KR", "tt0078748"},
        {"bittere strasse",
         "Die bittere Stra\xC3\x9F"
         "e",
         "DE", "tt9100001"},
        {"\xD0\xB4\xD0\xBE\xD1\x80\xD0\xBE\xD0\xB3\xD0\xB0 \xD1\x81 "
         "\xD1\x84\xD0\xBE\xD0\xBD\xD0\xB0\xD1\x80\xD0\xB5\xD0\xBC",
         "\xD0\x94\xD0\xBE\xD1\x80\xD0\xBE\xD0\xB3\xD0\xB0 \xD1\x81 "
         "\xD1\x84\xD0\xBE\xD0\xBD\xD0\xB0\xD1\x80\xD1\x91\xD0\xBC",
         "RU", "tt9100003"},
        {"\xE5\x8D\x83\xE5\xB0\x8B",
         "\xE5\x8D\x83\xE3\x81\xA8\xE5\x8D\x83\xE5\xB0\x8B\xE3\x81\xAE\xE7\xA5\x9E\xE9\x9A\xA0\xE3"
         "\x81\x97",
         "JP", "tt9100005"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        const std::string xml = dir_.File("film.xml");
        const auto run =
            RunInProcess({"search", "--db", Database(), "--host", Host, "-d", dir_.Path(),
                          "--no-cover", "--json", "--pick", "0", "--xml", xml, c.typed});
        ASSERT_EQ(run.exit_code, 0) << run.err;
        const Json answer = Json::parse(run.out);
        EXPECT_EQ(answer["film"]["address"], LocalAddress(c.tconst));
        EXPECT_EQ(answer["matched_title"], c.matched);
        EXPECT_EQ(answer["matched_region"], c.region);
        // The document keeps the film's primary title, in Latin-1.
        EXPECT_NE(test_support::ReadFileBytes(xml).find(
                      Utf8ToLatin1(answer["film"]["title"].get<std::string>())),
                  std::string::npos);
    }

    // The list names the title each entry was found by; the tag holds the primary title.
    const auto list = RunInProcess({"search", "--db", Database(), "--host", Host,
                                    "stra\xC3\x9F"
                                    "e"});
    ASSERT_EQ(list.exit_code, 0) << list.err;
    EXPECT_EQ(list.out,
              "0\tLantern Road (1971) \u2014 Die bittere Stra\xC3\x9F"
              "e (DE)\t" +
                  LocalAddress("tt9100001") + "\n");
    const std::string file = Movie("alien.avi");
    ASSERT_EQ(RunInProcess({"tag", "--db", Database(), "--host", Host, "-d", dir_.Path(), "-s",
                            "\xD0\xA7\xD0\xA3\xD0\x96\xD0\x9E\xD0\x99", file})
                  .exit_code,
              0);
    EXPECT_EQ(ReadLastTagBytes(file).Title(), "Alien");
}

TEST_F(LocalSourceCliTest, SearchListsTheSameTitlesAndCreditsTheDataOnStandardError) {
    const auto run = RunInProcess({"search", "--db", Database(), "--host", Host, "lantern road"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, "0\tLantern Road (2019) (TV Series)\t" + LocalAddress("tt9100002") +
                           "\n1\tLantern Road (1971)\t" + LocalAddress("tt9100001") +
                           "\n2\tLantern Road Home (2005)\t" + LocalAddress("tt9100003") + "\n");
    EXPECT_EQ(run.err, std::string(dataset::CreditLine) + "\n");
}

TEST_F(LocalSourceCliTest, TagSearchWritesTheLocalFilmsTag) {
    const std::string file = Movie("joelle.avi");
    const auto run = RunInProcess(
        {"tag", "--db", Database(), "--host", Host, "-d", dir_.Path(), "-s", "Joëlle", file});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const MovieTag tag = ReadLastTagBytes(file);
    EXPECT_EQ(tag.Title(), "Jo\xEBlle");
    EXPECT_EQ(tag.Director(), "Ji?\xED Nov\xE1k");
    EXPECT_EQ(tag.Comment(), "Mireille \xD8ster as H\xE9l\xE8ne");
    EXPECT_EQ(tag.Year(), "2004");
    EXPECT_EQ(tag.GenreNumber(), FindGenre("Drama"));
    EXPECT_NE(std::string(tag.Imdb()).find("tt9100005"), std::string::npos) << tag.Imdb();
}

TEST_F(LocalSourceCliTest, ScanTagsFromTheDatabaseWithoutWaitingBetweenLookups) {
    const std::string joelle = Movie("Joelle (2004).avi");
    const std::string road_1971 = Movie("Lantern.Road.1971.mkv");
    const std::string road = Movie("Lantern Road.avi");
    DatasetVariable database(Database());  // the default source: the database named there
    // KORVID_HOST, unlike --host, leaves the database the default.
    test_support::ScopedEnv host("KORVID_HOST", Host);
    const auto start = std::chrono::steady_clock::now();
    const auto run =
        RunInProcess({"scan", "--delay", "600", "-d", dir_.Path(), "--json", dir_.Path()});
    // Ten minutes between requests would apply to the site; three lookups ran at once here.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::minutes(5));
    ASSERT_EQ(run.exit_code, 1) << run.err;  // "Lantern Road" without a year is ambiguous
    const Json report = Json::parse(run.out);
    EXPECT_EQ(report["source"], "local");
    EXPECT_EQ(report["credit"], dataset::CreditLine);
    EXPECT_EQ(report["summary"]["tagged"], 2);
    EXPECT_EQ(report["summary"]["ambiguous"], 1);
    EXPECT_EQ(ReadLastTagBytes(joelle).Title(), "Jo\xEBlle");
    // The film of 1971, not the series of 2019 listed before it.
    EXPECT_EQ(ReadLastTagBytes(road_1971).Year(), "1971");
    EXPECT_EQ(ReadLastTagBytes(road_1971).Director(), "Anke Vos");
    EXPECT_FALSE(ReadLastTagBytes(road).HasMarker());
}

TEST_F(LocalSourceCliTest, SourceSiteAsksTheSiteWhenADatabaseIsPresent) {
    DatasetVariable database(Database());
    const auto run = RunInProcess({"search", "--source", "site", "--host", site_->HostPort(), "-d",
                                   dir_.Path(), "--json", "lantern road"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    const Json answer = Json::parse(run.out);
    EXPECT_EQ(answer["source"], "site");
    EXPECT_FALSE(answer.contains("credit"));
    ASSERT_EQ(answer["results"].size(), 2u);
    EXPECT_EQ(answer["results"][0]["address"], Address("tt9000013"));
}

TEST_F(LocalSourceCliTest, AHostGivenOnTheCommandLineAsksTheSiteUnlessTheDatabaseIsNamed) {
    DatasetVariable database(Database());
    struct Case {
        std::vector<std::string> options;
        bool korvid_host;
        const char* source;
    };
    const Case cases[] = {
        {{"--host", site_->HostPort()}, false, "site"},
        {{"--host", site_->HostPort(), "--db", Database()}, false, "local"},
        {{"--host", site_->HostPort(), "--source", "local"}, false, "local"},
        {{}, true, "local"},  // KORVID_HOST alone: the database, as it is present
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.options));
        test_support::ScopedEnv host(
            "KORVID_HOST",
            c.korvid_host ? std::optional<std::string>(site_->HostPort()) : std::nullopt);
        std::vector<std::string> args = {"search", "-d", dir_.Path(), "--json"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back("lantern road");
        const auto run = RunInProcess(args);
        ASSERT_EQ(run.exit_code, 0) << run.err;
        EXPECT_EQ(Json::parse(run.out)["source"], c.source);
    }
}

TEST_F(LocalSourceCliTest, WithoutADatabaseTheDefaultIsTheSite) {
    const auto run = RunInProcess(
        {"search", "--host", site_->HostPort(), "-d", dir_.Path(), "--json", "lantern road"});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(Json::parse(run.out)["source"], "site");
}

TEST_F(LocalSourceCliTest, ALocalSourceThatIsMissingOrNotADatabaseFails) {
    const std::string missing = dir_.File("none.sqlite");
    const auto none = RunInProcess({"search", "--source", "local", "--db", missing, "x"});
    EXPECT_EQ(none.exit_code, 3);
    EXPECT_EQ(none.err, "korvid-cli: no film database at " + missing +
                            " (korvid-cli dataset update builds it)\n");

    const std::string text = dir_.File("text.sqlite");
    WriteFileBytes(text, "not a database");
    const auto broken = RunInProcess({"search", "--db", text, "x"});
    EXPECT_EQ(broken.exit_code, 3);
    EXPECT_NE(broken.err.find(text), std::string::npos) << broken.err;
    EXPECT_EQ(ReadFileBytes(text), "not a database");

    const auto both = RunInProcess({"search", "--source", "site", "--db", text, "x"});
    EXPECT_EQ(both.exit_code, 2);
    const auto no_search = RunInProcess({"tag", "--db", text, "--title", "T", Movie("a.avi")});
    EXPECT_EQ(no_search.exit_code, 2);
}

}  // namespace
}  // namespace korvid
