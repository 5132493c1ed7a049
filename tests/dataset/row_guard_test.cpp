// A rebuild compares each file's rows with those its copy gave the database it would replace:
// a file that yields fewer than half is refused by name and the old database kept, unless the
// build is forced. Files the old database was built without, and a database that recorded no
// rows, are not compared.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "dataset/database_build.h"
#include "dataset/film_database.h"
#include "dataset/sqlite_db.h"
#include "tests/dataset/dataset_files.h"
#include "tests/support/temp_dir.h"

namespace korvid::dataset {
namespace {

using test_support::DatasetRows;

constexpr int kRows = 20;

DatasetRows FullRows() {
    DatasetRows rows;
    for (int i = 1; i <= kRows; ++i) {
        char id[16];
        std::snprintf(id, sizeof id, "%07d", i);
        const std::string title = "tt" + std::string(id);
        const std::string name = "nm" + std::string(id);
        const std::string number = std::to_string(i);
        rows.basics += title + "\tmovie\tFilm " + number + "\tFilm\t0\t2000\t\\N\t90\tDrama\n";
        rows.ratings += title + "\t7.0\t" + number + "0\n";
        rows.crew += title + "\t" + name + "\t\\N\n";
        rows.principals += title + "\t1\t" + name + "\tactor\t\\N\t[\"Role\"]\n";
        rows.names += name + "\tPerson " + number + "\t\\N\t\\N\t\\N\t\\N\n";
        rows.akas += title + "\t1\tOther " + number + "\tDE\tde\t\\N\t\\N\t0\n";
    }
    return rows;
}

std::string FirstLines(const std::string& text, int count) {
    std::size_t end = 0;
    for (int i = 0; i < count; ++i) {
        end = text.find('\n', end) + 1;
    }
    return text.substr(0, end);
}

std::uint64_t RowsOf(const std::string& db_path, const std::string& file) {
    for (const auto& [name, rows] : FilmDatabase(db_path).Status().file_rows) {
        if (name == file) {
            return rows;
        }
    }
    return 0;
}

TEST(RowGuard, AFileOfFewerThanHalfItsRowsIsRefusedByNameUnlessForced) {
    struct Case {
        const char* file;
        std::string DatasetRows::*rows;
        int kept;             // of kRows, in the new copy
        bool old_has_akas;    // the old database was built with the alternative titles
        bool old_rows_known;  // the old database recorded its files' rows
        bool refused;
    };
    const Case cases[] = {
        {"title.basics.tsv.gz", &DatasetRows::basics, 9, true, true, true},
        {"title.ratings.tsv.gz", &DatasetRows::ratings, 9, true, true, true},
        {"title.crew.tsv.gz", &DatasetRows::crew, 9, true, true, true},
        {"title.principals.tsv.gz", &DatasetRows::principals, 0, true, true, true},
        {"name.basics.tsv.gz", &DatasetRows::names, 9, true, true, true},
        {"title.akas.tsv.gz", &DatasetRows::akas, 9, true, true, true},
        // Half is not fewer than half.
        {"title.crew.tsv.gz", &DatasetRows::crew, 10, true, true, false},
        {"title.akas.tsv.gz", &DatasetRows::akas, 1, false, true, false},
        {"title.principals.tsv.gz", &DatasetRows::principals, 1, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " kept " + std::to_string(c.kept) +
                     (c.old_has_akas ? "" : ", old without akas") +
                     (c.old_rows_known ? "" : ", old without rows"));
        test_support::TempDir dir;
        std::filesystem::create_directories(dir.File("old"));
        std::filesystem::create_directories(dir.File("new"));
        const std::string db_path = dir.File("films.sqlite");
        DatasetRows old_rows = FullRows();
        if (!c.old_has_akas) {
            old_rows.akas.clear();
        }
        BuildDatabase(test_support::WriteDataset(dir.File("old"), old_rows), db_path);
        if (!c.old_rows_known) {
            SqliteConnection db(db_path, SQLITE_OPEN_READWRITE);
            db.Exec("DELETE FROM meta WHERE key LIKE 'rows:%'");
            db.Close();
        }
        DatasetRows new_rows = FullRows();
        new_rows.*c.rows = FirstLines(new_rows.*c.rows, c.kept);
        const BuildSources sources = test_support::WriteDataset(dir.File("new"), new_rows);

        try {
            BuildDatabase(sources, db_path);
            EXPECT_FALSE(c.refused) << "the build went through";
        } catch (const TooFewRows& refusal) {
            EXPECT_TRUE(c.refused) << refusal.what();
            EXPECT_EQ(refusal.File(), c.file);
            EXPECT_EQ(std::string(refusal.what()),
                      std::string(c.file) +
                          ": the new file holds fewer than half the rows of the copy the film "
                          "database was built from (" +
                          std::to_string(c.kept) + " of " + std::to_string(kRows) +
                          "); the old database is kept");
            EXPECT_EQ(RowsOf(db_path, c.file), static_cast<std::uint64_t>(kRows));
            EXPECT_EQ(FilmDatabase(db_path).Status().titles, kRows);
            BuildDatabase(sources, db_path, {}, {}, true);
        }
        EXPECT_EQ(RowsOf(db_path, c.file), static_cast<std::uint64_t>(c.kept));
    }
}

}  // namespace
}  // namespace korvid::dataset
