// The tag reader, decoder and writer on movie files of 0 to 300 bytes. Checked: the reader
// gives the last 128 bytes (a shorter file at the start of 128 spaces); the decoder cuts at
// the first zero byte and trims; the record always has 128 bytes; the writer never changes
// the movie bytes before the tag, its last 128 bytes equal the record afterwards, and a file
// shorter than 128 bytes is refused unchanged.
//
// Input (read with FuzzedDataProvider): the genre index from the last byte, then the five
// texts for the record, then the movie file's bytes (at most 300).

#include <fcntl.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/errors.h"
#include "fuzz/fuzz_support.h"
#include "tag/movie_tag.h"
#include "tests/support/temp_dir.h"

namespace korvid::fuzz {
namespace {

constexpr std::size_t MaxFileSize = 300;

std::string PlainDecode(std::string_view record, std::size_t offset, std::size_t width) {
    std::string_view field = record.substr(offset, width);
    field = field.substr(0, field.find('\0'));
    while (!field.empty() && static_cast<unsigned char>(field.front()) <= 0x20) {
        field.remove_prefix(1);
    }
    while (!field.empty() && static_cast<unsigned char>(field.back()) <= 0x20) {
        field.remove_suffix(1);
    }
    return std::string(field);
}

void CheckDecoder(const MovieTag& tag) {
    using namespace tag_layout;
    const std::string_view record = tag.View();
    Check(record.size() == 128, "record size");
    Check(tag.HasMarker() == (record.substr(0, 3) == "TAG"), "HasMarker");
    Check(tag.Title() == PlainDecode(record, TitleOffset, TitleWidth), "Title");
    Check(tag.Director() == PlainDecode(record, DirectorOffset, DirectorWidth), "Director");
    Check(tag.Comment() == PlainDecode(record, CommentOffset, CommentWidth), "Comment");
    Check(tag.Imdb() == PlainDecode(record, ImdbOffset, ImdbWidth), "Imdb");
    Check(tag.Year() == PlainDecode(record, YearOffset, YearWidth), "Year");
    Check(tag.GenreNumber() == static_cast<std::uint8_t>(record[GenreOffset]), "GenreNumber");
    const std::string shown = GenreDisplayText(tag.GenreNumber());
    const int found = FindGenre(shown);
    Check(tag.GenreNumber() < GenreNames.size()
              ? found == tag.GenreNumber()
              : found == -1 && shown == std::to_string(tag.GenreNumber()),
          "genre text", shown);
}

void CheckRender(const MovieTag& tag, const MovieTagValues& values) {
    using namespace tag_layout;
    const std::string_view record = tag.View();
    const auto field = [&record](std::size_t offset, std::size_t width, const std::string& text) {
        std::string expected = text.substr(0, width);
        expected.resize(width, ' ');
        Check(record.substr(offset, width) == expected, "rendered field", text);
    };
    Check(record.substr(0, 3) == "TAG", "rendered marker");
    field(TitleOffset, TitleWidth, values.title);
    field(DirectorOffset, DirectorWidth, values.director);
    field(CommentOffset, CommentWidth, values.comment);
    field(ImdbOffset, ImdbWidth, values.imdb);
    field(YearOffset, YearWidth, values.year);
    Check(static_cast<std::uint8_t>(record[GenreOffset]) ==
              static_cast<std::uint8_t>(values.genre_index),
          "rendered genre");
}

std::string ExpectedReadBytes(const std::string& file) {
    std::string record(128, ' ');
    const std::size_t from = file.size() > 128 ? file.size() - 128 : 0;
    record.replace(0, file.size() - from, file, from, std::string::npos);
    return record;
}

}  // namespace
}  // namespace korvid::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvid;
    using namespace korvid::fuzz;
    FuzzedDataProvider provider(data, size);
    MovieTagValues values;
    values.genre_index = provider.ConsumeIntegral<std::int8_t>();
    values.title = provider.ConsumeRandomLengthString(40);
    values.director = provider.ConsumeRandomLengthString(40);
    values.comment = provider.ConsumeRandomLengthString(40);
    values.imdb = provider.ConsumeRandomLengthString(40);
    values.year = provider.ConsumeRandomLengthString(8);
    const std::string movie = provider.ConsumeBytesAsString(MaxFileSize);

    const std::string path = FuzzFolders::Get().AppDir() + "movie.avi";
    test_support::WriteFileBytes(path, movie);

    // Reader and decoder.
    const MovieTag read = ReadLastTagBytes(path);
    Check(read.View() == ExpectedReadBytes(movie), "the reader's bytes");
    Check(MovieTag::FromBytes(movie.substr(movie.size() > 128 ? movie.size() - 128 : 0)) == read,
          "FromBytes");
    CheckDecoder(read);

    // The record.
    const MovieTag tag = MovieTag::Render(values);
    CheckRender(tag, values);
    CheckDecoder(tag);

    // The writer, twice: the second write always replaces the first record.
    std::string expected = movie;
    for (int round = 0; round < 2; ++round) {
        const std::string before = expected;
        if (before.size() < 128) {
            bool refused = false;
            try {
                WriteTag(tag, path);
            } catch (const IoError&) {
                refused = true;
            }
            Check(refused, "a file shorter than 128 bytes was tagged");
            Check(test_support::ReadFileBytes(path) == before, "a refused file changed");
            break;
        }
        const bool tagged = before.compare(before.size() - 128, 3, "TAG") == 0;
        const TagPlacement placement = WriteTag(tag, path);
        Check(placement == (tagged ? TagPlacement::Replaced : TagPlacement::Appended), "placement");
        const std::string after = test_support::ReadFileBytes(path);
        const std::size_t movie_size = tagged ? before.size() - 128 : before.size();
        Check(after.size() == movie_size + 128, "file size after writing");
        Check(after.compare(0, movie_size, before, 0, movie_size) == 0,
              "the movie bytes before the tag changed");
        Check(after.compare(movie_size, 128, tag.View()) == 0,
              "the last 128 bytes are not the record");
        Check(ReadLastTagBytes(path) == tag, "the written tag reads back differently");
        expected = after;
    }
    ::unlink(path.c_str());
    return 0;
}
