// A build from small files the test writes, and what the database then answers for each
// title: the columns with "\N", several genres and directors, a title without principals or
// rating, characters with quotes and non-ASCII text, 7- and 8-digit ids, an episode left
// out, malformed rows counted, and the same answers when the files are not sorted.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <vector>

#include "dataset/database_build.h"
#include "dataset/film_database.h"
#include "tests/dataset/dataset_files.h"
#include "tests/support/temp_dir.h"

namespace korvid::dataset {
namespace {

using test_support::DatasetRows;
using test_support::TempDir;

DatasetRows SampleRows() {
    DatasetRows rows;
    rows.basics =
        "tt0078748\tmovie\tAlien\tAlien\t0\t1979\t\\N\t117\tHorror,Sci-Fi\n"
        "tt0133093\tmovie\tThe Matrix\tThe Matrix\t0\t1999\t\\N\t136\tAction,Sci-Fi\n"
        "tt10000001\ttvSeries\tZo\xC3\xAB's \xC3\x89t\xC3\xA9\tLe \"Grand\" \xC3\x89t\xC3\xA9\t0\t"
        "2019\t2021\t45\tComedy,Drama,Family\n"
        "tt0000009\ttvEpisode\tAlien Episode\tAlien Episode\t0\t2001\t\\N\t30\tDrama\n"
        "tt0000010\t\\N\tUntyped\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\n"
        "tt0000011\tshort\tNo Principals\tNo Principals\t0\t1900\t\\N\t5\t\\N\n"
        // Malformed: too few columns, a bad id, no id, no title, a year that is no number.
        "tt0000012\tmovie\tShort Row\n"
        "xx0000013\tmovie\tBad Id\tBad Id\t0\t2000\t\\N\t90\tDrama\n"
        "\\N\tmovie\tNo Id\tNo Id\t0\t2000\t\\N\t90\tDrama\n"
        "tt0000014\tmovie\t\\N\t\\N\t0\t2000\t\\N\t90\tDrama\n"
        "tt0000015\tmovie\tBad Year\tBad Year\t0\t19x9\t\\N\t90\tDrama\n";
    rows.ratings =
        "tt0000010\t\\N\t\\N\n"
        "tt0078748\t8.5\t900000\n"
        "tt0133093\t8.7\t2000000\n"
        "tt10000001\t7.1\t1234\n"
        "tt0000099\t8.1\n";
    rows.crew =
        "tt0000009\tnm0000631\t\\N\n"
        "tt0000010\t\\N\t\\N\n"
        "tt0000011\tnmXX\t\\N\n"
        "tt0078748\tnm0000631,nm0000002\tnm0000003\n"
        "tt0133093\tnm0905154,nm0905152\t\\N\n"
        "tt10000001\tnm10000001\t\\N\n";
    rows.principals =
        "tt0000010\t1\tnm0000005\tactor\t\\N\t\\N\n"
        "tt0078748\t1\tnm0000631\tdirector\t\\N\t\\N\n"
        "tt0078748\t2\tnm0000244\tactress\t\\N\t[\"Ripley\"]\n"
        "tt0078748\t3\tnm0000001\tactor\t\\N\t[\"Dallas\"]\n"
        "tt0078748\tx\tnm0000001\tactor\t\\N\t\\N\n"
        "tt0133093\t1\tnm0000206\tactor\t\\N\t[\"Neo\",\"Thomas\"]\n"
        "tt10000001\t1\tnm10000001\tdirector\t\\N\t\\N\n"
        "tt10000001\t2\tnm10000002\tself\t\\N\t[\"Zo\xC3\xAB \\\"Z\\\" \\u00dcnal\",\"x\"]\n";
    rows.names =
        "nm0000001\tTom Skerritt\t1933\t\\N\tactor\t\\N\n"
        "nm0000002\tOther Director\t\\N\t\\N\t\\N\t\\N\n"
        "nm0000005\tLead Five\t\\N\t\\N\t\\N\t\\N\n"
        "nm0000007\n"
        "nm0000206\tKeanu Reeves\t1964\t\\N\tactor\ttt0133093\n"
        "nm0000244\tSigourney Weaver\t1949\t\\N\tactress\ttt0078748\n"
        "nm0000631\tRidley Scott\t1937\t\\N\tdirector\ttt0078748\n"
        "nm0905154\tLana Wachowski\t1965\t\\N\tdirector\ttt0133093\n"
        "nm10000001\tJ\xC3\xB6ns \xC3\x85"
        "berg\t\\N\t\\N\t\\N\t\\N\n"
        "nm10000002\tZo\xC3\xAB \xC3\x9Cnal\t\\N\t\\N\t\\N\t\\N\n";
    return rows;
}

// The lines of a text in reverse order: a file that is not sorted.
std::string Reversed(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    std::reverse(lines.begin(), lines.end());
    std::string out;
    for (const auto& line : lines) {
        out += line + "\n";
    }
    return out;
}

struct Order {
    const char* name;
    bool reversed;
};

class BuildTest : public ::testing::TestWithParam<Order> {
  protected:
    void SetUp() override {
        DatasetRows rows = SampleRows();
        if (GetParam().reversed) {
            rows = {Reversed(rows.basics), Reversed(rows.ratings), Reversed(rows.crew),
                    Reversed(rows.principals), Reversed(rows.names)};
        }
        const BuildSources sources = test_support::WriteDataset(dir_.Path(), rows);
        report_ = BuildDatabase(sources, db_path_);
    }

    TempDir dir_;
    std::string db_path_ = dir_.File("db/films.sqlite");
    BuildReport report_;
};

TEST_P(BuildTest, KeepsEveryTitleButEpisodesWithItsFacts) {
    EXPECT_EQ(report_.titles, 5);
    EXPECT_EQ(report_.names, 7);
    EXPECT_EQ(report_.skipped_rows, 9);
    FilmDatabase db(db_path_);

    const auto alien = db.Film("tt0078748");
    ASSERT_TRUE(alien);
    EXPECT_EQ(alien->type, "movie");
    EXPECT_EQ(alien->primary_title, "Alien");
    EXPECT_EQ(alien->original_title, "Alien");
    EXPECT_EQ(alien->year, 1979);
    EXPECT_EQ(alien->minutes, 117);
    EXPECT_EQ(alien->genres, (std::vector<std::string>{"Horror", "Sci-Fi"}));
    EXPECT_EQ(alien->rating, "8.5");
    EXPECT_EQ(alien->votes, 900000);
    EXPECT_EQ(alien->director, "Ridley Scott");  // the first of two
    EXPECT_EQ(alien->lead, "Sigourney Weaver");  // the lowest ordering of the cast
    EXPECT_EQ(alien->lead_character, "Ripley");

    const auto matrix = db.Film("tt0133093");
    ASSERT_TRUE(matrix);
    EXPECT_EQ(matrix->director, "Lana Wachowski");
    EXPECT_EQ(matrix->lead, "Keanu Reeves");
    EXPECT_EQ(matrix->lead_character, "Neo");

    const auto series = db.Film("tt10000001");
    ASSERT_TRUE(series);
    EXPECT_EQ(series->tconst, "tt10000001");
    EXPECT_EQ(series->type, "tvSeries");
    EXPECT_EQ(series->primary_title, "Zo\xC3\xAB's \xC3\x89t\xC3\xA9");
    EXPECT_EQ(series->original_title, "Le \"Grand\" \xC3\x89t\xC3\xA9");
    EXPECT_EQ(series->genres, (std::vector<std::string>{"Comedy", "Drama", "Family"}));
    EXPECT_EQ(series->director,
              "J\xC3\xB6ns \xC3\x85"
              "berg");
    EXPECT_EQ(series->lead, "Zo\xC3\xAB \xC3\x9Cnal");
    EXPECT_EQ(series->lead_character, "Zo\xC3\xAB \"Z\" \xC3\x9Cnal");

    const auto untyped = db.Film("tt0000010");
    ASSERT_TRUE(untyped);
    EXPECT_EQ(untyped->type, "");
    EXPECT_EQ(untyped->original_title, "Untyped");
    EXPECT_FALSE(untyped->year);
    EXPECT_FALSE(untyped->minutes);
    EXPECT_TRUE(untyped->genres.empty());
    EXPECT_EQ(untyped->rating, "");
    EXPECT_EQ(untyped->votes, 0);
    EXPECT_EQ(untyped->director, "");
    EXPECT_EQ(untyped->lead, "Lead Five");
    EXPECT_EQ(untyped->lead_character, "");

    const auto bare = db.Film("tt0000011");
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->year, 1900);
    EXPECT_EQ(bare->rating, "");
    EXPECT_EQ(bare->votes, 0);
    EXPECT_EQ(bare->director, "");  // its crew row is malformed
    EXPECT_EQ(bare->lead, "");

    EXPECT_FALSE(db.Film("tt0000009"));   // an episode
    EXPECT_FALSE(db.Film("tt0000015"));   // a malformed row
    EXPECT_FALSE(db.Film("tt00000010"));  // another id than tt0000010
    EXPECT_FALSE(db.Film(""));
}

INSTANTIATE_TEST_SUITE_P(FileOrders, BuildTest,
                         ::testing::Values(Order{"Sorted", false}, Order{"Reversed", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BuildStatus, TellsWhereTheDatabaseCameFrom) {
    TempDir dir;
    const std::string db_path = dir.File("films.sqlite");
    BuildSources sources = test_support::WriteDataset(dir.Path(), SampleRows());
    sources.title_crew.date = "2026-12-05T10:00:00Z";
    BuildDatabase(sources, db_path);

    const DatabaseStatus status = FilmDatabase(db_path).Status();
    EXPECT_EQ(status.path, db_path);
    EXPECT_EQ(status.built_at.size(), 20u) << status.built_at;
    EXPECT_EQ(status.built_at.substr(0, 2), "20");
    EXPECT_EQ(status.built_at.back(), 'Z');
    const std::vector<std::pair<std::string, std::string>> dates = {
        {"title.basics.tsv.gz", "2026-12-06T00:00:00Z"},
        {"title.ratings.tsv.gz", "2026-12-06T00:00:00Z"},
        {"title.crew.tsv.gz", "2026-12-05T10:00:00Z"},
        {"title.principals.tsv.gz", "2026-12-06T00:00:00Z"},
        {"name.basics.tsv.gz", "2026-12-06T00:00:00Z"}};
    EXPECT_EQ(status.file_dates, dates);
    EXPECT_EQ(status.titles, 5);
    EXPECT_EQ(status.names, 7);
    EXPECT_EQ(status.skipped_rows, 9);
    EXPECT_EQ(status.size_bytes,
              static_cast<std::int64_t>(test_support::ReadFileBytes(db_path).size()));
}

TEST(BuildProgress, TellsEachFileToItsEnd) {
    TempDir dir;
    const BuildSources sources = test_support::WriteDataset(dir.Path(), SampleRows());
    std::vector<BuildProgress> last_of_file;
    BuildDatabase(sources, dir.File("films.sqlite"), [&](const BuildProgress& progress) {
        if (last_of_file.empty() || last_of_file.back().file != progress.file) {
            last_of_file.push_back(progress);
        } else {
            last_of_file.back() = progress;
        }
    });
    // The five files in the order read, numbered, then the index phase.
    ASSERT_EQ(last_of_file.size(), 6u);
    for (int i = 0; i < 5; ++i) {
        const BuildProgress& progress = last_of_file[i];
        EXPECT_EQ(progress.bytes_read, progress.bytes_total) << progress.file;
        EXPECT_GT(progress.rows, 0u) << progress.file;
        EXPECT_EQ(progress.phase, BuildProgress::Phase::Reading);
        EXPECT_EQ(progress.file_number, i + 1);
    }
    EXPECT_EQ(last_of_file[5].phase, BuildProgress::Phase::Indexing);
    EXPECT_EQ(last_of_file[5].file_number, 0);
    EXPECT_EQ(last_of_file[1].file, "title.basics.tsv.gz");
    EXPECT_EQ(last_of_file[1].rows, 11u);
}

TEST(OpenDatabase, RefusesWhatIsNotACompleteDatabase) {
    TempDir dir;
    EXPECT_THROW(FilmDatabase(dir.File("missing.sqlite")), DatasetError);
    test_support::WriteFileBytes(dir.File("text.sqlite"), "not a database at all\n");
    EXPECT_THROW(FilmDatabase(dir.File("text.sqlite")), DatasetError);
    test_support::WriteFileBytes(dir.File("empty.sqlite"), "");
    EXPECT_THROW(FilmDatabase(dir.File("empty.sqlite")), DatasetError);
    try {
        FilmDatabase db(dir.File("text.sqlite"));
        ADD_FAILURE() << "opened a text file";
    } catch (const DatasetError& error) {
        EXPECT_NE(std::string(error.what()).find("text.sqlite"), std::string::npos);
    }
}

}  // namespace
}  // namespace korvid::dataset
