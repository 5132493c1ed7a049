#pragma once
// Writes the data-set files of a test into a temporary folder, gzip-compressed with
// zlib, each with its header line.

#include <string>

#include "dataset/database_build.h"

namespace korvid::test_support {

// The rows of each file, one a line, without the header.
struct DatasetRows {
    std::string basics;
    std::string ratings;
    std::string crew;
    std::string principals;
    std::string names;
    // Empty: no title.akas file is written, as in a folder without the alternative titles.
    std::string akas{};
};

std::string Gzip(const std::string& text);
void WriteGzipFile(const std::string& path, const std::string& text);

// Writes the files into folder and names them in the sources, dated
// "2026-12-06T00:00:00Z".
dataset::BuildSources WriteDataset(const std::string& folder, const DatasetRows& rows);

// Turns the database at the path into one of the earlier schema, as an earlier Korvid built
// it: the same titles, names and meta, its tables and word index, no alternative titles.
void MakeEarlierSchema(const std::string& db_path);

}  // namespace korvid::test_support
