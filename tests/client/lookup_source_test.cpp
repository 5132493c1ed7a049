// What the front ends are told of each source, and the fall-back to the site when the film
// database fails during a lookup, on a real database spoilt in place and a loopback site.

#include "client/lookup_source.h"

#include <gtest/gtest.h>

#include <string>

#include "client/IMDBImport.h"
#include "client/database_watch.h"
#include "dataset/database_build.h"
#include "dataset/film_database.h"
#include "loopback/loopback_server.h"
#include "tests/dataset/dataset_files.h"
#include "tests/support/local_films.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/temp_dir.h"

namespace korvid {
namespace {

using loopback::HttpResponse;
using test_support::TempDir;

TEST(SourceFactsTest, EachSourceTellsItsNameCreditPlotCoverAndPace) {
    struct Row {
        LookupSource source;
        std::string name;
        std::string credit;
        std::string nothing_found;
        bool plot;
        bool cover_later;
        bool paced;
    };
    for (const Row& row :
         {Row{LookupSource::Site, "site", "", "No film found", true, false, true},
          Row{LookupSource::Local, "local", dataset::CreditLine,
              "No film found in the local film data", false, true, false}}) {
        const SourceFacts& facts = FactsOf(row.source);
        EXPECT_EQ(facts.name, row.name);
        EXPECT_EQ(facts.credit, row.credit);
        EXPECT_EQ(facts.nothing_found, row.nothing_found);
        EXPECT_EQ(facts.has_plot_and_tagline, row.plot);
        EXPECT_EQ(facts.cover_comes_later, row.cover_later);
        EXPECT_EQ(facts.paced, row.paced);
        EXPECT_EQ(std::string(facts.answered).rfind("OK", 0), 0u);
    }
    EXPECT_EQ(SourceFor(nullptr), LookupSource::Site);
}

TEST(FallBackTest, ADatabaseSpoiltDuringALookupGivesWayToTheSiteWithTheCause) {
    TempDir dir;
    const std::string path = dir.File("films.sqlite");
    dataset::BuildDatabase(test_support::WriteDataset(dir.Path(), test_support::LocalFilmRows),
                           path);
    loopback::LoopbackServer site([](const loopback::HttpRequest&) {
        return HttpResponse::Ok("<html><head><title>The nothing</title>");
    });
    test_support::ScriptedPrompts prompts;
    TIMDBImport importer(prompts);
    importer.Host = site.HostPort();
    importer.AppDir = dir.Dir();
    importer.Title = "lantern";
    FilmDatabaseWatch watch(importer, path);
    ASSERT_EQ(watch.Check(), FilmDatabaseWatch::Change::Opened);
    // Spoilt in place: the file's identity may stay as it was, the database fails when asked.
    test_support::WriteFileBytes(path, std::string(1 << 16, 'x'));

    std::string note;
    int runs = 0;
    LookWithFallBack(importer, &watch, [&] { ++runs; return importer.SearchTitle(); }, note);
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(importer.Source(), LookupSource::Site);
    EXPECT_FALSE(importer.HasFilmDatabase());
    EXPECT_NE(note.find("database"), std::string::npos) << note;
    EXPECT_FALSE(importer.MovieFound);
    EXPECT_FALSE(site.Requests().empty());
}

}  // namespace
}  // namespace korvid
