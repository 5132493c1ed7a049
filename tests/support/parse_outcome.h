#pragma once
// One film page parse and everything it leaves behind, for the tests and the fuzz target that
// compare the marker-table parse with the line-by-line one.

#include <exception>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "client/IMDBImport.h"
#include "tests/support/all_lines.h"

namespace korvid::test_support {

// What one parse leaves behind: every field the parse may touch, the documents, the page and
// any error.
struct ParseOutcome {
    std::vector<std::string> fields;
    std::vector<std::string> xml;
    std::vector<std::string> csv;
    std::vector<std::string> page;
    std::string error;

    bool operator==(const ParseOutcome&) const = default;
};

// What the importer holds after a film was read, by a parse or from the local film database.
inline ParseOutcome Record(const TIMDBImport& i, std::string error = {}) {
    ParseOutcome outcome;
    outcome.error = std::move(error);
    outcome.fields = {i.Title,
                      i.Year,
                      i.Director,
                      i.LeadRole,
                      i.Rated,
                      i.Genre,
                      i.TagLine,
                      i.Plot,
                      i.PosterFile,
                      i.RunningTime,
                      i.MovieUrl,
                      i.CastTrueName,
                      i.CastName,
                      i.PosterUrl,
                      i.CsvRow,
                      std::to_string(i.GenreSlot),
                      std::to_string(i.LineIndex),
                      std::to_string(i.MovieFound)};
    outcome.fields.insert(outcome.fields.end(), i.Genres.begin(), i.Genres.end());
    outcome.xml = AllLines(i.XmlLines);
    outcome.csv = AllLines(i.CsvLines);
    outcome.page = AllLines(i.PageLines);
    return outcome;
}

inline ParseOutcome ParseAndRecord(TIMDBImport& importer, std::string_view page) {
    importer.PageLines.SetText(page);
    std::string error;
    try {
        importer.ParseMoviePage();
    } catch (const std::exception& e) {
        error = e.what();
    }
    return Record(importer, std::move(error));
}

}  // namespace korvid::test_support
