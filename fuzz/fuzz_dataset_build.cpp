// A whole film database build from five small files: the gzip reader, the row parsers, the
// tables a build keeps and the database it writes.
//
// The input: a first byte of flags, then the five files' rows (basics, ratings, crew,
// principals, names) parted by "\n==\n". Each file is written gzip-compressed with its header
// line, as one gzip member or, with flag 0x20, as two; a file whose bit (0x01 to 0x10) is set
// is written as the rows' bytes themselves, for the reader to take as gzip data.
//
// A build either fails with DatasetError and leaves nothing beside the five files, or makes a
// database whose titles count is the report's, and whose every film holds fields without
// control characters and within the kept lengths, a year and a running time within their
// ranges and a rating from 1 to 10.

#include <sqlite3.h>
#include <zlib.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dataset/build_limits.h"
#include "dataset/database_build.h"
#include "dataset/film_database.h"
#include "dataset/tsv_row.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/temp_dir.h"

namespace korvid::fuzz {
namespace {

using namespace korvid::dataset;

std::string GzipMember(std::string_view text) {
    z_stream stream{};
    // 16 + 15: a gzip header and trailer, the largest window.
    Check(deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8,
                       Z_DEFAULT_STRATEGY) == Z_OK,
          "deflateInit2");
    std::string out(deflateBound(&stream, text.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    Check(deflate(&stream, Z_FINISH) == Z_STREAM_END, "deflate");
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

bool HasControl(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) {
            return true;
        }
        if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
            static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            return true;
        }
    }
    return false;
}

void CheckText(std::string_view text, std::size_t longest, std::string_view what) {
    Check(!HasControl(text), "a control character in a kept field", what);
    Check(text.size() <= longest, "a kept field is too long", what);
}

void CheckFilm(const FilmRecord& film) {
    CheckText(film.type, kLongestType, "type");
    CheckText(film.primary_title, kLongestTitle, "primary title");
    CheckText(film.original_title, kLongestTitle, "original title");
    Check(!film.primary_title.empty(), "a film without its title", film.tconst);
    std::size_t genres = 0;
    for (const auto& genre : film.genres) {
        CheckText(genre, kLongestGenres, "genre");
        genres += genre.size() + 1;
    }
    Check(genres <= kLongestGenres + 1, "the genres are too long", film.tconst);
    CheckText(film.director, kLongestName, "director");
    CheckText(film.lead, kLongestName, "lead");
    CheckText(film.lead_character, kLongestCharacter, "lead character");
    Check(!film.year || (*film.year >= kFirstYear && *film.year <= kLastYear), "a year out of range",
          film.tconst);
    Check(!film.minutes || (*film.minutes >= 0 && *film.minutes < kMinutesLimit),
          "a running time out of range", film.tconst);
    if (!film.rating.empty()) {
        const double rating = std::stod(film.rating);
        Check(rating >= 1.0 && rating <= 10.0, "a rating out of range", film.rating);
    }
    Check(film.votes >= 0, "negative votes", film.tconst);
}

// The identifiers of every film in the database.
std::vector<std::string> Identifiers(const std::string& path) {
    sqlite3* db = nullptr;
    std::vector<std::string> ids;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT tconst FROM titles", -1, &statement, nullptr) ==
            SQLITE_OK) {
            while (sqlite3_step(statement) == SQLITE_ROW) {
                ids.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
            }
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return ids;
}

void FuzzBuild(std::uint8_t flags, std::string_view rows) {
    // The sixth part, the alternative titles, makes a title.akas file only when the input has
    // one; without it a database is built without them, as from a folder that lacks it.
    static constexpr std::array<std::string_view, 6> kNames = {
        "title.basics.tsv.gz", "title.ratings.tsv.gz", "title.crew.tsv.gz",
        "title.principals.tsv.gz", "name.basics.tsv.gz", "title.akas.tsv.gz"};
    static constexpr std::array<std::string_view, 6> kHeaders = {
        kBasicsHeader, kRatingsHeader, kCrewHeader, kPrincipalsHeader, kNamesHeader, kAkasHeader};
    std::vector<std::string_view> parts = Split(rows, "\n==\n");
    const std::size_t file_count = parts.size() >= 6 ? 6 : 5;
    parts.resize(6);

    test_support::TempDir dir;
    std::array<SourceFile, 6> files;
    for (std::size_t i = 0; i < file_count; ++i) {
        std::string bytes;
        if ((flags >> i) & 1) {
            bytes = std::string(parts[i]);
        } else {
            const std::string text = std::string(kHeaders[i]) + "\n" + std::string(parts[i]);
            if (flags & 0x20) {
                bytes = GzipMember(std::string_view(text).substr(0, text.size() / 2)) +
                        GzipMember(std::string_view(text).substr(text.size() / 2));
            } else {
                bytes = GzipMember(text);
            }
        }
        files[i] = {dir.File(std::string(kNames[i])), "2026-12-06T00:00:00Z"};
        test_support::WriteFileBytes(files[i].path, bytes);
    }
    const BuildSources sources{files[0], files[1], files[2], files[3], files[4], files[5]};
    const std::string db_path = dir.File("films.sqlite");
    BuildReport report;
    try {
        report = BuildDatabase(sources, db_path);
    } catch (const DatasetError&) {
        Check(FolderEntries(dir.Path()).size() == file_count, "a failed build left a file behind");
        return;
    }
    Check(report.titles >= 0 && report.names >= 0 && report.skipped_rows >= 0,
          "a negative count in the report");
    const std::vector<std::string> ids = Identifiers(db_path);
    Check(static_cast<std::int64_t>(ids.size()) == report.titles,
          "the report's titles differ from the database's");
    const FilmDatabase db(db_path);
    for (const auto& id : ids) {
        const auto film = db.Film(id);
        Check(film.has_value(), "a title of the database is not found", id);
        CheckFilm(*film);
    }
}

}  // namespace
}  // namespace korvid::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    korvid::fuzz::FuzzBuild(data[0], korvid::fuzz::AsText(data + 1, size - 1));
    return 0;
}
