#pragma once
// The film's part of the two export documents, written in the order of their lines: the XML
// lines from "<Movie_Title>" on and the CSV row, from the values the caller has found. The
// film page parser writes them step by step as it reads the page; the local film database
// writes them from one title's facts. Both thus give the same documents for the same film.

#include <optional>
#include <string_view>

#include "common/line_list.h"
#include "common/short_string.h"

namespace korvid {

class FilmDocument {
  public:
    FilmDocument(LineList& xml_lines, ShortString& csv_row) : xml_(xml_lines), row_(csv_row) {}

    // The title and year lines; the row starts with the title and the owner "1".
    void TitleAndYear(std::string_view title, std::string_view year);
    // The cover line when the film has a cover line (the file empty when the download
    // failed), and the cover's file name in the row; nothing: no line, an empty column.
    void Cover(std::optional<std::string_view> file);
    void Director(std::string_view director);
    // "<Movie_Genre>", one line for each genre, then the close with the row's category:
    // "6" when the film has a genre line, else empty.
    void OpenGenres();
    void Genre(std::string_view genre);
    void CloseGenres(bool genre_line_found);
    // The tag line and the plot, each when found; the row's details join the plot with the
    // director, and are empty without a plot.
    void AdditionalInfo(std::optional<std::string_view> tag_line,
                        std::optional<std::string_view> plot, std::string_view director);
    void RunningTime(std::string_view running_time);
    // The cast block, with the main cast member when the film has one.
    void Cast(bool found, std::string_view true_name, std::string_view cast_name);
    void Rating(std::optional<std::string_view> rated);
    // The film's address as the row's last column, and the closing lines.
    void Close(std::string_view movie_url);

  private:
    void AppendToRow(std::string_view piece);

    LineList& xml_;
    ShortString& row_;
};

}  // namespace korvid
