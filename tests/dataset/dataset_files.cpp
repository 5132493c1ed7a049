#include "tests/dataset/dataset_files.h"

#include <cstdio>
#include <stdexcept>

#include "dataset/database_schema.h"
#include "dataset/sqlite_db.h"
#include "dataset/tsv_row.h"
#include "sample-site/sample_site.h"
#include "tests/support/temp_dir.h"

namespace korvid::test_support {

std::string Gzip(const std::string& text) {
    return sample::GzipCompress(text);
}

void WriteGzipFile(const std::string& path, const std::string& text) {
    WriteFileBytes(path, Gzip(text));
}

dataset::BuildSources WriteDataset(const std::string& folder, const DatasetRows& rows) {
    const auto write = [&](const char* name, std::string_view header, const std::string& body) {
        const std::string path = folder + "/" + name;
        WriteGzipFile(path, std::string(header) + "\n" + body);
        return dataset::SourceFile{path, "2026-12-06T00:00:00Z"};
    };
    dataset::BuildSources sources;
    sources.title_basics = write("title.basics.tsv.gz", dataset::kBasicsHeader, rows.basics);
    sources.title_ratings = write("title.ratings.tsv.gz", dataset::kRatingsHeader, rows.ratings);
    sources.title_crew = write("title.crew.tsv.gz", dataset::kCrewHeader, rows.crew);
    sources.title_principals =
        write("title.principals.tsv.gz", dataset::kPrincipalsHeader, rows.principals);
    sources.name_basics = write("name.basics.tsv.gz", dataset::kNamesHeader, rows.names);
    if (!rows.akas.empty()) {
        sources.title_akas = write("title.akas.tsv.gz", dataset::kAkasHeader, rows.akas);
    }
    return sources;
}

void MakeEarlierSchema(const std::string& db_path) {
    const std::string today = db_path + ".today";
    if (std::rename(db_path.c_str(), today.c_str()) != 0) {
        throw std::runtime_error("cannot move " + db_path);
    }
    {
        dataset::SqliteConnection db(db_path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        db.Exec(dataset::kSchema1Tables);
        db.Exec(("ATTACH '" + today + "' AS today").c_str());
        db.Exec(
            "INSERT INTO titles SELECT * FROM today.titles;"
            "INSERT INTO names SELECT * FROM today.names;"
            "INSERT INTO meta SELECT key, CASE key WHEN 'schema_version' THEN '1' ELSE value END "
            "FROM today.meta WHERE key NOT LIKE '%title.akas%' AND key <> 'alternative_titles';"
            "DETACH today;");
        db.Exec(dataset::kSchema1Indexes);
        db.Close();
    }
    std::remove(today.c_str());
}

}  // namespace korvid::test_support
