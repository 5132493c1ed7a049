#include "tests/dataset/dataset_files.h"

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

}  // namespace korvid::test_support
