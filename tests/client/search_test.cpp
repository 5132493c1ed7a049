// The title search, the result list and the import of one result, over a loopback server
// that answers with small pages written for each case.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "client/IMDBImport.h"
#include "client/film_address.h"
#include "common/errors.h"
#include "loopback/loopback_server.h"
#include "tests/support/all_lines.h"
#include "tests/support/case_name.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using loopback::HttpRequest;
using loopback::HttpResponse;
using loopback::LoopbackServer;
using test_support::AllLines;
using test_support::FileExists;
using test_support::ReadFileBytes;
using test_support::ScriptedPrompts;
using test_support::TempDir;

constexpr const char* DownloadFailed = "Cannot Download Page From Website !";

std::string Page(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

std::string FilmPage(const std::string& title_text) {
    return Page({"<html><head>", "<title>" + title_text + "</title>", "</head><body>",
                 "<b>7.5/10</b>", "</body></html>"});
}

const std::string ListPage = Page({
    "<html><head><title>IMDb Search</title></head><body>",
    "<h2>Popular Results</h2>",
    "<ol>",
    "<li><a href=\"/title/tt0000001/\">Alien</a> (1979)</li>",
    "<li><a href=\"/title/tt0000002/\">Aliens</a> (1986)</li>",
    "<li><a href=\"/title/tt0000003/\">Alien&#179;</a> (1992)</li>",
    "</ol>",
    "<h2>Companies</h2>",
    "</body></html>",
});

// A site with a fixed set of pages; "/find" answers with the page set for the search.
class SiteFixture : public ::testing::Test {
  protected:
    SiteFixture()
        : server_([this](const HttpRequest& request) { return Answer(request); }),
          importer_(prompts_) {
        importer_.AppDir = dir_.Dir();
        importer_.Host = server_.HostPort();
    }

    HttpResponse Answer(const HttpRequest& request) {
        std::lock_guard lock(mutex_);
        const std::string path = request.target.substr(0, request.target.find('?'));
        if (path == "/find") {
            return find_answer_;
        }
        if (const auto moved = redirects_.find(path); moved != redirects_.end()) {
            return HttpResponse::Redirect(moved->second);
        }
        const auto it = pages_.find(path);
        if (it == pages_.end()) {
            return HttpResponse::WithStatus(404, "Not Found", "<html>none</html>");
        }
        return HttpResponse::Ok(it->second);
    }

    void SetFindAnswer(HttpResponse response) {
        std::lock_guard lock(mutex_);
        find_answer_ = std::move(response);
    }
    void SetPage(const std::string& path, std::string body) {
        std::lock_guard lock(mutex_);
        pages_[path] = std::move(body);
    }

    std::vector<std::string> Targets() const {
        std::vector<std::string> targets;
        for (const HttpRequest& request : server_.Requests()) {
            targets.push_back(request.target);
        }
        return targets;
    }

    std::string TempPage() const { return dir_.File(TempPageName); }

    void SetFilmPages() {
        SetPage("/title/tt0000001/", FilmPage("Alien (1979)"));
        SetPage("/title/tt0000002/", FilmPage("Aliens (1986)"));
        SetPage("/title/tt0000003/", FilmPage("Alien 3 (1992)"));
    }

    TempDir dir_;
    std::mutex mutex_;
    HttpResponse find_answer_ = HttpResponse::Ok(ListPage);
    std::map<std::string, std::string> pages_;
    std::map<std::string, std::string> redirects_;  // path -> where it redirects
    LoopbackServer server_;
    ScriptedPrompts prompts_;
    TIMDBImport importer_;
};

// ---- The search address ----

TEST_F(SiteFixture, SendsASpaceOfTheTitleEscapedOnce) {
    importer_.Title = "star wars";
    ASSERT_TRUE(importer_.SearchTitle());
    ASSERT_EQ(Targets().size(), 1u);
    // Escaped once as a query value; the HTTP layer leaves the escape as it is.
    EXPECT_EQ(Targets()[0], "/find?s=all&q=star%20wars");
    EXPECT_EQ(importer_.LastFetchedUrl(), server_.BaseUrl() + "/find?s=all&q=star%20wars");
}

// Every byte of the title but A-Z a-z 0-9 - . _ ~ is escaped, so the site reads it whole.
TEST_F(SiteFixture, SendsTheTitleAsAQueryValue) {
    const std::pair<std::string, std::string> cases[] = {
        {"Tom & Jerry", "Tom%20%26%20Jerry"},
        {"100%", "100%25"},
        {"Romeo + Juliet", "Romeo%20%2B%20Juliet"},
        {"Why?", "Why%3F"},
        {"Salt & Pepper?x=1#top", "Salt%20%26%20Pepper%3Fx%3D1%23top"},
        {"Am\xE9lie/2", "Am%E9lie%2F2"},
        {"Se7en-2.0_b~", "Se7en-2.0_b~"},
    };
    for (const auto& [title, query] : cases) {
        importer_.Title = title;
        ASSERT_TRUE(importer_.SearchTitle()) << title;
        EXPECT_EQ(Targets().back(), "/find?s=all&q=" + query) << title;
    }
}

TEST_F(SiteFixture, ALongTitleIsCutBetweenEscapes) {
    for (std::size_t length = 80; length < 84; ++length) {
        importer_.Title = std::string(length, '&');
        ASSERT_TRUE(importer_.SearchTitle());
        const std::string query = Targets().back().substr(std::string("/find?s=all&q=").size());
        const std::size_t address = server_.BaseUrl().size() + Targets().back().size();
        EXPECT_LE(address, 255u);
        EXPECT_GE(address, 253u);
        EXPECT_EQ(query.size() % 3, 0u) << query;
        EXPECT_EQ(query.substr(query.size() - 3), "%26");
    }
}

TEST_F(SiteFixture, CutsTheSearchAddressAt255Characters) {
    importer_.Title = std::string(250, 'a');
    ASSERT_TRUE(importer_.SearchTitle());
    const std::string prefix = "http://" + server_.HostPort() + "/find?s=all&q=";
    const std::string expected = "/find?s=all&q=" + std::string(255 - prefix.size(), 'a');
    ASSERT_EQ(Targets().size(), 1u);
    EXPECT_EQ(Targets()[0], expected);
}

TEST_F(SiteFixture, EmptyTitleFetchesNothingAndShowsNothing) {
    importer_.ResultTitles.Add("old entry");
    importer_.Title = "";
    EXPECT_FALSE(importer_.SearchTitle());
    EXPECT_TRUE(Targets().empty());
    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_TRUE(importer_.ResultTitles.Empty()) << "the earlier results are cleared first";
}

// ---- The three page kinds ----

struct KindCase {
    const char* title_line;
    enum Kind { List, NoResult, Film } kind;

    friend void PrintTo(const KindCase& c, std::ostream* os) { *os << c.title_line; }
};

class PageKindTest : public SiteFixture, public ::testing::WithParamInterface<KindCase> {};

TEST_P(PageKindTest, ClassifiesThePageByItsTitleLine) {
    const KindCase& c = GetParam();
    SetFindAnswer(HttpResponse::Ok(
        Page({"<html><head>", c.title_line, "</head><body>", "<h2>Popular Results</h2>",
              "<li><a href=\"/title/tt0000001/\">Alien</a> (1979)</li>", "<b>7.5/10</b>",
              "</body></html>"})));
    importer_.Title = "anything";
    importer_.MovieFound = true;
    ASSERT_TRUE(importer_.SearchTitle());
    switch (c.kind) {
        case KindCase::List:
            EXPECT_FALSE(importer_.MovieFound);
            ASSERT_EQ(importer_.ResultTitles.Count(), 1);
            EXPECT_EQ(importer_.ResultTitles[0], "Alien (1979)");
            break;
        case KindCase::NoResult:
            EXPECT_FALSE(importer_.MovieFound);
            EXPECT_TRUE(importer_.ResultTitles.Empty());
            EXPECT_TRUE(importer_.XmlLines.Empty()) << "nothing is read from the no-result page";
            break;
        case KindCase::Film:
            EXPECT_TRUE(importer_.MovieFound);
            EXPECT_TRUE(importer_.ResultTitles.Empty());
            EXPECT_EQ(importer_.Rated, "7.5/10");
            EXPECT_EQ(importer_.CsvLines.Count(), 2);
            break;
    }
    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_FALSE(FileExists(TempPage()));
}

INSTANTIATE_TEST_SUITE_P(
    TitleLines, PageKindTest,
    ::testing::Values(KindCase{"<title>IMDb Search</title>", KindCase::List},
                      KindCase{"<TITLE>imdb search results</TITLE>", KindCase::List},
                      // ">IMDB" is tested first, ahead of the no-result test and the year group.
                      KindCase{"<title>The list</title><b>IMDb</b>", KindCase::List},
                      KindCase{"<title>IMDb Search (2004)</title>", KindCase::List},
                      KindCase{"<title>The Movie Database: no match</title>", KindCase::NoResult},
                      KindCase{"<TITLE>THE SEARCH FOUND NOTHING</TITLE>", KindCase::NoResult},
                      KindCase{"<title>The Matrix</title>", KindCase::NoResult},
                      KindCase{"<title>Theatre (TV 1999)</title>", KindCase::NoResult},
                      KindCase{"<title>The Year (19)</title>", KindCase::NoResult},
                      // A year group outside the title element does not count.
                      KindCase{"<title>The End</title> (1999)", KindCase::NoResult},
                      KindCase{"<title>Alien (1979)</title>", KindCase::Film},
                      KindCase{"<title>The Matrix (1999)</title>", KindCase::Film},
                      KindCase{"<title>Them! (1954)</title>", KindCase::Film},
                      KindCase{"<TITLE>THE MATRIX (1999/I)</TITLE>", KindCase::Film},
                      KindCase{"<title>The Great Film (2001) (V)</title>", KindCase::Film}),
    test_support::PrintedCaseName{});

TEST_F(SiteFixture, PageWithoutTitleLineGivesFalseSilentlyAndDeletesTheTemporaryPage) {
    SetFindAnswer(HttpResponse::Ok(Page({"<html><body>", "no head here", "</body></html>"})));
    importer_.Title = "Alien";
    importer_.MovieFound = true;
    EXPECT_FALSE(importer_.SearchTitle());
    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_FALSE(FileExists(TempPage()));
    EXPECT_TRUE(importer_.MovieFound) << "a failed search leaves MovieFound as it was";
}

TEST_F(SiteFixture, ResultListWithoutHeadingGivesNoEntriesButTrue) {
    SetFindAnswer(
        HttpResponse::Ok(Page({"<title>IMDb Search</title>",
                               "<li><a href=\"/title/tt0000001/\">Alien</a> (1979)</li>"})));
    importer_.Title = "Alien";
    EXPECT_TRUE(importer_.SearchTitle());
    EXPECT_FALSE(importer_.MovieFound);
    EXPECT_TRUE(importer_.ResultTitles.Empty());
}

TEST_F(SiteFixture, UnreachableSiteShowsTheDownloadMessage) {
    importer_.Host = "127.0.0.1:" + std::to_string(LoopbackServer::UnusedPort());
    importer_.Title = "Alien";
    EXPECT_FALSE(importer_.SearchTitle());
    EXPECT_EQ(prompts_.messages,
              std::vector<std::string>{std::string(DownloadFailed) + "\nconnection refused"});
}

TEST_F(SiteFixture, MissingProgramFolderShowsTheDownloadMessage) {
    importer_.AppDir = dir_.Dir() + "missing-folder/";
    importer_.Title = "Alien";
    EXPECT_FALSE(importer_.SearchTitle());
    EXPECT_EQ(prompts_.messages, std::vector<std::string>{std::string(DownloadFailed) + "\n" +
                                                          importer_.DownloadFailure()});
}

// ---- How a lookup ended ----

struct OutcomeCase {
    const char* label;
    HttpResponse answer;
    LookupOutcome outcome;
    bool found;
    std::string failure;  // DownloadFailure() afterwards

    friend void PrintTo(const OutcomeCase& c, std::ostream* os) { *os << c.label; }
};

class OutcomeTest : public SiteFixture, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(OutcomeTest, TellsTheFrontEndsHowTheSearchEnded) {
    SetFindAnswer(GetParam().answer);
    importer_.Title = "Alien";
    EXPECT_EQ(importer_.SearchTitle(), GetParam().found);
    EXPECT_EQ(importer_.Outcome(), GetParam().outcome);
    EXPECT_EQ(importer_.DownloadFailure(), GetParam().failure);
    const bool failed = GetParam().outcome == LookupOutcome::DownloadFailed;
    // A failed download's message names its cause on a second line.
    EXPECT_EQ(prompts_.messages,
              failed ? std::vector<std::string>{std::string(DownloadFailed) + "\n" +
                                                GetParam().failure}
                     : std::vector<std::string>{});
    EXPECT_FALSE(FileExists(TempPage()));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, OutcomeTest,
    ::testing::Values(
        OutcomeCase{"List", HttpResponse::Ok(ListPage), LookupOutcome::ResultList, true, ""},
        OutcomeCase{"NoResult", HttpResponse::Ok(FilmPage("The Movie Database: no match")),
                    LookupOutcome::NoResult, true, ""},
        OutcomeCase{"Film", HttpResponse::Ok(FilmPage("Alien (1979)")), LookupOutcome::Film, true,
                    ""},
        OutcomeCase{"NoTitleLine", HttpResponse::Ok("<html>resting</html>"),
                    LookupOutcome::UnknownPage, false, ""},
        // Before, the error page was read as a film titled "404 Error".
        OutcomeCase{"NotFound", HttpResponse::WithStatus(404, "Not Found", FilmPage("404 Error")),
                    LookupOutcome::DownloadFailed, false, "the site answered 404"},
        OutcomeCase{"Unavailable", HttpResponse::WithStatus(503, "Busy", FilmPage("503 Error")),
                    LookupOutcome::DownloadFailed, false, "the site answered 503"},
        OutcomeCase{"RedirectLoop", HttpResponse::Redirect("/find?s=all&q=Alien"),
                    LookupOutcome::DownloadFailed, false, "too many redirects"}),
    [](const ::testing::TestParamInfo<OutcomeCase>& info) {
        return std::string(info.param.label);
    });

TEST_F(SiteFixture, TheTemporaryPageIsRemovedAlsoWhenTheParseRaises) {
    SetFindAnswer(
        HttpResponse::Ok(Page({"<title>Alien (1979)</title>", "<h5 class=\"ch\">Genre:</h5>"})));
    importer_.Title = "Alien";
    EXPECT_THROW(importer_.SearchTitle(), ListIndexError);
    EXPECT_FALSE(FileExists(TempPage()));
}

TEST_F(SiteFixture, ImportResultTellsAFilmFromAPageWithoutTitleLine) {
    SetFilmPages();
    SetPage("/title/tt0000002/", "<html>resting</html>");
    importer_.Title = "Alien";
    ASSERT_TRUE(importer_.SearchTitle());
    ASSERT_TRUE(importer_.ImportResult(0));
    EXPECT_EQ(importer_.Outcome(), LookupOutcome::Film);
    importer_.Title = "Alien";
    ASSERT_TRUE(importer_.SearchTitle());
    ASSERT_TRUE(importer_.ImportResult(1));
    EXPECT_EQ(importer_.Outcome(), LookupOutcome::UnknownPage);
    EXPECT_FALSE(importer_.ImportResult(5));
    EXPECT_EQ(importer_.Outcome(), LookupOutcome::None);
}

// ---- A film page reached directly ----

TEST_F(SiteFixture, DirectHitRedirectSetsMovieUrlToTheFilmPageReceived) {
    SetFilmPages();
    // First a film imported from a list, then a search that lands on another film at once.
    importer_.Title = "Alien";
    ASSERT_TRUE(importer_.SearchTitle());
    ASSERT_TRUE(importer_.ImportResult(0));
    EXPECT_EQ(importer_.MovieUrl, server_.BaseUrl() + "/title/tt0000001/");

    SetFindAnswer(HttpResponse::Redirect(server_.BaseUrl() + "/title/tt0000002/"));
    importer_.Title = "Aliens";
    ASSERT_TRUE(importer_.SearchTitle());
    EXPECT_TRUE(importer_.MovieFound);
    EXPECT_EQ(importer_.Title, "Aliens ");
    EXPECT_EQ(importer_.MovieUrl, server_.BaseUrl() + "/title/tt0000002/");
    ASSERT_EQ(importer_.CsvLines.Count(), 2);
    const std::string& row = importer_.CsvLines[1];
    EXPECT_EQ(row.substr(row.rfind('~') + 1), server_.BaseUrl() + "/title/tt0000002/");
    EXPECT_FALSE(FileExists(TempPage()));
}

TEST_F(SiteFixture, FilmPageAnsweredAtTheSearchAddressNamingNoFilmHasNoAddress) {
    importer_.MovieUrl = "http://example.invalid/title/tt0000009/";
    SetFindAnswer(HttpResponse::Ok(FilmPage("Them! (1954)")));
    importer_.Title = "Them!";
    ASSERT_TRUE(importer_.SearchTitle());
    EXPECT_TRUE(importer_.MovieFound);
    EXPECT_EQ(importer_.Title, "Them! ");
    EXPECT_EQ(importer_.Year, "1954");
    // The search address is never a film's address, nor is the film's read before.
    EXPECT_EQ(importer_.MovieUrl, "");
}

// A film page answered at the search address, naming itself in different ways.
struct NamedFilmCase {
    const char* label;
    std::vector<std::string> head_and_body;  // lines between the title line and the rating
    std::string path;                        // the film path expected, empty: none named
};

class DirectHitAddressTest : public SiteFixture,
                             public ::testing::WithParamInterface<NamedFilmCase> {};

TEST_P(DirectHitAddressTest, TakesTheFilmAddressThePageNames) {
    importer_.MovieUrl = "http://example.invalid/title/tt0000009/";
    std::vector<std::string> lines = {"<html><head>", "<title>Them! (1954)</title>"};
    lines.insert(lines.end(), GetParam().head_and_body.begin(), GetParam().head_and_body.end());
    lines.insert(lines.end(), {"<b>7.5/10</b>", "</body></html>"});
    SetFindAnswer(HttpResponse::Ok(Page(lines)));
    importer_.Title = "Them!";
    ASSERT_TRUE(importer_.SearchTitle());
    ASSERT_TRUE(importer_.MovieFound);
    const std::string expected =
        GetParam().path.empty() ? "" : "http://" + server_.HostPort() + GetParam().path;
    EXPECT_EQ(importer_.MovieUrl, expected);
    const std::string& row = importer_.CsvLines[importer_.CsvLines.Count() - 1];
    EXPECT_EQ(row.substr(row.rfind('~') + 1), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, DirectHitAddressTest,
    ::testing::Values(
        NamedFilmCase{"CanonicalLink",
                      {"<link rel=\"canonical\" href=\"https://www.imdb.com/title/tt0047573/\" />",
                       "</head><body>"},
                      "/title/tt0047573/"},
        NamedFilmCase{"CanonicalLinkRelativeEightDigits",
                      {"<LINK HREF='/title/tt10047573/?ref_=x' REL=\"CANONICAL\">", "</head><body>"},
                      "/title/tt10047573/"},
        NamedFilmCase{"PosterLink",
                      {"</head><body>",
                       "<a name=\"poster\" href=\"/title/tt0047573/\" title=\"Them!\"><img "
                       "src=\"x.jpg\"></a>"},
                      "/title/tt0047573/"},
        NamedFilmCase{"CanonicalLinkBeforePosterLink",
                      {"<link rel=\"canonical\" href=\"/title/tt0000005/\">", "</head><body>",
                       "<a name=\"poster\" href=\"/title/tt0000006/\">"},
                      "/title/tt0000005/"},
        NamedFilmCase{"CanonicalLinkOfNoFilmPageFallsBackToThePoster",
                      {"<link rel=\"canonical\" href=\"/find?q=them\">", "</head><body>",
                       "<a name=\"poster\" href=\"/title/tt0000006/\">"},
                      "/title/tt0000006/"},
        NamedFilmCase{"PosterLinkToAGallery", {"</head><body>",
                       "<a name=\"poster\" href=\"/media/tt0047573/\">"}, ""},
        NamedFilmCase{"SixDigits", {"<link rel=\"canonical\" href=\"/title/tt047573/\">"}, ""},
        NamedFilmCase{"NineDigits",
                      {"<link rel=\"canonical\" href=\"/title/tt004757300/\">"}, ""},
        NamedFilmCase{"OtherScheme",
                      {"<link rel=\"canonical\" href=\"ftp://host/title/tt0047573/\">"}, ""},
        NamedFilmCase{"OtherLinkOnly", {"</head><body>",
                       "<a href=\"/title/tt0047573/\">Them!</a>"}, ""}),
    [](const ::testing::TestParamInfo<NamedFilmCase>& info) {
        return std::string(info.param.label);
    });

// The sample site's film pages name themselves in their poster link.
TEST_F(SiteFixture, SampleSiteFilmPageAtTheSearchAddressNamesItsOwnAddress) {
    std::string page =
        ReadFileBytes(std::string(KORVID_SOURCE_DIR) + "/sample-site/pages/title/tt9000010.html");
    for (std::size_t at = page.find("@HOST@"); at != std::string::npos; at = page.find("@HOST@")) {
        page.replace(at, 6, server_.HostPort());
    }
    SetFindAnswer(HttpResponse::Ok(page));
    importer_.Title = "winter orchard";
    ASSERT_TRUE(importer_.SearchTitle());
    ASSERT_TRUE(importer_.MovieFound);
    EXPECT_EQ(importer_.MovieUrl, server_.BaseUrl() + "/title/tt9000010/");
}

TEST(FilmAddressTest, OnlyAFilmPagesAddressIsAFilmAddress) {
    const std::pair<const char*, bool> cases[] = {
        {"http://www.imdb.com/title/tt0047573/", true},
        {"https://www.imdb.com/title/tt0047573", true},
        {"HTTP://127.0.0.1:8642/title/tt10047573/?ref=x", true},
        {"http://host/title/tt0047573#top", true},
        {"http://host/find?s=all&q=latin", false},
        {"http://host/title/tt047573/", false},
        {"http://host/title/tt004757300/", false},
        {"http://host/title/tt0047573x/", false},
        {"http://host/name/nm0047573/", false},
        {"ftp://host/title/tt0047573/", false},
        {"/title/tt0047573/", false},
        {"", false},
    };
    for (const auto& [address, film] : cases) {
        EXPECT_EQ(IsFilmAddress(address), film) << address;
    }
}

// The page is searched as it stands, in any letter case of tags and attributes: a tag may
// span lines, a name must stand on its own, and a tag left open runs to the page's end.
TEST(FilmAddressTest, FromPageFindsTheTagsInAnyLetterCase) {
    const std::pair<std::string, std::string> cases[] = {
        {"<LiNk Rel=\"CaNoNiCaL\" hReF=\"/title/tt0047573/\">", "tt0047573"},
        {"<link\r\nrel=\"canonical\"\r\nhref='/title/tt0047573/'>", "tt0047573"},
        {"<link rel=\"canonical\" data-href=\"/title/tt0000001/\" href=/title/tt0047573/>",
         "tt0047573"},
        {"<link rel=\"canonical\" data-href=\"/title/tt0000001/\">", ""},
        {"<link rel=\"stylesheet\" href=\"/title/tt0000001/\">\n<A NAME=\"POSTER\" "
         "HREF=\"HTTP://x/title/tt0047573/\">",
         "tt0047573"},
        {"<a\tname=\"poster\" href=\"/title/tt0047573/\">", ""},
        {"\xE9\xC9<LINK REL=\"CANONICAL\" HREF=\"/title/tt0047573/\"", "tt0047573"},
        {"<link rel=\"canonical\">\n<link rel=\"canonical\" href=\"/title/tt0047573/\">",
         "tt0047573"},
        {"<lin k rel=\"canonical\" href=\"/title/tt0047573/\">", ""},
    };
    for (const auto& [page, id] : cases) {
        LineList lines;
        lines.SetText(page);
        EXPECT_EQ(FilmAddressFromPage(lines, "h"), id.empty() ? "" : "http://h/title/" + id + "/")
            << page;
    }
}

// A new search keeps nothing of the film read before: not its fields, its address or its
// documents, whether it ends on a list, the no-result page or nothing.
TEST_F(SiteFixture, ANewSearchForgetsTheFilmReadBefore) {
    SetFilmPages();
    const std::pair<const char*, HttpResponse> answers[] = {
        {"list", HttpResponse::Ok(ListPage)},
        {"no result", HttpResponse::Ok(FilmPage("The Movie Database: no match"))},
        {"no title line", HttpResponse::Ok(Page({"<html><body>", "</body></html>"}))},
    };
    for (const auto& [label, answer] : answers) {
        SCOPED_TRACE(label);
        SetFindAnswer(HttpResponse::Ok(ListPage));
        importer_.Title = "Alien";
        ASSERT_TRUE(importer_.SearchTitle());
        ASSERT_TRUE(importer_.ImportResult(1));
        importer_.LeadRole = "Sigourney Weaver as Ripley";
        ASSERT_EQ(importer_.CsvLines.Count(), 2);

        SetFindAnswer(answer);
        importer_.Title = "typed";
        if (importer_.SearchTitle()) {
            EXPECT_FALSE(importer_.MovieFound);
        }
        EXPECT_EQ(importer_.Title, "typed");
        for (const ShortString* field :
             {&importer_.MovieUrl, &importer_.Year, &importer_.Rated, &importer_.LeadRole,
              &importer_.Genres[1], &importer_.PosterFile, &importer_.CsvRow}) {
            EXPECT_EQ(*field, "");
        }
        EXPECT_EQ(AllLines(importer_.CsvLines), std::vector<std::string>{CsvHeaderRow});
        EXPECT_TRUE(importer_.XmlLines.Empty());
    }
}

// Only a film page is read as one: a page that names a film address as its own, was read from
// a film's address, or whose title carries a year. Any other page answered at the search
// address, or where a list entry's address redirects, gives no film, and nothing of the film
// read before stays.
TEST_F(SiteFixture, APageThatIsNoFilmsIsNotReadAsAFilm) {
    const std::pair<std::vector<std::string>, bool> pages[] = {
        {{"<title>Sign In</title>"}, false},
        {{"<title>Ansel Brock - Biography</title>", "<a href=\"/title/tt0047573/\">Them!</a>"},
         false},
        {{"<title>Year (1979</title>"}, false},
        {{"<title>Harbour of Small Hours</title>",
          "<link rel=\"canonical\" href=\"/title/tt0400001/\">"},
         true},
        {{"<title>Harbour of Small Hours</title>",
          "<a name=\"poster\" href=\"/title/tt0400001/\">"},
         true},
        {{"<title>Dark (TV Series 2017-2020)</title>"}, true},
        {{"<TITLE>Alien (1979)</TITLE>"}, true},
    };
    SetFilmPages();
    for (const auto& [head, film] : pages) {
        SCOPED_TRACE(head.front());
        std::vector<std::string> lines = {"<html><head>"};
        lines.insert(lines.end(), head.begin(), head.end());
        lines.insert(lines.end(), {"</head><body>", "<b>7.5/10</b>", "</body></html>"});
        SetFindAnswer(HttpResponse::Ok(Page(lines)));
        redirects_["/title/tt0000002/"] = "/registration/signin";
        SetPage("/registration/signin", Page(lines));
        importer_.Title = "typed";
        EXPECT_EQ(importer_.SearchTitle(), film);
        EXPECT_EQ(importer_.MovieFound, film);
        EXPECT_EQ(importer_.Outcome(), film ? LookupOutcome::Film : LookupOutcome::NotFilmPage);
        EXPECT_EQ(importer_.Rated, film ? "7.5/10" : "");
        EXPECT_FALSE(FileExists(TempPage()));

        SetFindAnswer(HttpResponse::Ok(ListPage));
        importer_.Title = "typed";
        ASSERT_TRUE(importer_.SearchTitle());
        ASSERT_TRUE(importer_.ImportResult(0));
        EXPECT_EQ(importer_.ImportResult(1), film);
        EXPECT_EQ(importer_.Outcome(), film ? LookupOutcome::Film : LookupOutcome::NotFilmPage);
        EXPECT_EQ(importer_.MovieUrl.empty(), !film);
        EXPECT_EQ(importer_.CsvLines.Count(), film ? 2 : 1);
        EXPECT_EQ(importer_.ResultTitles.Count(), 3) << "the list stays";
    }
    EXPECT_TRUE(prompts_.messages.empty()) << "the front ends say it";
}

// A search the site answers by a redirect to a film's address is a film, though the page
// names no address of its own and its title has no year.
TEST_F(SiteFixture, APageReadFromAFilmsAddressIsAFilm) {
    const std::string page = Page({"<html><head><title>Harbour of Small Hours</title>",
                                   "</head><body>", "<b>7.5/10</b>", "</body></html>"});
    SetFindAnswer(HttpResponse::Redirect("/title/tt0400001/"));
    SetPage("/title/tt0400001/", page);
    importer_.Title = "harbour";
    ASSERT_TRUE(importer_.SearchTitle());
    EXPECT_EQ(importer_.Outcome(), LookupOutcome::Film);
    EXPECT_EQ(importer_.Rated, "7.5/10");
    EXPECT_EQ(importer_.MovieUrl, server_.BaseUrl() + "/title/tt0400001/");
}

// ---- ImportResult ----

TEST_F(SiteFixture, ImportResultFetchesTheEntryAtTheIndex) {
    SetFilmPages();
    importer_.Title = "Alien";
    ASSERT_TRUE(importer_.SearchTitle());
    ASSERT_EQ(importer_.ResultTitles.Count(), 3);
    EXPECT_FALSE(FileExists(TempPage())) << "the search deletes the temporary page";

    EXPECT_TRUE(importer_.ImportResult(0));
    EXPECT_TRUE(importer_.MovieFound);
    EXPECT_EQ(Targets().back(), "/title/tt0000001/");
    EXPECT_EQ(importer_.MovieUrl, server_.BaseUrl() + "/title/tt0000001/");
    EXPECT_EQ(importer_.Title, "Alien ");
    EXPECT_TRUE(FileExists(TempPage())) << "an import keeps the temporary page";

    EXPECT_TRUE(importer_.ImportResult(2));
    EXPECT_EQ(Targets().back(), "/title/tt0000003/");
    EXPECT_EQ(importer_.Title, "Alien 3 ");
    EXPECT_EQ(importer_.ResultTitles.Count(), 3) << "an import keeps the result list";
    EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(SiteFixture, ImportResultPastTheEndFetchesNothing) {
    importer_.Title = "Alien";
    ASSERT_TRUE(importer_.SearchTitle());
    const std::size_t requests = Targets().size();
    importer_.MovieFound = true;
    importer_.MovieUrl = "kept";
    EXPECT_FALSE(importer_.ImportResult(3));
    EXPECT_FALSE(importer_.ImportResult(1000));
    EXPECT_FALSE(importer_.MovieFound);
    EXPECT_EQ(importer_.MovieUrl, "kept");
    EXPECT_EQ(Targets().size(), requests);
    EXPECT_TRUE(prompts_.messages.empty());
}

TEST_F(SiteFixture, ImportResultWithNegativeIndexRaisesTheListIndexError) {
    importer_.Title = "Alien";
    ASSERT_TRUE(importer_.SearchTitle());
    try {
        importer_.ImportResult(-1);
        FAIL() << "no error raised";
    } catch (const ListIndexError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (-1)");
    }
}

TEST_F(SiteFixture, ImportResultOnAnEmptyListIsFalse) {
    EXPECT_FALSE(importer_.ImportResult(0));
    EXPECT_TRUE(Targets().empty());
}

TEST_F(SiteFixture, ImportResultWhoseSiteIsGoneShowsTheDownloadMessage) {
    importer_.ResultTitles.Add("Alien (1979)");
    importer_.ResultUrls.Add("http://127.0.0.1:" + std::to_string(LoopbackServer::UnusedPort()) +
                             "/title/tt0000001/");
    importer_.MovieUrl = "kept";
    EXPECT_FALSE(importer_.ImportResult(0));
    EXPECT_EQ(prompts_.messages,
              std::vector<std::string>{std::string(DownloadFailed) + "\nconnection refused"});
    EXPECT_EQ(importer_.MovieUrl, "kept");
    EXPECT_FALSE(importer_.MovieFound);
}

TEST_F(SiteFixture, ImportResultCutsALongAddressAt255Characters) {
    const std::string base = "http://" + server_.HostPort();
    importer_.ResultTitles.Add("Long");
    importer_.ResultUrls.Add(base + "/title/" + std::string(300, 'x'));
    SetPage("/title/" + std::string(255 - base.size() - 7, 'x'), FilmPage("Long (2000)"));
    ASSERT_TRUE(importer_.ImportResult(0));
    EXPECT_EQ(importer_.MovieUrl.size(), 255u);
    EXPECT_EQ(importer_.Year, "2000");
}

// ---- The result lines ----

class ResultListTest : public ::testing::Test {
  protected:
    ResultListTest() : importer_(prompts_) { importer_.Host = "www.example.test"; }

    void Parse(const std::vector<std::string>& lines) {
        importer_.PageLines.SetText(Page(lines));
        importer_.ParseResultList();
    }
    std::vector<std::string> Titles() const { return AllLines(importer_.ResultTitles); }
    std::vector<std::string> Urls() const { return AllLines(importer_.ResultUrls); }

    ScriptedPrompts prompts_;
    TIMDBImport importer_;
};

TEST_F(ResultListTest, ReadsLinkPathAndVisibleText) {
    importer_.MovieFound = true;
    Parse({"<title>IMDb Search</title>", "<h2>Popular Results</h2>",
           "  \t<li><a href=\"/title/tt0000001/\">Alien</a> (1979)</li>  ",
           "<li><A HREF=\"/Title/tt0000002/\">Aliens</A> (1986) <small>(aka Two)</small></li>"});
    EXPECT_FALSE(importer_.MovieFound);
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Alien (1979)", "Aliens (1986) (aka Two)"}));
    EXPECT_EQ(Urls(), (std::vector<std::string>{"http://www.example.test/title/tt0000001/",
                                                "http://www.example.test/Title/tt0000002/"}));
}

TEST_F(ResultListTest, HeadingLineItselfIsNotRead) {
    Parse({"<h2>Popular Results</h2><li><a href=\"/title/tt0000001/\">Alien</a></li>",
           "<li><a href=\"/title/tt0000002/\">Aliens</a></li>"});
    EXPECT_EQ(Titles(), std::vector<std::string>{"Aliens"});
}

TEST_F(ResultListTest, TwoTitleLinksOnOneLineTakeThePathOfTheFirst) {
    Parse({"<h2>Popular Results</h2>",
           "<li><a href=\"/title/tt0000001/\"><img src=\"/covers/a.jpg\" alt=\"\"></a> "
           "<a href=\"/title/tt0000001/?ref=text\">Alien</a> (1979)</li>"});
    EXPECT_EQ(Titles(), std::vector<std::string>{" Alien (1979)"});
    EXPECT_EQ(Urls(), std::vector<std::string>{"http://www.example.test/title/tt0000001/"});
}

TEST_F(ResultListTest, EntrySplitOverTwoLinesJoinsThemAndReadsTheSecondAgain) {
    Parse({"<h2>Popular Results</h2>", "<li><a href=\"/title/tt0000001/\">Alien</a>   ",
           "   (1979)</li><li><a href=\"/title/tt0000002/\">Aliens</a> (1986)</li>",
           "<li><a href=\"/title/tt0000003/\">Alien 3</a>", "(1992)", "</li>"});
    // The third entry finds "</li>" neither on its line nor on the next: it has no title.
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Alien (1979)", "Aliens (1986)"}));
    EXPECT_EQ(Urls(), (std::vector<std::string>{"http://www.example.test/title/tt0000001/",
                                                "http://www.example.test/title/tt0000002/"}));
}

TEST_F(ResultListTest, TitleLinkPastCharacter300IsFound) {
    const std::string padding = "<li class=\"" + std::string(300, 'p') + "\">";
    Parse({"<h2>Popular Results</h2>",
           padding + "<a href=\"/title/tt0000007/\">Far Away</a> (2001)</li>"});
    EXPECT_EQ(Titles(), std::vector<std::string>{"Far Away (2001)"});
    EXPECT_EQ(Urls(), std::vector<std::string>{"http://www.example.test/title/tt0000007/"});
}

TEST_F(ResultListTest, EmptyTitleIsSkippedAndLaterAddressesStayPaired) {
    Parse({"<h2>Popular Results</h2>", "<li><a href=\"/title/tt0000001/\">Alien</a></li>",
           "<li><a href=\"/title/tt0000002/\"><img src=\"x.jpg\"></a>&nbsp;</li>",
           "<li><a href=\"/title/tt0000003/\"></a></li>",
           "<li><a href=\"/title/tt0000004/\">Aliens</a></li>"});
    EXPECT_EQ(Titles(), (std::vector<std::string>{"Alien", "Aliens"}));
    EXPECT_EQ(Urls(), (std::vector<std::string>{"http://www.example.test/title/tt0000001/",
                                                "http://www.example.test/title/tt0000004/"}));
}

TEST_F(ResultListTest, EntitiesAndTagsAreRemovedFromTheTitle) {
    Parse({"<h2>Popular Results</h2>",
           "<li><a href=\"/title/tt0000005/\">Salt &amp; Pepper</a> (1996) <i>Q&A</i></li>"});
    EXPECT_EQ(Titles(), std::vector<std::string>{"Salt  Pepper (1996) Q&A"});
}

TEST_F(ResultListTest, TitleIsCutAt255CharactersBeforeTagsAreRemoved) {
    // The cut falls inside the closing tag, which is then an unclosed "<" and stays.
    const std::string name(252, 'n');
    Parse({"<h2>Popular Results</h2>",
           "<li><a href=\"/title/tt0000006/\">" + name + "</a> (1999)</li>"});
    ASSERT_EQ(Titles().size(), 1u);
    EXPECT_EQ(Titles()[0], name + "</a");
}

TEST_F(ResultListTest, LineWithoutDoubleQuoteGivesAnEmptyPath) {
    Parse({"<h2>Popular Results</h2>", "<li><a href=/title/tt0000008/>Bare</a></li>"});
    EXPECT_EQ(Titles(), std::vector<std::string>{"Bare"});
    EXPECT_EQ(Urls(), std::vector<std::string>{"http://www.example.test"});
}

struct StopCase {
    const char* stop_line;
    bool stops;

    friend void PrintTo(const StopCase& c, std::ostream* os) { *os << c.stop_line; }
};

class ResultListStopTest : public ResultListTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(ResultListStopTest, StopsFromTheSecondLineAfterTheHeadingOn) {
    const StopCase& c = GetParam();
    // The first line after the heading holds "Companies" too, and is read as a result line.
    Parse({"<h2>Popular Results</h2>",
           "<li><a href=\"/title/tt0000001/\">Companies Inc.</a> (1990)</li>", c.stop_line,
           "<li><a href=\"/title/tt0000002/\">After</a> (1991)</li>"});
    if (c.stops) {
        EXPECT_EQ(Titles(), std::vector<std::string>{"Companies Inc. (1990)"});
        EXPECT_TRUE(importer_.PageLines.Empty()) << "the stop empties the page";
    } else {
        EXPECT_EQ(Titles(), (std::vector<std::string>{"Companies Inc. (1990)", "After (1991)"}));
        EXPECT_EQ(importer_.PageLines.Count(), 4);
    }
}

INSTANTIATE_TEST_SUITE_P(
    StopLines, ResultListStopTest,
    ::testing::Values(StopCase{"<h2>Companies</h2>", true}, StopCase{"<p>companies", true},
                      StopCase{"<names>", true}, StopCase{"<NAMES id=\"n\">", true},
                      StopCase{"<h2>Names</h2>", false}, StopCase{"<p>company</p>", false}),
    test_support::PrintedCaseName{});

TEST_F(ResultListTest, StopLineHoldingAnEntryIsNotRead) {
    Parse({"<h2>Popular Results</h2>", "<li><a href=\"/title/tt0000001/\">One</a></li>",
           "<li><a href=\"/title/tt0000002/\">Companies</a></li>"});
    EXPECT_EQ(Titles(), std::vector<std::string>{"One"});
}

TEST_F(ResultListTest, RunningToTheLastLineKeepsTheEntriesAndThePage) {
    Parse({"<h2>Popular Results</h2>", "<li><a href=\"/title/tt0000001/\">One</a></li>",
           "<li><a href=\"/title/tt0000002/\">Two</a> continues"});
    // The second entry would need a line after the last one: it is not added.
    EXPECT_EQ(Titles(), std::vector<std::string>{"One"});
    EXPECT_EQ(importer_.PageLines.Count(), 3);
}

TEST_F(ResultListTest, HeadingOnTheLastLineGivesNothing) {
    Parse({"<title>IMDb Search</title>", "<h2>Popular Results</h2>"});
    EXPECT_TRUE(Titles().empty());
    EXPECT_EQ(importer_.PageLines.Count(), 2);
}

TEST_F(ResultListTest, HeadingIsCaseInsensitiveAndMissingHeadingGivesNothing) {
    Parse({"<H2>POPULAR RESULTS</H2>", "<li><a href=\"/title/tt0000001/\">One</a></li>"});
    EXPECT_EQ(Titles(), std::vector<std::string>{"One"});
    Parse({"<h2>Results</h2>", "<li><a href=\"/title/tt0000001/\">One</a></li>"});
    EXPECT_EQ(Titles(), std::vector<std::string>{"One"}) << "a second parse only appends";
    EXPECT_EQ(importer_.LineIndex, -1);
}

}  // namespace
}  // namespace korvid
