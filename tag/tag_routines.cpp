#include "tag/tag_routines.h"

namespace korvid {
namespace {

// The genre number beyond the list that the box shows as its text ("27" to "255"), as the
// readers put it there; -1 for any other text.
int ShownGenreNumber(const std::string& text) {
    for (int number = static_cast<int>(GenreNames.size()); number <= NoGenre; ++number) {
        if (text == GenreDisplayText(static_cast<std::uint8_t>(number))) {
            return number;
        }
    }
    return -1;
}

}  // namespace

MovieTag BuildTag(const TagFields& fields) {
    MovieTagValues values;
    values.title = fields.title.Text();
    values.director = fields.director.Text();
    values.comment = fields.comment.Text();
    values.imdb = fields.imdb.Text();
    values.year = fields.year.Text();
    // A number read from a file stays what is stored until the user picks or types a genre,
    // whatever item an earlier use left selected behind it.
    const int shown_number = ShownGenreNumber(fields.genre.Text());
    values.genre_index = shown_number >= 0 ? shown_number : fields.genre.ItemIndex();
    return MovieTag::Render(values);
}

void DecodeTagIntoFields(const MovieTag& tag, const TagFields& fields) {
    fields.title.SetText(tag.Title());
    fields.director.SetText(tag.Director());
    fields.imdb.SetText(tag.Imdb());
    fields.year.SetText(tag.Year());
    const std::uint8_t genre = tag.GenreNumber();
    if (genre < GenreNames.size()) {
        fields.genre.SetItemIndex(genre);
    } else {
        fields.genre.SetText(GenreDisplayText(genre));
    }
    fields.comment.SetText(tag.Comment());
}

void ConfirmReplaceTag(const ShortString& file_name, const TagFields& fields, Prompts& prompts) {
    const MovieTag old_tag = ReadLastTagBytes(file_name);
    if (!old_tag.HasMarker()) {
        return;
    }
    if (prompts.AskOkCancel(ReplaceTagCaption, ReplaceTagText) == PromptAnswer::Cancel) {
        DecodeTagIntoFields(old_tag, fields);
    }
}

void ReadTagIntoFields(const ShortString& file_name, const TagFields& fields) {
    DecodeTagIntoFields(ReadLastTagBytes(file_name), fields);
}

TagPlacement SaveTag(const ShortString& movie_file_name, const TagFields& fields) {
    return WriteTag(BuildTag(fields), movie_file_name);
}

std::string ImdbIdFromMovieUrl(std::string_view movie_url) {
    constexpr std::size_t Skipped = 11;
    constexpr std::size_t MaxLength = 29;
    if (movie_url.size() <= Skipped) {
        return {};
    }
    return std::string(movie_url.substr(Skipped, MaxLength));
}

void FillFieldsFromFilm(const FilmTagSource& film, const TagFields& fields) {
    fields.title.SetText(film.title);
    fields.director.SetText(film.director);
    fields.comment.SetText(film.lead_role);
    fields.imdb.SetText(ImdbIdFromMovieUrl(film.movie_url));
    fields.year.SetText(film.year);
    fields.genre.SetItemIndex(FindGenre(film.genre));
}

}  // namespace korvid
