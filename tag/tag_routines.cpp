#include "tag/tag_routines.h"

namespace korvid {

MovieTag BuildTag(const TagFields& fields) {
    MovieTagValues values;
    values.title = fields.title.Text();
    values.director = fields.director.Text();
    values.comment = fields.comment.Text();
    values.imdb = fields.imdb.Text();
    values.year = fields.year.Text();
    values.genre_index = fields.genre.ItemIndex();
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
