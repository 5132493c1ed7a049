#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/IMDBImport.h"
#include "tests/support/scripted_prompts.h"
#include "tests/support/all_lines.h"

namespace korvid {
namespace {

using test_support::AllLines;

TEST(ImporterTest, ANewImporterHoldsOnlyTheCsvHeaderRow) {
    test_support::ScriptedPrompts prompts;
    const TIMDBImport importer(prompts);
    EXPECT_EQ(
        AllLines(importer.CsvLines),
        std::vector<std::string>{"Productname~Owner~Image~CategoryID~Details~Quality~IMDB_NO"});
    EXPECT_TRUE(importer.ResultTitles.Empty());
    EXPECT_TRUE(importer.ResultUrls.Empty());
    EXPECT_TRUE(importer.PageLines.Empty());
    EXPECT_TRUE(importer.XmlLines.Empty());
    EXPECT_FALSE(importer.MovieFound);
    EXPECT_EQ(importer.LineIndex, 0);
    EXPECT_EQ(importer.GenreSlot, 0);
    EXPECT_TRUE(importer.Title.empty());
}

TEST(ImporterTest, ClearMovieDataEmptiesTheLookupAndKeepsTheRest) {
    test_support::ScriptedPrompts prompts;
    TIMDBImport importer(prompts);
    for (ShortString* field :
         {&importer.Title, &importer.Year, &importer.Director, &importer.LeadRole, &importer.Rated,
          &importer.Genre, &importer.TagLine, &importer.Plot, &importer.PosterFile,
          &importer.RunningTime, &importer.Host, &importer.AppDir, &importer.MovieUrl,
          &importer.CastTrueName, &importer.CastName, &importer.PosterUrl, &importer.CsvRow}) {
        *field = "value";
    }
    importer.Genres[1] = "Drama";
    importer.GenreSlot = 2;
    importer.LineIndex = 7;
    importer.MovieFound = true;
    for (LineList* list : {&importer.ResultTitles, &importer.ResultUrls, &importer.PageLines,
                           &importer.XmlLines, &importer.CsvLines}) {
        list->Add("line");
    }

    importer.ClearMovieData();

    for (const ShortString* emptied :
         {&importer.Genre, &importer.Director, &importer.Year, &importer.RunningTime,
          &importer.Rated, &importer.TagLine, &importer.Plot, &importer.PosterFile}) {
        EXPECT_TRUE(emptied->empty());
    }
    for (const ShortString* kept :
         {&importer.Title, &importer.LeadRole, &importer.Host, &importer.AppDir, &importer.MovieUrl,
          &importer.CastTrueName, &importer.CastName, &importer.PosterUrl, &importer.CsvRow}) {
        EXPECT_EQ(*kept, "value");
    }
    EXPECT_TRUE(importer.ResultTitles.Empty());
    EXPECT_TRUE(importer.ResultUrls.Empty());
    EXPECT_TRUE(importer.PageLines.Empty());
    EXPECT_EQ(importer.XmlLines.Count(), 1);
    EXPECT_EQ(importer.CsvLines.Count(), 2);
    EXPECT_EQ(importer.Genres[1], "Drama");
    EXPECT_EQ(importer.GenreSlot, 2);
    EXPECT_EQ(importer.LineIndex, 7);
    EXPECT_TRUE(importer.MovieFound);
}

}  // namespace
}  // namespace korvid
