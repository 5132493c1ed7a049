// A film by any of its titles: the alternative titles of title.akas kept by the build, folded
// for every script, and searched in the order exact own titles, exact alternative titles, word
// matches by votes, each found through an alternative title naming it. A database of the
// earlier schema still answers with its own fold.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dataset/database_build.h"
#include "dataset/database_schema.h"
#include "dataset/film_database.h"
#include "dataset/sqlite_db.h"
#include "tests/dataset/dataset_files.h"
#include "tests/support/temp_dir.h"

namespace korvid::dataset {
namespace {

using test_support::TempDir;

class AlternativeTitlesTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir();
        test_support::DatasetRows rows;
        rows.basics =
            "tt0211915\tmovie\tAm\xC3\xA9lie\tLe Fabuleux Destin d'Am\xC3\xA9lie Poulain\t0\t2001\t"
            "\\N\t122\tComedy,Romance\n"
            "tt0079944\tmovie\tStalker\t\xD0\xA1\xD1\x82\xD0\xB0\xD0\xBB\xD0\xBA\xD0\xB5\xD1\x80\t0"
            "\t"
            "1979\t\\N\t162\tDrama,Sci-Fi\n"
            "tt0245429\tmovie\tSpirited "
            "Away\t\xE5\x8D\x83\xE3\x81\xA8\xE5\x8D\x83\xE5\xB0\x8B\xE3\x81"
            "\xAE\xE7\xA5\x9E\xE9\x9A\xA0\xE3\x81\x97\t0\t2001\t\\N\t125\tAnimation\n"
            "tt6751668\tmovie\tParasite\t\xEA\xB8\xB0\xEC\x83\x9D\xEC\xB6\xA9\t0\t2019\t\\N\t132\t"
            "Drama\n"
            "tt0073800\tmovie\tThe Travelling Players\tO thiasos\t0\t1975\t\\N\t230\tDrama\n"
            "tt9200001\tmovie\tDie fabelhafte Welt der Am\xC3\xA9lie\tDie fabelhafte Welt der "
            "Am\xC3\xA9lie\t0\t2010\t\\N\t80\tDocumentary\n";
        rows.ratings =
            "tt0211915\t8.3\t800000\n"
            "tt0079944\t8.0\t150000\n"
            "tt0245429\t8.6\t900000\n"
            "tt6751668\t8.5\t850000\n"
            "tt0073800\t7.9\t5000\n"
            "tt9200001\t5.0\t10\n";
        rows.akas =
            // Kept: other scripts and languages; dropped: the title's own titles once folded.
            "tt0211915\t1\t\xD0\x90\xD0\xBC\xD0\xB5\xD0\xBB\xD0\xB8\tRU\tru\timdbDisplay\t\\N\t0\n"
            "tt0211915\t2\tDie fabelhafte Welt der Am\xC3\xA9lie\tDE\t\\N\timdbDisplay\t\\N\t0\n"
            "tt0211915\t3\tAMELIE\tUS\t\\N\timdbDisplay\x02"
            "festival\t\\N\t0\n"
            "tt0211915\t4\tLe fabuleux destin d'Am\xC3\xA9lie Poulain\tFR\t\\N\toriginal\t\\N\t1\n"
            "tt0211915\t5\t\xD0\x90\xD0\x9C\xD0\x95\xD0\x9B\xD0\x98\tUA\t\\N\t\\N\t\\N\t0\n"
            "tt0079944\t1\t\xD0\xA1\xD1\x82\xD0\xB0\xD0\xBB\xD0\xBA\xD0\xB5\xD1\x80\tSUHH\tru\t\\N"
            "\t"
            "\\N\t1\n"
            "tt0245429\t1\tChihiros Reise ins Zauberland\tDE\t\\N\timdbDisplay\t\\N\t0\n"
            "tt0073800\t1\t\xCE\x9F \xCE\x98\xCE\xAF\xCE\xB1\xCF\x83\xCE\xBF\xCF\x82\tGR\tel\t"
            "imdbDisplay\t\\N\t0\n"
            "tt0073800\t2\tno region\t\\N\t\\N\t\\N\t\\N\t0\n"
            "tt0073800\tx\tmalformed ordering\tGR\t\\N\t\\N\t\\N\t0\n"
            "tt9999998\t1\tA title nobody kept\tUS\t\\N\t\\N\t\\N\t0\n";
        db_path_ = new std::string(dir_->File("films.sqlite"));
        report_ = BuildDatabase(test_support::WriteDataset(dir_->Path(), rows), *db_path_);
    }
    static void TearDownTestSuite() {
        delete db_path_;
        delete dir_;
    }

    // Each entry as "tconst", "tconst=" (its own title exact), "tconst~" (an alternative title
    // exact), with "[matched title|region]" when an alternative title matched.
    static std::vector<std::string> Entries(const std::vector<SearchEntry>& entries) {
        std::vector<std::string> shown;
        for (const SearchEntry& entry : entries) {
            std::string text =
                entry.tconst + (entry.exact ? "=" : "") + (entry.exact_alternative ? "~" : "");
            if (!entry.matched_title.empty()) {
                text += "[" + entry.matched_title + "|" + entry.matched_region + "]";
            }
            shown.push_back(text);
        }
        return shown;
    }

    static inline TempDir* dir_ = nullptr;
    static inline std::string* db_path_ = nullptr;
    static inline BuildReport report_;
};

TEST_F(AlternativeTitlesTest, AFilmIsFoundByAnyOfItsTitlesInAnyScriptCaseOrAccent) {
    const struct {
        const char* typed;
        std::vector<std::string> entries;
    } cases[] = {
        // Cyrillic in any case, and the other spellings of one title.
        {"\xD0\xB0\xD0\xBC\xD0\xB5\xD0\xBB\xD0\xB8",
         {"tt0211915~[\xD0\x90\xD0\xBC\xD0\xB5\xD0\xBB\xD0\xB8|RU]"}},
        {"\xD0\x90\xD0\x9C\xD0\x95\xD0\x9B\xD0\x98",
         {"tt0211915~[\xD0\x90\xD0\xBC\xD0\xB5\xD0\xBB\xD0\xB8|RU]"}},
        // Greek without its accent; a title with no region names none.
        {"\xCE\xBF \xCE\xB8\xCE\xB9\xCE\xB1\xCF\x83\xCE\xBF\xCF\x82",
         {"tt0073800~[\xCE\x9F \xCE\x98\xCE\xAF\xCE\xB1\xCF\x83\xCE\xBF\xCF\x82|GR]"}},
        {"region", {"tt0073800[no region|]"}},
        // The original title in its own script is the film's own, not an alternative.
        {"\xD1\x81\xD1\x82\xD0\xB0\xD0\xBB\xD0\xBA\xD0\xB5\xD1\x80", {"tt0079944="}},
        {"\xEA\xB8\xB0\xEC\x83\x9D\xEC\xB6\xA9", {"tt6751668="}},
        // Two or three characters from inside a Japanese or Korean title.
        {"\xE5\x8D\x83\xE5\xB0\x8B", {"tt0245429"}},
        {"\xE7\xA5\x9E\xE9\x9A\xA0\xE3\x81\x97", {"tt0245429"}},
        {"\xEA\xB8\xB0\xEC\x83\x9D", {"tt6751668"}},
        {"\xE9\x9A\xA0\xE5\x8D\x83", {}},
        // Words of an alternative title, and the order: own titles exact, alternative
        // titles exact, then word matches by votes.
        {"zauberland", {"tt0245429[Chihiros Reise ins Zauberland|DE]"}},
        {"die fabelhafte welt der amelie",
         {"tt9200001=", "tt0211915~[Die fabelhafte Welt der Am\xC3\xA9lie|DE]"}},
        {"amelie", {"tt0211915=", "tt9200001"}},
        {"nobody", {}},
    };
    const FilmDatabase database(*db_path_);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(Entries(database.Search(c.typed)), c.entries);
    }
}

TEST_F(AlternativeTitlesTest, OnlyTheAlternativeTitlesThatDifferFromTheTitlesOwnAreKept) {
    // Амели, Die fabelhafte Welt der Amélie, Chihiros Reise ins Zauberland, Ο Θίασος and
    // "no region": АМЕЛИ folds to Амели, AMELIE and the French original to the film's own.
    EXPECT_EQ(report_.alternative_titles, 5);
    EXPECT_EQ(report_.skipped_rows, 1);  // the malformed ordering
    const DatabaseStatus status = FilmDatabase(*db_path_).Status();
    EXPECT_EQ(status.schema_version, 2);
    EXPECT_TRUE(status.has_alternative_titles);
    EXPECT_EQ(status.alternative_titles, 5);
}

TEST_F(AlternativeTitlesTest, AFolderWithoutAlternativeTitlesBuildsWithoutThem) {
    TempDir dir;
    test_support::DatasetRows rows;
    rows.basics = "tt0211915\tmovie\tAm\xC3\xA9lie\tAm\xC3\xA9lie\t0\t2001\t\\N\t122\tComedy\n";
    const std::string path = dir.File("films.sqlite");
    BuildDatabase(test_support::WriteDataset(dir.Path(), rows), path);
    const FilmDatabase database(path);
    EXPECT_FALSE(database.Status().has_alternative_titles);
    EXPECT_EQ(Entries(database.Search("AMELIE")), std::vector<std::string>{"tt0211915="});

    // A title.akas of its header alone is refused, not taken for a film data without them.
    rows.akas = "\n";
    EXPECT_THROW(BuildDatabase(test_support::WriteDataset(dir.Path(), rows), path), DatasetError);
}

// A database an earlier Korvid built: its tables, keys folded the earlier way and its word
// index over the raw titles. It answers as before.
TEST(EarlierSchemaTest, ADatabaseOfTheEarlierSchemaStillAnswers) {
    TempDir dir;
    const std::string path = dir.File("films.sqlite");
    {
        SqliteConnection db(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        db.Exec(kSchema1Tables);
        db.Exec(
            "INSERT INTO titles VALUES(1, 'tt9100005', 'movie', 'Jo\xC3\xABlle', NULL, 2004, 95, "
            "'Drama', '7.1', 2500, NULL, NULL, NULL, 'joelle', NULL);"
            "INSERT INTO meta VALUES('schema_version', '1'), ('complete', '1');");
        db.Exec(kSchema1Indexes);
        db.Close();
    }
    const FilmDatabase database(path);
    EXPECT_EQ(database.Status().schema_version, 1);
    EXPECT_FALSE(database.Status().has_alternative_titles);
    for (const char* typed : {"JO\xC3\x8BLLE", "joelle"}) {
        const auto entries = database.Search(typed);
        ASSERT_EQ(entries.size(), 1u) << typed;
        EXPECT_TRUE(entries[0].exact);
    }
}

}  // namespace
}  // namespace korvid::dataset
