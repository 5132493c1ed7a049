#include "tests/dataset/dataset_files.h"

#include <zlib.h>

#include <stdexcept>

#include "dataset/tsv_row.h"
#include "tests/support/temp_dir.h"

namespace korvid::test_support {

std::string Gzip(const std::string& text) {
    z_stream stream{};
    // 16 + 15: a gzip stream.
    if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
        throw std::runtime_error("deflateInit2 failed");
    }
    std::string out(deflateBound(&stream, text.size()) + 64, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) {
        throw std::runtime_error("deflate failed");
    }
    return out;
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
    return sources;
}

}  // namespace korvid::test_support
