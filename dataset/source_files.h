#pragma once
// The site's data-set files a film database is built from, in the order an update fetches
// them, with the compressed size each had when last looked at (late 2026): what an update's
// progress counts on before a file's answer gives its length, and what a download needs on
// the disk. The alternative titles may be missing from a folder of files fetched elsewhere:
// a database is then built without them.

#include <cstdint>

namespace korvid::dataset {

struct DatasetFile {
    const char* name;
    std::uint64_t expected_bytes;
    bool required;
};

inline constexpr DatasetFile DatasetFiles[] = {
    {"title.basics.tsv.gz", 215'000'000, true},
    {"title.ratings.tsv.gz", 8'000'000, true},
    {"title.crew.tsv.gz", 75'000'000, true},
    {"title.principals.tsv.gz", 680'000'000, true},
    {"name.basics.tsv.gz", 275'000'000, true},
    {"title.akas.tsv.gz", 470'000'000, false},
};

inline constexpr const char* AkasFileName = "title.akas.tsv.gz";

// The bytes of all the files together, as expected.
constexpr std::uint64_t ExpectedDatasetBytes() {
    std::uint64_t total = 0;
    for (const DatasetFile& file : DatasetFiles) {
        total += file.expected_bytes;
    }
    return total;
}

}  // namespace korvid::dataset
