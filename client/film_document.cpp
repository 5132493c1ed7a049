#include "client/film_document.h"

#include <string>

namespace korvid {
namespace {

// The part of a path after its last path delimiter.
std::string_view FileNamePart(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

// The row is a short string: every piece appended is cut at 255 characters with it.
void FilmDocument::AppendToRow(std::string_view piece) {
    row_ = row_ + piece;
}

void FilmDocument::TitleAndYear(std::string_view title, std::string_view year) {
    xml_.Add({"<Movie_Title>", title, "</Movie_Title>"});
    xml_.Add({"<Year>", year, "</Year>"});
    row_ = title;
    AppendToRow("~1");
}

void FilmDocument::Cover(std::optional<std::string_view> file) {
    if (!file) {
        AppendToRow("~");
        return;
    }
    xml_.Add({"<Poster_Image>", *file, "</Poster_Image>"});
    AppendToRow("~" + std::string(FileNamePart(*file)));
}

void FilmDocument::Director(std::string_view director) {
    xml_.Add({"<Director>", director, "</Director>"});
}

void FilmDocument::OpenGenres() {
    xml_.Add("<Movie_Genre>");
}

void FilmDocument::Genre(std::string_view genre) {
    xml_.Add({"<Genre>", genre, "</Genre>"});
}

void FilmDocument::CloseGenres(bool genre_line_found) {
    AppendToRow(genre_line_found ? "~6" : "~");
    xml_.Add("</Movie_Genre>");
}

void FilmDocument::AdditionalInfo(std::optional<std::string_view> tag_line,
                                  std::optional<std::string_view> plot, std::string_view director) {
    xml_.Add("<Additional_Info>");
    if (tag_line) {
        xml_.Add({"<Tag_Line>", *tag_line, "</Tag_Line>"});
    }
    if (plot) {
        xml_.Add({"<Plot>", *plot, "</Plot>"});
        AppendToRow("~" + std::string(*plot) + " Directed By : " + std::string(director));
    } else {
        AppendToRow("~");
    }
    xml_.Add("</Additional_Info>");
}

void FilmDocument::RunningTime(std::string_view running_time) {
    xml_.Add({"<Running_Time>", running_time, "</Running_Time>"});
}

void FilmDocument::Cast(bool found, std::string_view true_name, std::string_view cast_name) {
    xml_.Add("<Cast_Members>");
    if (found) {
        xml_.Add("<Main_Cast_Member>");
        xml_.Add({"    <True_Name>", true_name, "</True_Name>"});
        xml_.Add({"    <Cast_Name>", cast_name, "</Cast_Name>"});
        xml_.Add(" </Main_Cast_Member>");
    }
    xml_.Add("</Cast_Members>");
}

void FilmDocument::Rating(std::optional<std::string_view> rated) {
    if (rated) {
        xml_.Add({"<Rating>", *rated, "</Rating>"});
        AppendToRow("~" + std::string(*rated));
    } else {
        AppendToRow("~");
    }
}

void FilmDocument::Close(std::string_view movie_url) {
    AppendToRow("~" + std::string(movie_url));
    xml_.Add("  </Movie_Data>");
    xml_.Add("</DVD_Data>");
}

}  // namespace korvid
